#pragma once

#include <QIcon>
#include <QPoint>
#include <QString>

#include <functional>

namespace ostrel {

// The console's icon in the desktop's notification area. One object is one
// icon; it is either in the area or not. GUI thread only.
class TrayIcon {
public:
    // What the mouse did on the icon.
    enum class MouseEvent { LeftDown, LeftDoubleClick, RightDown, RightDoubleClick, Move };
    // Called with the event and the cursor's place on the screen.
    using Handler = std::function<void(MouseEvent, QPoint)>;

    virtual ~TrayIcon() = default;

    // Whether the desktop has a notification area at all. Without one an
    // added icon would show nowhere.
    virtual bool Available() const = 0;

    // Puts the icon into the area with this picture and tip. False when it
    // could not (no area); the icon then counts as not shown.
    virtual bool Add(const QIcon& icon, const QString& tip) = 0;
    // Changes the picture and tip of the shown icon. False when not shown.
    virtual bool Modify(const QIcon& icon, const QString& tip) = 0;
    // Takes the icon out of the area. False when it was not shown.
    virtual bool Delete() = 0;

    // Receives the icon's mouse events from now on.
    virtual void SetHandler(Handler handler) = 0;
};

}  // namespace ostrel
