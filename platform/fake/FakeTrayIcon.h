#pragma once

#include "TrayIcon.h"

#include <QStringList>

namespace ostrel {

// A notification area in memory, for tests of the tray logic: it keeps what
// it was told, can refuse additions or be missing altogether, and replays
// mouse events to the handler.
class FakeTrayIcon final : public TrayIcon {
public:
    bool available = true;
    bool refuseAdd = false;  // every Add fails, as a busy tray may
    bool shown = false;
    QIcon icon;
    QString tip;
    QStringList calls;  // "add", "modify", "delete", in order

    bool Available() const override { return available; }
    bool Add(const QIcon& newIcon, const QString& newTip) override
    {
        calls << QStringLiteral("add");
        if (shown || refuseAdd || !available)
            return false;
        shown = true;
        icon = newIcon;
        tip = newTip;
        return true;
    }
    bool Modify(const QIcon& newIcon, const QString& newTip) override
    {
        calls << QStringLiteral("modify");
        if (!shown)
            return false;
        icon = newIcon;
        tip = newTip;
        return true;
    }
    bool Delete() override
    {
        calls << QStringLiteral("delete");
        if (!shown)
            return false;
        shown = false;
        return true;
    }
    void SetHandler(Handler newHandler) override { handler = std::move(newHandler); }

    // What the desktop would report of a mouse action on the icon.
    void Send(MouseEvent event, QPoint cursor = {}) const
    {
        if (handler)
            handler(event, cursor);
    }

private:
    Handler handler;
};

}  // namespace ostrel
