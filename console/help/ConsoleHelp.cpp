#include "ConsoleHelp.h"

#include "HelpWindow.h"

#include <QPointer>

namespace ostrel {

namespace {

QPointer<HelpWindow>& TheWindow()
{
    static QPointer<HelpWindow> window;
    return window;
}

}  // namespace

HelpWindow* ConsoleHelp::OpenWindow()
{
    return TheWindow().data();
}

void ConsoleHelp::CloseWindow()
{
    delete TheWindow().data();
}

HelpWindow* ConsoleHelp::Window()
{
    // The application folder is for the administrators' group: everybody
    // else gets the copy installed with the program.
    auto collection = PrepareCollection(HelpFiles::InApplicationFolder(QString::fromStdString(appFolder_)));
    if (!collection)
        collection = PrepareCollection(HelpFiles::Installed());
    QPointer<HelpWindow>& window = TheWindow();
    if (!collection)
        return nullptr;
    if (window && window->CollectionFile() != collection->file)
        delete window.data();
    if (!window) {
        auto* created = new HelpWindow(*collection);
        if (!created->Ready()) {
            delete created;
            return nullptr;
        }
        window = created;
    }
    return window.data();
}

bool ConsoleHelp::Contents()
{
    HelpWindow* window = Window();
    if (window)
        window->ShowView(HelpWindow::View::Contents);
    return window != nullptr;
}

bool ConsoleHelp::Index()
{
    HelpWindow* window = Window();
    if (window)
        window->ShowView(HelpWindow::View::Index);
    return window != nullptr;
}

bool ConsoleHelp::Search(const QString& query)
{
    HelpWindow* window = Window();
    if (window)
        window->Search(query);
    return window != nullptr;
}

}  // namespace ostrel
