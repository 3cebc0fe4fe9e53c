#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace ostrel {

// The dialog font's base units, in pixels: the average width of the Latin
// letters and the height of a line. One dialog unit is a quarter of the
// first across and an eighth of the second down.
struct DialogBaseUnits {
    int x = 6;
    int y = 13;
    friend bool operator==(const DialogBaseUnits&, const DialogBaseUnits&) = default;
};

// Converts the dialog units of a template into pixels, rounding each value
// to the nearest pixel (halves away from zero) as the dialog manager does.
// A rectangle's origin and size are converted separately, so that controls
// of one size get one pixel size wherever they lie and their pictures fit.
class DialogUnits {
public:
    explicit DialogUnits(DialogBaseUnits units = {}) : units_(units) {}

    // The units of a font as the dialog manager measures them.
    static DialogUnits ForFont(const QFont& font);

    // The font every template is laid out in: the desktop's sans serif at
    // 11 pixels, narrowed a little, which gives base units of about 6 by 13
    // (1.5 pixels across and 1.6 down per unit). Pixel-sized so that the
    // layout and the skin's pictures agree whatever the screen's dots per
    // inch; Qt scales both together on high-density screens.
    static QFont DialogFont();

    DialogBaseUnits BaseUnits() const { return units_; }

    int ToPixelsX(int dialogUnits) const;
    int ToPixelsY(int dialogUnits) const;
    QPoint ToPixels(QPoint dialogUnits) const;
    QSize ToPixels(QSize dialogUnits) const;
    QRect ToPixels(const QRect& dialogUnits) const;

private:
    DialogBaseUnits units_;
};

}  // namespace ostrel
