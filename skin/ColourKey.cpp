#include "ColourKey.h"

#include <QBitmap>

namespace ostrel {

QRegion ColourKey::VisibleRegion(const QImage& picture, QSize area)
{
    const QRect window(QPoint(0, 0), area);
    if (picture.isNull())
        return QRegion(window);

    // Compare opaque pixels only: a translucent pixel is never the key.
    const QImage pixels = picture.convertToFormat(QImage::Format_ARGB32);
    // The mask's set bits, which the region is made of, are the pixels
    // that are not the key.
    const QImage kept = pixels.createMaskFromColor(kRgb, Qt::MaskInColor);
    QRegion visible(QBitmap::fromImage(kept));
    visible += QRegion(window) - QRegion(pixels.rect());
    return visible & window;
}

}  // namespace ostrel
