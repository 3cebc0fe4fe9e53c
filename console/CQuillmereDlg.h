#pragma once

#include "CTrayIconDlg.h"
#include "ConsoleHelp.h"
#include "ReportRights.h"
#include "SaveRights.h"
#include "SpoolerQueries.h"

#include <memory>
#include <string>

class QMenu;

namespace ostrel {

class CConsolePage;
class CMenuButton;
class CPageBar;
class CPrintersPage;
class CReportsPage;
class CSettingsPage;
class CStatusPage;
class ProcessLauncher;
class Spooler;

// What the main window works with: the desktop's tray icon (which outlives
// the window), the application folder read at start, the spooler (none:
// no printers), and how to tell whether this user's changes can be saved
// (none: by the rights on the registry store and the application folder),
// and whether this user may read the reports (none: by the same rights).
struct ConsoleEnvironment {
    TrayIcon& tray;
    std::string appFolder;
    std::shared_ptr<Spooler> spooler = nullptr;
    SaveRights::Probe canSave = {};
    ProcessLauncher* launcher = nullptr;  // none: the system's
    ReportRights::Probe canRead = {};
};

// The console's main window: the shaped picture with the page bar and the
// four pages, the help and close buttons, the system menu, and the tray
// icon it hides into. Escape, the close button and a close request hide it
// with the icon and tip read from AppRuns; the desktop's minimise and
// Alt+F4 take the short hide; Enter does nothing; only the tray menu's Exit
// ends its run. GUI thread only.
class CQuillmereDlg : public CTrayIconDlg {
    Q_OBJECT

public:
    explicit CQuillmereDlg(ConsoleEnvironment environment, QWidget* parent = nullptr);
    ~CQuillmereDlg() override;

    // Shows the window and runs until Exit; the result is Exit's, 0. Hiding
    // into the tray does not end the run.
    int RunModal();

    // A later start of the console asked for the window: shown, raised and
    // activated, whether it was hidden or not. The tray icon stays until
    // the next restore from it.
    void ShowFromOtherStart();

    // The close button, Escape and a close request.
    void HideToTray();

    // Every command of the help menu, the system menu and the tray menu.
    void OnCommand(int id) override;

    CPageBar& PageBar() { return *pageBar_; }
    CStatusPage& StatusPage() { return *statusPage_; }
    CPrintersPage& PrintersPage() { return *printersPage_; }
    CReportsPage& ReportsPage() { return *reportsPage_; }
    CSettingsPage& SettingsPage() { return *settingsPage_; }
    CMenuButton& HelpButton() { return *helpButton_; }
    QMenu& SystemMenu() { return *systemMenu_; }
    ConsoleHelp& Help() { return help_; }

public slots:
    void reject() override;
    void accept() override {}

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void CreatePages();
    void SetIconFromAppRuns();
    void SetMonitoring(bool on);
    void ShowAbout();

    ConsoleEnvironment environment_;
    ConsoleHelp help_;
    SpoolerQueries spoolerQueries_;
    SaveRights rights_;
    ReportRights reportRights_;
    CPageBar* pageBar_ = nullptr;
    CStatusPage* statusPage_ = nullptr;
    CPrintersPage* printersPage_ = nullptr;
    CReportsPage* reportsPage_ = nullptr;
    CSettingsPage* settingsPage_ = nullptr;
    CMenuButton* helpButton_ = nullptr;
    QMenu* systemMenu_ = nullptr;
};

}  // namespace ostrel
