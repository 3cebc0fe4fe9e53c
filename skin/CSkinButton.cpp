#include "CSkinButton.h"

#include "SkinResources.h"

#include <QMouseEvent>
#include <QPainter>

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
    updateGeometry();
    update();
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
    case Picture::Normal:
        return normal_;
    case Picture::Pressed:
        return pressed_;
    case Picture::Hover:
        return hoverPicture_;
    case Picture::Disabled:
        return disabled_;
    case Picture::Face:
        break;
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
        const QPixmap& bitmap = PictureFor(picture);
        painter.drawPixmap(QPoint(0, 0), bitmap, item & bitmap.rect());
    }

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

} // namespace ostrel
