#include "DialogUnits.h"

#include <QFontMetrics>

#include <cstdint>

namespace ostrel {

namespace {

// value * numerator / denominator, rounded half away from zero.
int ScaleRounded(int value, int numerator, int denominator)
{
    const std::int64_t product = static_cast<std::int64_t>(value) * numerator;
    const std::int64_t twice = 2 * product;
    const std::int64_t rounded =
        twice >= 0 ? (twice + denominator) / (2 * denominator) : (twice - denominator) / (2 * denominator);
    return static_cast<int>(rounded);
}

}  // namespace

DialogUnits DialogUnits::ForFont(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogUnits(DialogBaseUnits{(letters / 26 + 1) / 2, metrics.height()});
}

QFont DialogUnits::DialogFont()
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setStretch(88);
    return font;
}

int DialogUnits::ToPixelsX(int dialogUnits) const
{
    return ScaleRounded(dialogUnits, units_.x, 4);
}

int DialogUnits::ToPixelsY(int dialogUnits) const
{
    return ScaleRounded(dialogUnits, units_.y, 8);
}

QPoint DialogUnits::ToPixels(QPoint dialogUnits) const
{
    return {ToPixelsX(dialogUnits.x()), ToPixelsY(dialogUnits.y())};
}

QSize DialogUnits::ToPixels(QSize dialogUnits) const
{
    return {ToPixelsX(dialogUnits.width()), ToPixelsY(dialogUnits.height())};
}

QRect DialogUnits::ToPixels(const QRect& dialogUnits) const
{
    return {ToPixels(dialogUnits.topLeft()), ToPixels(dialogUnits.size())};
}

}  // namespace ostrel
