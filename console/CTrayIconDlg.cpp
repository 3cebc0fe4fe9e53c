#include "CTrayIconDlg.h"

#include "BringForward.h"
#include "ConsoleMenus.h"
#include "SkinResources.h"

#include <QKeyEvent>
#include <QTimer>

namespace ostrel {

CTrayIconDlg::CTrayIconDlg(const DialogTemplate& dialogTemplate, TrayIcon& tray, QWidget* parent)
    : CSkinDialog(dialogTemplate, parent), tray_(tray)
{
    tray_.SetHandler([this](TrayIcon::MouseEvent event, QPoint cursor) { OnTrayEvent(event, cursor); });
    connect(&menu_, &QMenu::triggered, this, [this](QAction* action) {
        if (const int id = CommandOf(action))
            OnCommand(id);
    });
    // From the second showing on, the menu marks its default item.
    connect(&menu_, &QMenu::aboutToHide, this, [this] {
        const QList<QAction*> actions = menu_.actions();
        if (defaultItem_ >= 0 && defaultItem_ < actions.size())
            menu_.setDefaultAction(actions[defaultItem_]);
    });
}

CTrayIconDlg::~CTrayIconDlg()
{
    tray_.SetHandler({});
    RemoveIcon();
}

bool CTrayIconDlg::SetIcon(int number)
{
    const QIcon icon = SkinResources::Icon(number);
    if (icon.isNull())
        return false;
    icon_ = icon;
    iconNumber_ = number;
    return true;
}

void CTrayIconDlg::SetTip(const QString& tip)
{
    QString cut = tip.left(kMaxTipLength);
    if (cut.size() < tip.size() && cut.back().isHighSurrogate())
        cut.chop(1);
    tip_ = cut;
}

void CTrayIconDlg::SetMenu(const std::vector<MenuItem>& items)
{
    menu_.clear();
    FillMenu(menu_, items);
}

bool CTrayIconDlg::AddIcon()
{
    if (iconShown_)
        return false;
    iconShown_ = tray_.Add(icon_, tip_);
    return iconShown_;
}

bool CTrayIconDlg::RemoveIcon()
{
    if (!iconShown_)
        return false;
    if (!tray_.Delete())
        return false;
    iconShown_ = false;
    return true;
}

void CTrayIconDlg::UpdateIcon()
{
    if (iconShown_)
        tray_.Modify(icon_, tip_);
}

void CTrayIconDlg::ShortHide()
{
    if (!AddIcon())
        AddIcon();
    HideWindow();
}

void CTrayIconDlg::HideWindow()
{
    if (tray_.Available())
        hide();
    else
        showMinimized();
}

void CTrayIconDlg::ShowWindow()
{
    BringForward(*this);
}

void CTrayIconDlg::OnTrayLeftDoubleClick(QPoint)
{
    if (trayEnabled_ && RemoveIcon())
        ShowWindow();
}

void CTrayIconDlg::OnTrayRightDown(QPoint cursor)
{
    if (isVisible())
        activateWindow();
    // The menu opens upwards from the cursor, as from a task bar at the bottom.
    const QSize size = menu_.sizeHint();
    menu_.popup(cursor - QPoint(0, size.height()));
}

void CTrayIconDlg::OnTrayEvent(TrayIcon::MouseEvent event, QPoint cursor)
{
    switch (event) {
    case TrayIcon::MouseEvent::LeftDown: OnTrayLeftDown(cursor); break;
    case TrayIcon::MouseEvent::LeftDoubleClick: OnTrayLeftDoubleClick(cursor); break;
    case TrayIcon::MouseEvent::RightDown: OnTrayRightDown(cursor); break;
    case TrayIcon::MouseEvent::RightDoubleClick: OnTrayRightDoubleClick(cursor); break;
    case TrayIcon::MouseEvent::Move: OnTrayMouseMove(cursor); break;
    }
}

void CTrayIconDlg::changeEvent(QEvent* event)
{
    CSkinDialog::changeEvent(event);
    // The desktop minimised the window: hide it into the area instead, once
    // the desktop has finished with the change.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && trayEnabled_ && tray_.Available()) {
        QTimer::singleShot(0, this, [this] {
            if (!isMinimized())
                return;
            setWindowState(windowState() & ~Qt::WindowMinimized);
            ShortHide();
        });
    }
}

void CTrayIconDlg::keyPressEvent(QKeyEvent* event)
{
    // Alt+F4 where no window manager takes it: the system's close.
    if (trayEnabled_ && event->key() == Qt::Key_F4 && event->modifiers() == Qt::AltModifier) {
        ShortHide();
        return;
    }
    CSkinDialog::keyPressEvent(event);
}

}  // namespace ostrel
