#pragma once

#include "SkinResources.h"

#include <QCoreApplication>
#include <QImage>
#include <QList>
#include <QMouseEvent>
#include <QWidget>

namespace ostrel::test {

// What a widget paints itself, as premultiplied pixels, transparent where
// it paints nothing (unlike grab(), which fills in the window colour).
inline QImage Pixels(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// What a bitmap looks like copied unscaled into an area of `size`.
inline QImage BitmapIn(int number, QSize size)
{
    QImage area(size, QImage::Format_ARGB32_Premultiplied);
    area.fill(Qt::transparent);
    const QImage bitmap = SkinResources::Bitmap(number).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < std::min(size.height(), bitmap.height()); ++y) {
        for (int x = 0; x < std::min(size.width(), bitmap.width()); ++x)
            area.setPixel(x, y, bitmap.pixel(x, y));
    }
    return area;
}

// Which of the candidate bitmaps the widget shows; 0 for none of them.
inline int BitmapShown(QWidget& widget, const QList<int>& candidates)
{
    const QImage shown = Pixels(widget);
    for (int number : candidates) {
        if (number != 0 && shown == BitmapIn(number, widget.size()))
            return number;
    }
    return 0;
}

// Mouse events sent straight to a widget, with the buttons held after them.
inline void SendMouse(QWidget& widget, QEvent::Type type, QPoint position, Qt::MouseButton button,
                      Qt::MouseButtons held)
{
    QMouseEvent event(type, position, widget.mapToGlobal(position), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

}  // namespace ostrel::test
