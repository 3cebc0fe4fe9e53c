#pragma once

#include "CTrayIconDlg.h"
#include "ConsoleHelp.h"
#include "MonitoringSwitch.h"

#include <string>

class QMenu;

namespace ostrel {

class CConsolePage;
class CMenuButton;
class CPageBar;

// What the main window works with: the desktop's tray icon (which outlives
// the window) and the application folder read at start.
struct ConsoleEnvironment {
    TrayIcon& tray;
    std::string appFolder;
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
    CMenuButton& HelpButton() { return *helpButton_; }
    QMenu& SystemMenu() { return *systemMenu_; }
    MonitoringSwitch& StatusSwitch() { return statusSwitch_; }
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
    MonitoringSwitch statusSwitch_;
    CPageBar* pageBar_ = nullptr;
    CMenuButton* helpButton_ = nullptr;
    QMenu* systemMenu_ = nullptr;
};

} // namespace ostrel
