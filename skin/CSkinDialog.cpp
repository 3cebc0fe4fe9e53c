#include "CSkinDialog.h"

#include "CSkinButton.h"
#include "ColourKey.h"
#include "DialogBuilder.h"
#include "SkinResources.h"

#include <QChildEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace ostrel {

CSkinDialog::CSkinDialog(const DialogTemplate& dialogTemplate, QWidget* parent) : QDialog(parent)
{
    DialogBuilder::Build(*this, dialogTemplate);
}

bool CSkinDialog::SetBackgroundBitmap(int number)
{
    background_ = SkinResources::Bitmap(number);
    // In device-independent pixels: a picture drawn for a pixel ratio of 2
    // has the size of the one drawn for 1.
    const QSize size = background_.deviceIndependentSize().toSize();
    bitmapWidth_ = size.width();
    bitmapHeight_ = size.height();
    // A bitmap that is there but unreadable is a failure; one that is not
    // there leaves the desktop's face.
    const bool result = !background_.isNull() || !SkinResources::HasBitmap(number);
    UpdateShape();
    update();
    return result;
}

void CSkinDialog::SetColourRule(const ColourRule& rule)
{
    rule_ = rule;
    if (rule_.face) {
        QPalette face = palette();
        face.setColor(QPalette::Window, *rule_.face);
        setPalette(face);
        setAutoFillBackground(true);
    } else {
        setAutoFillBackground(false);
    }
    for (QLabel* label : findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        ApplyRule(*label);
    update();
}

void CSkinDialog::ApplyRule(QWidget& widget) const
{
    if (!rule_.staticText || !qobject_cast<QLabel*>(&widget))
        return;
    QPalette text = widget.palette();
    text.setColor(QPalette::WindowText, *rule_.staticText);
    widget.setPalette(text);
    widget.setAutoFillBackground(false);
}

void CSkinDialog::ShapeByColourKey()
{
    shaped_ = true;
    UpdateShape();
}

void CSkinDialog::UpdateShape()
{
    if (!shaped_)
        return;
    if (background_.isNull())
        clearMask();
    else
        setMask(ColourKey::VisibleRegion(ShapePicture(), size()));
}

QImage CSkinDialog::ShapePicture() const
{
    // The mask is in device-independent pixels. Every other pixel of a
    // sharper picture keeps the key exact, as no blend would.
    const QImage picture = background_.toImage();
    if (background_.devicePixelRatio() == 1.0)
        return picture;
    QImage shape = picture.scaled(QSize(bitmapWidth_, bitmapHeight_), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    shape.setDevicePixelRatio(1.0);
    return shape;
}

QWidget* CSkinDialog::Control(int id) const
{
    return DialogBuilder::Find(*this, id);
}

CSkinButton* CSkinDialog::Button(int id) const
{
    return qobject_cast<CSkinButton*>(Control(id));
}

bool CSkinDialog::event(QEvent* event)
{
    // Static texts added after the rule was set follow it as well.
    if (event->type() == QEvent::ChildPolished) {
        auto* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType())
            ApplyRule(*static_cast<QWidget*>(child));
    }
    return QDialog::event(event);
}

void CSkinDialog::keyPressEvent(QKeyEvent* event)
{
    if (!isWindow()) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CSkinDialog::paintEvent(QPaintEvent*)
{
    if (background_.isNull())
        return;
    QPainter painter(this);
    SkinResources::DrawAtTopLeft(painter, background_, size());
}

void CSkinDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (!background_.isNull()) {
        UpdateShape();
        update();
    }
}

void CSkinDialog::mousePressEvent(QMouseEvent* event)
{
    if (draggable_ && event->button() == Qt::LeftButton) {
        QWidget* top = window();
        QWindow* handle = top->windowHandle();
        // The desktop moves the window when it can; otherwise we follow the mouse.
        if (!handle || !handle->startSystemMove()) {
            dragging_ = true;
            dragOffset_ = event->globalPosition().toPoint() - top->pos();
        }
    }
    QDialog::mousePressEvent(event);
}

void CSkinDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        window()->move(event->globalPosition().toPoint() - dragOffset_);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void CSkinDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        dragging_ = false;
    QDialog::mouseReleaseEvent(event);
}

}  // namespace ostrel
