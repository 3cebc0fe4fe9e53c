#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>

#include <optional>

namespace ostrel {

// The skin's pictures, by the resource numbers the windows use. They are
// painted at build time from resources/SkinPictures.txt and embedded in
// the program. Only for the thread that owns the widgets.
class SkinResources {
public:
    // The bitmap with this number, unscaled; a null pixmap when there is
    // none or when it cannot be read.
    static QPixmap Bitmap(int number);
    // Whether the program holds a bitmap with this number, readable or not.
    static bool HasBitmap(int number);
    // Every size drawn of the icon; a null icon when there is none.
    static QIcon Icon(int number);
    // The cursor with its hot spot; nothing when there is none.
    static std::optional<QCursor> Cursor(int number);
    // The text of the picture table the pictures were painted from.
    static QString PictureTableText();
};

} // namespace ostrel
