#include "PicturePainter.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <algorithm>

namespace ostrel {

namespace {

QImage Blank(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QColor WithAlpha(QColor colour, int alpha)
{
    colour.setAlpha(alpha);
    return colour;
}

// Lines of text centred as a block in `box`.
void DrawLines(QPainter& painter, const QRectF& box, const QStringList& lines, const QFont& font, const QColor& colour)
{
    const QFontMetricsF metrics(font);
    const qreal lineHeight = metrics.height() - 1;
    const qreal blockHeight = lineHeight * static_cast<qreal>(lines.size());
    qreal top = box.top() + (box.height() - blockHeight) / 2;
    painter.setFont(font);
    painter.setPen(colour);
    for (const QString& text : lines) {
        painter.drawText(QRectF(box.left(), top, box.width(), lineHeight), Qt::AlignCenter, text);
        top += lineHeight;
    }
}

// The small line drawings of the page buttons, in a 16 by 16 box.
void DrawGlyph(QPainter& painter, const QString& name, const QRectF& box, const QColor& colour)
{
    painter.save();
    painter.translate(box.topLeft());
    painter.scale(box.width() / 16.0, box.height() / 16.0);
    QPen pen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);

    if (name == QLatin1String("status")) {
        // A pulse line: the monitor is alive.
        QPainterPath pulse;
        pulse.moveTo(1, 9);
        pulse.lineTo(4.5, 9);
        pulse.lineTo(6.5, 3);
        pulse.lineTo(9.5, 14);
        pulse.lineTo(11.5, 8);
        pulse.lineTo(15, 8);
        painter.drawPath(pulse);
    } else if (name == QLatin1String("printers")) {
        painter.drawRoundedRect(QRectF(1.5, 5.5, 13, 6), 1.5, 1.5);
        painter.drawRect(QRectF(4.5, 1.5, 7, 4));
        painter.setBrush(colour);
        painter.drawRect(QRectF(4.5, 9.5, 7, 5));
        painter.setPen(QPen(Qt::white, 1.0));
        painter.drawLine(QPointF(6, 11.5), QPointF(10, 11.5));
    } else if (name == QLatin1String("reports")) {
        painter.setBrush(colour);
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(QRectF(2, 8, 3, 6.5), 0.8, 0.8);
        painter.drawRoundedRect(QRectF(6.5, 4, 3, 10.5), 0.8, 0.8);
        painter.drawRoundedRect(QRectF(11, 1.5, 3, 13), 0.8, 0.8);
    } else if (name == QLatin1String("settings")) {
        // A gear: eight teeth around a ring.
        painter.setBrush(colour);
        painter.setPen(Qt::NoPen);
        for (int tooth = 0; tooth < 8; ++tooth) {
            painter.save();
            painter.translate(8, 8);
            painter.rotate(45.0 * tooth);
            painter.drawRoundedRect(QRectF(-1.6, -7.5, 3.2, 4), 0.6, 0.6);
            painter.restore();
        }
        QPainterPath ring;
        ring.addEllipse(QPointF(8, 8), 5.2, 5.2);
        ring.addEllipse(QPointF(8, 8), 2.2, 2.2);
        painter.drawPath(ring);
    } else if (name == QLatin1String("close")) {
        painter.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
        painter.drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
    }
    painter.restore();
}

struct Tone {
    QColor top;
    QColor bottom;
    QColor edge;
    QColor text;
    bool filled = true;
};

}  // namespace

PaintedPicture PicturePainter::Paint(const PictureRow& row) const
{
    switch (row.role) {
    case PictureRole::ButtonNormal: return {{Button(row, false)}};
    case PictureRole::ButtonPressed: return {{Button(row, true)}};
    case PictureRole::ButtonDisabled: return {{DisabledButton(row)}};
    case PictureRole::PageNormal:
    case PictureRole::PagePressed:
    case PictureRole::PageHover: return {{PageButton(row)}};
    case PictureRole::TitleButton: return {{TitleButton(row)}};
    case PictureRole::MainWindow: return {{MainWindow(row)}};
    case PictureRole::PageBar: return {{PageBar(row)}};
    case PictureRole::MessageBox: return {{MessageBox(row)}};
    case PictureRole::Dialog: return {{Dialog(row)}};
    case PictureRole::Cursor: return {{Cursor(row)}};
    case PictureRole::Icon: {
        PaintedPicture picture;
        for (int size : IconSizesUpTo(std::min(row.size.width(), row.size.height())))
            picture.images.push_back(Icon(row, size));
        return picture;
    }
    }
    return {};
}

QImage PicturePainter::DisabledButton(const PictureRow& row) const
{
    QImage image = Button(row, false);
    QPainter painter(&image);
    // Only over what the button paints: the transparent rest stays so.
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    QColor wash = look_.neutralBottom;
    wash.setAlpha(175);
    painter.fillRect(image.rect(), wash);
    return image;
}

QImage PicturePainter::Button(const PictureRow& row, bool pressed) const
{
    Tone tone;
    const QString& variant = row.variant;
    if (variant == QLatin1String("neutral")) {
        tone = {look_.neutralTop, look_.neutralBottom, look_.neutralEdge, look_.ink, false};
        if (pressed)
            tone = {look_.neutralBottom.darker(106), look_.neutralBottom, look_.neutralEdge.darker(112), look_.ink,
                    false};
    } else {
        QColor base = look_.accent;
        QColor deep = look_.accentDeep;
        if (variant == QLatin1String("success")) {
            base = look_.success;
            deep = look_.successDeep;
        } else if (variant == QLatin1String("danger")) {
            base = look_.danger;
            deep = look_.dangerDeep;
        }
        tone = pressed ? Tone{deep.darker(110), deep, deep.darker(118), Qt::white, true}
                       : Tone{base.lighter(112), base, deep, Qt::white, true};
    }

    QImage image = Canvas(row.size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // The body sits one pixel lower when pressed and loses its shadow.
    const qreal art = std::min(look_.buttonArtHeight, row.size.height());
    const qreal width = row.size.width();
    const qreal radius = look_.buttonRadius;
    const qreal drop = pressed ? 1.0 : 0.0;
    const QRectF body(0.5, 0.5 + drop, width - 1, art - 2);

    if (!pressed) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 38));
        painter.drawRoundedRect(body.translated(0, 1), radius, radius);
    }
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0, tone.top);
    fill.setColorAt(1, tone.bottom);
    painter.setBrush(fill);
    painter.setPen(QPen(tone.edge, 1));
    painter.drawRoundedRect(body, radius, radius);

    if (pressed) {
        painter.setPen(QPen(QColor(0, 0, 0, 50), 1));
        painter.drawLine(QPointF(radius, body.top() + 1), QPointF(width - radius, body.top() + 1));
    } else if (tone.filled) {
        painter.setPen(QPen(QColor(255, 255, 255, 60), 1));
        painter.drawLine(QPointF(radius, body.top() + 1), QPointF(width - radius, body.top() + 1));
    }

    const QFont font = look_.CaptionFont(row.captionLines.size() > 1 ? 10 : 12);
    if (tone.filled)
        DrawLines(painter, body.translated(0, 1), row.captionLines, font, QColor(0, 0, 0, 60));
    DrawLines(painter, body, row.captionLines, font, tone.text);
    return image;
}

QImage PicturePainter::PageButton(const PictureRow& row) const
{
    QImage image = Canvas(row.size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const QRectF frame(0.5, 0.5, row.size.width() - 1, row.size.height() - 1);
    QColor glyph = look_.muted;
    QColor text = look_.ink;
    if (row.role == PictureRole::PageHover) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(look_.hoverTint);
        painter.drawRoundedRect(frame, 6, 6);
        glyph = look_.accent;
        text = look_.accentDeep;
    } else if (row.role == PictureRole::PagePressed) {
        QLinearGradient fill(frame.topLeft(), frame.bottomLeft());
        fill.setColorAt(0, look_.accent.lighter(108));
        fill.setColorAt(1, look_.accent);
        painter.setPen(QPen(look_.accentDeep, 1));
        painter.setBrush(fill);
        painter.drawRoundedRect(frame, 6, 6);
        glyph = Qt::white;
        text = Qt::white;
        // A chevron marks the page on show.
        painter.setPen(QPen(WithAlpha(Qt::white, 200), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const qreal x = row.size.width() - 14;
        const qreal y = row.size.height() / 2.0;
        painter.drawPolyline(QList<QPointF>{{x, y - 4}, {x + 4, y}, {x, y + 4}});
    }

    const qreal glyphTop = (row.size.height() - 16) / 2.0;
    DrawGlyph(painter, row.variant, QRectF(11, glyphTop, 16, 16), glyph);

    painter.setFont(look_.CaptionFont(12, QFont::DemiBold));
    painter.setPen(text);
    painter.drawText(QRectF(35, 0, row.size.width() - 50, row.size.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     row.captionLines.join(QLatin1Char(' ')));
    return image;
}

QImage PicturePainter::TitleButton(const PictureRow& row) const
{
    QImage image = Canvas(row.size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // A round plate as wide as the picture, at its top.
    const qreal side = std::min(row.size.width(), row.size.height());
    const QRectF plate(0.5, 0.5, side - 1, side - 1);
    painter.setPen(QPen(look_.line, 1));
    painter.setBrush(look_.sidebar);
    painter.drawEllipse(plate);

    if (row.variant == QLatin1String("help")) {
        painter.setFont(look_.CaptionFont(13));
        painter.setPen(look_.muted);
        painter.drawText(plate, Qt::AlignCenter, QStringLiteral("?"));
    } else {
        const qreal glyph = side * 0.75;
        DrawGlyph(painter, row.variant,
                  QRectF(plate.center().x() - glyph / 2, plate.center().y() - glyph / 2, glyph, glyph), look_.muted);
    }
    return image;
}

void PicturePainter::PaintBand(QPainter& painter, qreal width, qreal height) const
{
    QLinearGradient band(0, 0, width, 0);
    band.setColorAt(0, look_.accent);
    band.setColorAt(1, look_.accentSecond);
    painter.fillRect(QRectF(0, 0, width, height), band);
}

void PicturePainter::BeginShapedWindow(QPainter& painter, QSize size) const
{
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, size.width(), size.height()), look_.windowRadius, look_.windowRadius);
    painter.fillPath(shape, look_.card);
    painter.setClipPath(shape);
    PaintBand(painter, size.width(), look_.topBand);
}

void PicturePainter::EndShapedWindow(QPainter& painter, QSize size) const
{
    painter.setClipping(false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(look_.outline, 1));
    painter.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), look_.windowRadius - 0.5,
                            look_.windowRadius - 0.5);
}

QImage PicturePainter::MainWindow(const PictureRow& row) const
{
    const qreal width = row.size.width();
    const qreal height = row.size.height();
    QImage image = Canvas(row.size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    BeginShapedWindow(painter, row.size);

    // Under the caption text, which the window draws itself at the top left.
    painter.setFont(look_.CaptionFont(11, QFont::Normal));
    painter.setPen(look_.muted);
    painter.drawText(QRectF(12, 32, width - 100, 16), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Print monitoring and accounting"));
    painter.setPen(QPen(look_.line, 1));
    painter.drawLine(QPointF(14, 62.5), QPointF(width - 14, 62.5));

    // The page area: pages lie at 160,80, up to 420 by 300, and most paint
    // no face of their own; a page that does stays within the rounded corners.
    const QRectF pageArea(157.5, 74.5, width - 160, height - 85);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 14));
    painter.drawRoundedRect(pageArea.translated(0, 1.5), look_.panelRadius, look_.panelRadius);
    painter.setPen(QPen(look_.line, 1));
    painter.setBrush(look_.panel);
    painter.drawRoundedRect(pageArea, look_.panelRadius, look_.panelRadius);

    EndShapedWindow(painter, row.size);
    painter.end();
    return KeyOut(image);
}

QImage PicturePainter::PageBar(const PictureRow& row) const
{
    const qreal width = row.size.width();
    const qreal height = row.size.height();
    QImage image = Canvas(row.size);
    // Corners show the main window's face, on which the bar lies.
    image.fill(look_.card);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF frame(0.5, 0.5, width - 1, height - 1);
    painter.setPen(QPen(look_.line, 1));
    painter.setBrush(look_.sidebar);
    painter.drawRoundedRect(frame, look_.panelRadius, look_.panelRadius);

    // A faint printer below the page buttons.
    const qreal mark = 56;
    DrawGlyph(painter, QStringLiteral("printers"), QRectF((width - mark) / 2, height - mark - 28, mark, mark),
              look_.sidebar.darker(108));
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage PicturePainter::MessageBox(const PictureRow& row) const
{
    // Drawn for the window's size; the rest of the picture is plain panel.
    const qreal width = std::min(row.size.width(), look_.messageBoxWindow.width());
    const qreal height = std::min(row.size.height(), look_.messageBoxWindow.height());
    QImage image = Canvas(row.size);
    image.fill(look_.panel);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    PaintBand(painter, width, look_.topBand - 1);

    // An information badge and the title beside it.
    const QRectF badge(14, 16, 26, 26);
    painter.setPen(Qt::NoPen);
    painter.setBrush(look_.accent);
    painter.drawEllipse(badge);
    painter.setFont(look_.CaptionFont(16));
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, QStringLiteral("i"));

    painter.setFont(look_.CaptionFont(14));
    painter.setPen(look_.ink);
    painter.drawText(QRectF(50, badge.top(), width - 60, badge.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     row.captionLines.join(QLatin1Char(' ')));

    painter.setPen(QPen(look_.line, 1));
    painter.drawLine(QPointF(14, 54.5), QPointF(width - 14, 54.5));

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(look_.outline, 1));
    painter.drawRect(QRectF(0.5, 0.5, width - 1, height - 1));
    painter.end();
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage PicturePainter::Dialog(const PictureRow& row) const
{
    QImage image = Canvas(row.size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    BeginShapedWindow(painter, row.size);
    EndShapedWindow(painter, row.size);
    painter.end();
    return KeyOut(image);
}

QImage PicturePainter::Icon(const PictureRow& row, int size) const
{
    const bool monitoring = row.variant == QLatin1String("monitoring");
    const qreal s = size;
    const qreal stroke = std::max(1.0, s * 0.045);
    const QColor body = monitoring ? look_.ink : look_.idle;

    QImage image = Blank(QSize(size, size));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // Paper going in, the printer's body, paper coming out.
    painter.setPen(QPen(body, stroke));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(0.27 * s, 0.08 * s, 0.46 * s, 0.30 * s));
    painter.setPen(Qt::NoPen);
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(0.06 * s, 0.32 * s, 0.88 * s, 0.38 * s), 0.09 * s, 0.09 * s);
    painter.setPen(QPen(body, stroke));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(0.27 * s, 0.56 * s, 0.46 * s, 0.36 * s));
    if (size >= 24) {
        painter.setPen(QPen(look_.line.darker(125), stroke * 0.8));
        painter.drawLine(QPointF(0.34 * s, 0.69 * s), QPointF(0.60 * s, 0.69 * s));
        painter.drawLine(QPointF(0.34 * s, 0.79 * s), QPointF(0.54 * s, 0.79 * s));
    }

    // The badge tells the state at a glance: a tick, or a bar.
    const QPointF centre(0.74 * s, 0.74 * s);
    const qreal radius = 0.23 * s;
    painter.setPen(QPen(Qt::white, std::max(1.0, s * 0.05)));
    painter.setBrush(monitoring ? look_.success : look_.danger);
    painter.drawEllipse(centre, radius, radius);
    QPen mark(Qt::white, std::max(1.2, s * 0.07), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(mark);
    painter.setBrush(Qt::NoBrush);
    if (monitoring) {
        painter.drawPolyline(QList<QPointF>{centre + QPointF(-0.45 * radius, 0.02 * radius),
                                            centre + QPointF(-0.1 * radius, 0.38 * radius),
                                            centre + QPointF(0.48 * radius, -0.35 * radius)});
    } else {
        painter.drawLine(centre + QPointF(-0.45 * radius, 0), centre + QPointF(0.45 * radius, 0));
    }
    return image;
}

QImage PicturePainter::Cursor(const PictureRow& row) const
{
    QImage image = Blank(row.size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(row.size.width() / 32.0, row.size.height() / 32.0);

    // A hand pointing up; the tip of the index finger is the hot spot.
    QPainterPath hand;
    hand.addRoundedRect(QRectF(10, 1, 5, 16), 2.5, 2.5);
    hand.addRoundedRect(QRectF(14.5, 8, 4.5, 11), 2.2, 2.2);
    hand.addRoundedRect(QRectF(18.5, 9, 4.5, 11), 2.2, 2.2);
    hand.addRoundedRect(QRectF(22.5, 10.5, 4.5, 10), 2.2, 2.2);
    hand.addRoundedRect(QRectF(10, 13, 17, 15), 5, 5);
    QPainterPath thumb;
    thumb.addRoundedRect(QRectF(-2.5, -2.2, 10, 4.4), 2.2, 2.2);
    QTransform turn;
    turn.translate(8.5, 18.5);
    turn.rotate(50);
    hand = hand.united(turn.map(thumb)).simplified();

    painter.setPen(QPen(Qt::black, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::white);
    painter.drawPath(hand);
    painter.setPen(QPen(QColor(0, 0, 0, 110), 0.9));
    painter.drawLine(QPointF(14.8, 14), QPointF(14.8, 19));
    painter.drawLine(QPointF(18.8, 15), QPointF(18.8, 20));
    painter.drawLine(QPointF(22.8, 16), QPointF(22.8, 20.5));
    painter.end();

    image.setText(QLatin1String(kHotSpotKey),
                  QStringLiteral("%1,%2").arg(qRound(12.0 * row.size.width() / 32.0)).arg(1));
    return image;
}

QImage PicturePainter::Canvas(QSize size) const
{
    QImage image = Blank(size * scale_);
    image.setDevicePixelRatio(scale_);
    return image;
}

QImage PicturePainter::KeyOut(const QImage& drawn) const
{
    QImage straight = drawn.convertToFormat(QImage::Format_ARGB32);
    QImage result(drawn.size(), QImage::Format_RGB32);
    result.setDevicePixelRatio(drawn.devicePixelRatio());
    const QRgb key = look_.colourKey.rgb();
    for (int y = 0; y < straight.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(straight.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < straight.width(); ++x)
            out[x] = qAlpha(in[x]) < 128 ? key : (in[x] | 0xFF000000u);
    }
    return result;
}

}  // namespace ostrel
