#pragma once

#include <QColor>
#include <QImage>
#include <QRegion>
#include <QSize>

namespace ostrel {

// The colour key of the shaped windows: every pixel of a background in
// exactly this colour is no part of the window, neither seen nor clickable.
class ColourKey {
public:
    static constexpr QRgb kRgb = 0xFFE51BFFu;  // RGB(229, 27, 255)

    static QColor Colour() { return QColor::fromRgb(kRgb); }

    // The part of a window of `area` size that stays when `picture` lies at
    // its top-left corner: everything but the picture's key-coloured
    // pixels. Outside the picture the window stays whole.
    static QRegion VisibleRegion(const QImage& picture, QSize area);
};

}  // namespace ostrel
