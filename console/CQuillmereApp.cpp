#include "CQuillmereApp.h"

#include "ApplicationFolder.h"
#include "CQuillmereDlg.h"
#include "CupsSpooler.h"
#include "SingleInstance.h"
#include "SkinResources.h"
#include "SystemTrayIcon.h"
#include "TerminationSignals.h"

#include <cstdio>

namespace ostrel {

CQuillmereApp::CQuillmereApp(int& argc, char** argv) : QApplication(argc, argv), appFolder_(ReadApplicationFolder())
{
    setApplicationName(QStringLiteral("Quillmere"));
    setOrganizationName(QStringLiteral("Ostrel"));
    setDesktopFileName(QStringLiteral("Quillmere"));
    setWindowIcon(SkinResources::Icon(230));
    // Hidden into the tray, the console has no window and still runs.
    setQuitOnLastWindowClosed(false);
}

int CQuillmereApp::InitInstance()
{
    SingleInstance instance;
    if (!instance.Claim()) {
        if (SingleInstance::AskFirstToShow()) {
            std::fprintf(stderr, "Quillmere already runs in this session: its window was brought forward.\n");
            return 0;
        }
        // The other copy does not answer: run as a copy of its own.
    }

    SystemTrayIcon tray;
    CQuillmereDlg dialog({tray, appFolder_, MakeCupsSpooler()});
    connect(&instance, &SingleInstance::ShowRequested, &dialog, &CQuillmereDlg::ShowFromOtherStart);
    // The end of the session or a stop request ends the run as Exit does,
    // once any message box open has been closed.
    TerminationSignals termination;
    connect(&termination, &TerminationSignals::Received, &dialog, [&dialog] {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isModal() && window->isVisible())
                window->close();
        QMetaObject::invokeMethod(
            &dialog, [&dialog] { dialog.OnCommand(ids::command::kTrayExit); }, Qt::QueuedConnection);
    });
    dialog.RunModal();
    ConsoleHelp::CloseWindow();
    return 0;
}

}  // namespace ostrel
