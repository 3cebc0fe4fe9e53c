#pragma once

#include "PictureTable.h"
#include "SkinLook.h"

#include <QImage>

#include <vector>

namespace ostrel {

// One finished picture: a bitmap or cursor has one image, an icon one
// image per size.
struct PaintedPicture {
    std::vector<QImage> images;
};

// Draws the pictures of the skin from their table rows in the given look.
// Deterministic: the same row, look and fonts give the same pixels.
class PicturePainter {
public:
    explicit PicturePainter(SkinLook look) : look_(std::move(look)) {}

    PaintedPicture Paint(const PictureSpec& spec) const;

private:
    QImage Button(const PictureSpec& spec, bool pressed) const;
    QImage PageButton(const PictureSpec& spec) const;
    QImage TitleButton(const PictureSpec& spec) const;
    QImage MainWindow(const PictureSpec& spec) const;
    QImage PageBar(const PictureSpec& spec) const;
    QImage MessageBox(const PictureSpec& spec) const;
    QImage Dialog(const PictureSpec& spec) const;
    QImage Icon(const PictureSpec& spec, int size) const;
    QImage Cursor(const PictureSpec& spec) const;

    // Turns a picture drawn on transparency into a shaped background: every
    // pixel less than half covered becomes exactly the colour key, every
    // other one fully opaque, so the window's outline has no tinted fringe.
    QImage KeyOut(const QImage& drawn) const;

    SkinLook look_;
};

} // namespace ostrel
