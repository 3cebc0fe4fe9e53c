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
// Deterministic: the same row, look and fonts give the same pixels. A
// painter of scale 2 draws each bitmap at twice its size in pixels, for
// screens of that pixel ratio; the picture keeps the table's size in
// device-independent pixels. Icons and cursors are drawn at scale 1.
class PicturePainter {
public:
    explicit PicturePainter(SkinLook look, int scale = 1) : look_(std::move(look)), scale_(scale) {}

    PaintedPicture Paint(const PictureRow& row) const;

private:
    QImage Button(const PictureRow& row, bool pressed) const;
    // The normal button washed out, for a button that cannot be pressed now.
    QImage DisabledButton(const PictureRow& row) const;
    QImage PageButton(const PictureRow& row) const;
    QImage TitleButton(const PictureRow& row) const;
    QImage MainWindow(const PictureRow& row) const;
    QImage PageBar(const PictureRow& row) const;
    QImage MessageBox(const PictureRow& row) const;
    QImage Dialog(const PictureRow& row) const;
    QImage Icon(const PictureRow& row, int size) const;
    QImage Cursor(const PictureRow& row) const;

    // The accent band across the top of a window.
    void PaintBand(QPainter& painter, qreal width, qreal height) const;
    // A shaped window's rounded face with its band, clipped to the shape;
    // then its outline, unclipped.
    void BeginShapedWindow(QPainter& painter, QSize size) const;
    void EndShapedWindow(QPainter& painter, QSize size) const;

    // Turns a picture drawn on transparency into a shaped background: every
    // pixel less than half covered becomes exactly the colour key, every
    // other one fully opaque, so the window's outline has no tinted fringe.
    QImage KeyOut(const QImage& drawn) const;

    // A transparent picture of `size` device-independent pixels at the
    // painter's scale.
    QImage Canvas(QSize size) const;

    SkinLook look_;
    int scale_ = 1;
};

}  // namespace ostrel
