#include "CSkinButton.h"

#include "SkinLook.h"
#include "SkinResources.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace ostrel {

CSkinButton::CSkinButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent),
      cursor_(SkinResources::Cursor(kHandCursor)),
      textColour_(palette().color(QPalette::ButtonText))
{
    if (cursor_)
        setCursor(*cursor_);
    // Moves without a button pressed are needed to notice the hover.
    setMouseTracking(true);
}

void CSkinButton::SetBitmaps(int normal, int pressed, int hover, int disabled)
{
    const auto load = [](int number) { return number != 0 ? SkinResources::Bitmap(number) : QPixmap(); };
    normal_ = load(normal);
    pressed_ = load(pressed);
    hoverPicture_ = load(hover);
    disabled_ = load(disabled != 0 ? disabled : normal);
    // The caption is in the pictures only: screen readers and the tooltip
    // read it from the table the pictures were drawn from.
    const QString caption = SkinResources::Caption(normal);
    if (!caption.isEmpty()) {
        setAccessibleName(caption);
        setToolTip(caption);
    }
    MeasureArt();
    updateGeometry();
    update();
}

void CSkinButton::MeasureArt()
{
    // The focus mark follows what the pictures paint, not the transparent
    // rows below a button drawn shorter than its control.
    art_ = QRect();
    for (const QPixmap* picture : {&normal_, &pressed_}) {
        const QImage image = picture->toImage().convertToFormat(QImage::Format_ARGB32);
        const qreal ratio = image.devicePixelRatio();
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(line[x]) >= 128)
                    art_ |= QRect(static_cast<int>(x / ratio), static_cast<int>(y / ratio), 1, 1);
            }
        }
    }
    // A face is dark when the normal picture over a light window is: a
    // filled button is, a page button's glyph and caption on clear are not.
    const QImage normal = normal_.toImage().convertToFormat(QImage::Format_ARGB32);
    const qreal ratio = normal.devicePixelRatio();
    qint64 lightness = 0;
    qint64 pixels = 0;
    for (int y = 0; y < normal.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(normal.constScanLine(y));
        for (int x = 0; x < normal.width(); ++x) {
            if (!art_.contains(static_cast<int>(x / ratio), static_cast<int>(y / ratio)))
                continue;
            lightness += qAlpha(line[x]) >= 128 ? qGray(line[x]) : 255;
            ++pixels;
        }
    }
    darkFace_ = pixels > 0 && lightness / pixels < 160;
}

CSkinButton::Picture CSkinButton::CurrentPicture() const
{
    if (!isEnabled())
        return disabled_.isNull() ? Picture::Face : Picture::Disabled;
    if (isDown())
        return pressed_.isNull() ? Picture::Face : Picture::Pressed;
    if (hover_ && !hoverPicture_.isNull())
        return Picture::Hover;
    return normal_.isNull() ? Picture::Face : Picture::Normal;
}

const QPixmap& CSkinButton::PictureFor(Picture picture) const
{
    static const QPixmap none;
    switch (picture) {
    case Picture::Normal: return normal_;
    case Picture::Pressed: return pressed_;
    case Picture::Hover: return hoverPicture_;
    case Picture::Disabled: return disabled_;
    case Picture::Face: break;
    }
    return none;
}

QSize CSkinButton::sizeHint() const
{
    return normal_.isNull() ? QPushButton::sizeHint() : normal_.deviceIndependentSize().toSize();
}

void CSkinButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect item = rect();
    const Picture picture = CurrentPicture();
    if (picture == Picture::Face)
        painter.fillRect(item, palette().color(QPalette::Button));
    else {
        SkinResources::DrawAtTopLeft(painter, PictureFor(picture), item.size());
    }
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange))
        PaintFocusMark(painter);

    const QString caption = text();
    if (caption.isEmpty())
        return;
    QRect textRect = item.adjusted(2, 0, -2, 0);
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    if (!isEnabled()) {
        // Light text under grey text one pixel up and left: engraved.
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(textRect, flags, caption);
        textRect.translate(-1, -1);
        painter.setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
    } else {
        if (isDown())
            textRect.translate(1, 1);
        painter.setPen(textColour_);
    }
    painter.drawText(textRect, flags, caption);
}

void CSkinButton::PaintFocusMark(QPainter& painter) const
{
    // A ring just inside the button's edge, in the skin's accent on a light
    // face and in white on a coloured one, so it shows on either.
    const SkinLook look;
    const QRectF ring = QRectF(art_.isEmpty() ? rect() : art_ & rect()).adjusted(2.5, 2.5, -2.5, -2.5);
    if (ring.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    QColor colour = darkFace_ ? QColor(Qt::white) : look.accent;
    colour.setAlpha(darkFace_ ? 230 : 255);
    painter.setPen(QPen(colour, 1.5));
    const qreal radius = std::min<qreal>(look.buttonRadius - 1, ring.height() / 2);
    painter.drawRoundedRect(ring, radius, radius);
    painter.restore();
}

void CSkinButton::mouseMoveEvent(QMouseEvent* event)
{
    if (pressing_ && (event->buttons() & Qt::LeftButton)) {
        // While held, the button looks pushed exactly when the cursor is on it.
        const bool over = hitButton(event->position().toPoint());
        if (over != isDown()) {
            setDown(over);
            update();
        }
        event->accept();
        return;
    }
    if (!hover_) {
        hover_ = true;
        update();
    }
    event->accept();
}

void CSkinButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QPushButton::mousePressEvent(event);
        return;
    }
    hover_ = false;
    QPushButton::mousePressEvent(event);
    pressing_ = true;
    update();
}

void CSkinButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        pressing_ = false;
    // Clicks only when the button is still pushed, that is, released on it.
    QPushButton::mouseReleaseEvent(event);
    update();
}

void CSkinButton::leaveEvent(QEvent* event)
{
    hover_ = false;
    update();
    QPushButton::leaveEvent(event);
}

void CSkinButton::focusOutEvent(QFocusEvent* event)
{
    // Losing the focus while held (a switch to another window) ends the
    // press: the later release clicks nothing.
    if (pressing_) {
        pressing_ = false;
        setDown(false);
        if (mouseGrabber() == this)
            releaseMouse();
        update();
    }
    QPushButton::focusOutEvent(event);
}

void CSkinButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        pressing_ = false;
        hover_ = false;
    }
    QPushButton::changeEvent(event);
}

}  // namespace ostrel
