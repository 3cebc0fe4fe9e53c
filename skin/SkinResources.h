#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QString>

#include <optional>

class QPainter;

namespace ostrel {

// The skin's pictures, by the resource numbers the windows use. They are
// painted at build time from resources/SkinPictures.txt and embedded in
// the program. Only for the thread that owns the widgets.
class SkinResources {
public:
    // The bitmap with this number, unscaled; a null pixmap when there is
    // none or when it cannot be read. On a screen of a pixel ratio above 1
    // (the application's) it is the picture drawn at twice the size, with a
    // pixel ratio of 2: the same size in device-independent pixels, sharp.
    static QPixmap Bitmap(int number);
    // The bitmap for this pixel ratio: drawn at twice the size above 1.
    static QPixmap Bitmap(int number, qreal ratio);
    // The caption drawn in the bitmap with this number, on one line, as
    // the picture table gives it; empty when it has none.
    static QString Caption(int number);
    // Whether the program holds a bitmap with this number, readable or not.
    static bool HasBitmap(int number);
    // Every size drawn of the icon; a null icon when there is none.
    static QIcon Icon(int number);
    // The cursor with its hot spot; nothing when there is none.
    static std::optional<QCursor> Cursor(int number);
    // The text of the picture table the pictures were painted from.
    static QString PictureTableText();

    // Copies the part of `picture` that covers `area` (device-independent
    // pixels) from its top-left corner to the painter's origin, unscaled,
    // whatever the picture's pixel ratio.
    static void DrawAtTopLeft(QPainter& painter, const QPixmap& picture, QSize area);
};

}  // namespace ostrel
