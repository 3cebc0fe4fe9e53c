#pragma once

#include "CSkinDialog.h"
#include "ConsoleTemplates.h"
#include "TrayIcon.h"

#include <QIcon>
#include <QMenu>

namespace ostrel {

// A skinned dialog that hides into the desktop's notification area: the
// window and its tray icon take turns. It keeps the icon's picture, tip and
// menu, adds and removes the icon, turns the icon's mouse events into
// overridable reactions, and takes the desktop's minimise and close as the
// short hide (icon as it stands, window hidden). Where the desktop has no
// notification area, hiding minimises the window instead, so that it stays
// in the task bar. GUI thread only; owns its menu, not the tray icon.
class CTrayIconDlg : public CSkinDialog {
    Q_OBJECT

public:
    // Tips longer than this are cut, as the notification area takes no more.
    static constexpr int kMaxTipLength = 63;

    CTrayIconDlg(const DialogTemplate& dialogTemplate, TrayIcon& tray, QWidget* parent = nullptr);
    ~CTrayIconDlg() override;

    // Whether minimise and close hide the window into the notification area.
    void SetTrayEnabled(bool enabled) { trayEnabled_ = enabled; }
    bool TrayEnabled() const { return trayEnabled_; }

    // The icon with this number; false, keeping the previous one, when
    // there is no such icon.
    bool SetIcon(int number);
    void SetTip(const QString& tip);
    void SetMenu(const std::vector<MenuItem>& items);

    // Puts the icon into the area; false when it is there already or the
    // area refuses it.
    bool AddIcon();
    // Takes the icon out; false when it was not there.
    bool RemoveIcon();
    // Shows the present picture and tip on the icon, when it is there.
    void UpdateIcon();

    bool IconShown() const { return iconShown_; }
    int IconNumber() const { return iconNumber_; }
    const QString& Tip() const { return tip_; }
    QMenu& Menu() { return menu_; }

    // The desktop's minimise and close: the icon with the picture and tip
    // last set, and the window hidden.
    void ShortHide();

protected:
    // Reactions to the icon's mouse events; the double click restores the
    // window and the right button shows the menu.
    virtual void OnTrayLeftDown(QPoint) {}
    virtual void OnTrayLeftDoubleClick(QPoint cursor);
    virtual void OnTrayRightDown(QPoint cursor);
    virtual void OnTrayRightDoubleClick(QPoint) {}
    virtual void OnTrayMouseMove(QPoint) {}

    // A command of the tray menu.
    virtual void OnCommand(int) {}

    // Hides the window, or minimises it where there is no notification area.
    void HideWindow();
    // Shows the window again, raised and active.
    void ShowWindow();

    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnTrayEvent(TrayIcon::MouseEvent event, QPoint cursor);

    TrayIcon& tray_;
    bool trayEnabled_ = true;
    bool iconShown_ = false;
    int iconNumber_ = 0;
    QIcon icon_;
    QString tip_;
    QMenu menu_;
    int defaultItem_ = 0;
};

}  // namespace ostrel
