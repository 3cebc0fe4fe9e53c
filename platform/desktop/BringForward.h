#pragma once

#include <QWidget>

namespace ostrel {

// Shows a top-level window in front, restored if it was minimised, and asks
// the desktop to make it the active one.
inline void BringForward(QWidget& window)
{
    if (window.isMinimized())
        window.showNormal();
    else
        window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace ostrel
