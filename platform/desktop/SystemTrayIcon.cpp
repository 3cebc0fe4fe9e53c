#include "SystemTrayIcon.h"

#include <QCursor>
#include <QSystemTrayIcon>

namespace ostrel {

SystemTrayIcon::SystemTrayIcon() : icon_(std::make_unique<QSystemTrayIcon>())
{
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated, icon_.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (!handler_)
                             return;
                         switch (reason) {
                         case QSystemTrayIcon::Trigger: handler_(MouseEvent::LeftDown, QCursor::pos()); break;
                         case QSystemTrayIcon::DoubleClick:
                             handler_(MouseEvent::LeftDoubleClick, QCursor::pos());
                             break;
                         case QSystemTrayIcon::Context: handler_(MouseEvent::RightDown, QCursor::pos()); break;
                         case QSystemTrayIcon::MiddleClick:
                         case QSystemTrayIcon::Unknown: break;
                         }
                     });
}

SystemTrayIcon::~SystemTrayIcon() = default;

bool SystemTrayIcon::Available() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool SystemTrayIcon::Add(const QIcon& icon, const QString& tip)
{
    if (icon_->isVisible() || !Available())
        return false;
    icon_->setIcon(icon);
    icon_->setToolTip(tip);
    icon_->show();
    return icon_->isVisible();
}

bool SystemTrayIcon::Modify(const QIcon& icon, const QString& tip)
{
    if (!icon_->isVisible())
        return false;
    icon_->setIcon(icon);
    icon_->setToolTip(tip);
    return true;
}

bool SystemTrayIcon::Delete()
{
    if (!icon_->isVisible())
        return false;
    icon_->hide();
    return true;
}

QRect SystemTrayIcon::Geometry() const
{
    return icon_->isVisible() ? icon_->geometry() : QRect();
}

void SystemTrayIcon::SetHandler(Handler handler)
{
    handler_ = std::move(handler);
}

}  // namespace ostrel
