#pragma once

#include "HelpCollection.h"

#include <QHelpEngine>
#include <QTextBrowser>
#include <QWidget>

class QLineEdit;
class QTabWidget;

namespace ostrel {

// The help window: contents, index and full-text search beside the topic
// shown. It opens at the introduction. GUI thread only; owns its engine.
class HelpWindow : public QWidget {
    Q_OBJECT

public:
    enum class View { Contents = 0, Index = 1, Search = 2 };

    explicit HelpWindow(const OpenableCollection& collection, QWidget* parent = nullptr);
    ~HelpWindow() override;

    // Whether the collection opened and holds Ostrel's help.
    bool Ready() const { return ready_; }
    const QString& CollectionFile() const { return collectionFile_; }

    // Shows the window, raised, on this view.
    void ShowView(View view);
    View CurrentView() const;

    // Shows the search view and looks for the query once the index is
    // built; an empty query only shows the view.
    void Search(const QString& query);

    QUrl CurrentTopic() const { return browser_->source(); }
    QHelpEngine& Engine() { return engine_; }

signals:
    void SearchFinished(int hits);

private:
    // Topics come out of the help engine; other addresses go to the desktop.
    class Browser : public QTextBrowser {
    public:
        Browser(QHelpEngine& engine, QWidget* parent) : QTextBrowser(parent), engine_(engine) {}
        QVariant loadResource(int type, const QUrl& name) override;

    private:
        QHelpEngine& engine_;
    };

    void RunSearch(const QString& query);
    void ShowTopic(const QUrl& url);

    QString collectionFile_;
    QHelpEngine engine_;
    bool ready_ = false;
    bool indexed_ = false;
    QString pendingQuery_;
    QTabWidget* views_ = nullptr;
    QLineEdit* indexFilter_ = nullptr;
    Browser* browser_ = nullptr;
};

}  // namespace ostrel
