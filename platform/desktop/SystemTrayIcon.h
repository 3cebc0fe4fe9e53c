#pragma once

#include "TrayIcon.h"

#include <QRect>

#include <memory>

class QSystemTrayIcon;

namespace ostrel {

// The tray icon on the desktop: QSystemTrayIcon, which speaks the
// StatusNotifierItem protocol where the desktop offers it and the X11
// system tray otherwise. A right click reaches the handler as RightDown:
// the icon carries no menu of its own, the owner shows its menu.
class SystemTrayIcon final : public TrayIcon {
public:
    SystemTrayIcon();
    ~SystemTrayIcon() override;

    bool Available() const override;
    bool Add(const QIcon& icon, const QString& tip) override;
    bool Modify(const QIcon& icon, const QString& tip) override;
    bool Delete() override;
    void SetHandler(Handler handler) override;

    // Where the icon lies on the screen; empty while it is not shown.
    QRect Geometry() const;

private:
    std::unique_ptr<QSystemTrayIcon> icon_;
    Handler handler_;
};

}  // namespace ostrel
