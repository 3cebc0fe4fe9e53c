#include "CResizeDlg.h"

#include "DialogBuilder.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSizeGrip>
#include <QWindow>

#include <algorithm>

namespace ostrel {

CResizeDlg::CResizeDlg(const DialogTemplate& dialogTemplate, QWidget* parent) : QDialog(parent)
{
    DialogBuilder::Build(*this, dialogTemplate);

    previousClient_ = ClientRectOnScreen();

    sizeGrip_ = new QSizeGrip(this);
    DialogBuilder::SetId(*sizeGrip_, kSizeGripId);
    sizeGrip_->resize(sizeGrip_->sizeHint());
    sizeGrip_->move(width() - sizeGrip_->width(), height() - sizeGrip_->height());
    sizeGrip_->installEventFilter(this);
    AddControl(kSizeGripId, EdgeModes::All(EdgeMode::Move), true);

    minimumWidth_ = width();
    minimumHeight_ = height();
    ApplySizeLimits();

    if (IsBorderless())
        setMouseTracking(true);
}

void CResizeDlg::HideSizeGrip()
{
    sizeGrip_->hide();
}

bool CResizeDlg::AddControl(int id, EdgeModes modes, bool keepOutOfErase)
{
    const QWidget* control = Control(id);
    if (!control)
        return false;
    layout_.Register({id, modes, keepOutOfErase, control->geometry()});
    return true;
}

void CResizeDlg::SetHorizontalResizing(bool enabled)
{
    horizontalResizing_ = enabled;
    ApplySizeLimits();
}

void CResizeDlg::SetVerticalResizing(bool enabled)
{
    verticalResizing_ = enabled;
    ApplySizeLimits();
}

void CResizeDlg::ApplySizeLimits()
{
    setMinimumSize(minimumWidth_, minimumHeight_);
    setMaximumWidth(horizontalResizing_ ? QWIDGETSIZE_MAX : minimumWidth_);
    setMaximumHeight(verticalResizing_ ? QWIDGETSIZE_MAX : minimumHeight_);
}

QWidget* CResizeDlg::Control(int id) const
{
    return DialogBuilder::Find(*this, id);
}

QRect CResizeDlg::ClientRectOnScreen() const
{
    return {mapToGlobal(QPoint(0, 0)), size()};
}

void CResizeDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (layout_.Empty()) {
        sizingEdge_ = SizingEdge::None;
        return;
    }

    // A resize from the desktop reaches the window before its move, so its
    // new position is read from the native window.
    QRect now = ClientRectOnScreen();
    const QWindow* handle = windowHandle();
    if (event->spontaneous() && isWindow() && handle)
        now = QRect(handle->geometry().topLeft(), event->size());

    SizingEdge edge = sizingEdge_;
    if (edge == SizingEdge::None && event->spontaneous())
        edge = ResizeLayout::InferSizingEdge(previousClient_, now);
    const Qt::Edges moving = ResizeLayout::MovingEdges(edge);
    if (moving) {
        const int dw = now.width() - previousClient_.width();
        const int dh = now.height() - previousClient_.height();
        for (const auto& [id, rect] : layout_.Arrange(moving, dw, dh)) {
            if (QWidget* control = Control(id))
                control->setGeometry(rect);
        }
    }
    previousClient_ = now;
    sizingEdge_ = SizingEdge::None;
}

void CResizeDlg::moveEvent(QMoveEvent* event)
{
    QDialog::moveEvent(event);
    // A move alone shifts the reference; a move that came with a resize
    // was taken into account by the resize.
    const QRect now = ClientRectOnScreen();
    if (now.size() == previousClient_.size())
        previousClient_ = now;
}

QRegion CResizeDlg::EraseRegion() const
{
    QRegion region(rect());
    for (const LayoutRecord& record : layout_.Records()) {
        const QWidget* control = Control(record.controlId);
        if (record.keepOutOfErase && control && control->isVisible())
            region -= record.rect;
    }
    return region;
}

void CResizeDlg::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setClipRegion(EraseRegion() & event->region());
    painter.fillRect(rect(), palette().window());
}

bool CResizeDlg::IsBorderless() const
{
    return isWindow() && windowFlags().testFlag(Qt::FramelessWindowHint);
}

Qt::Edges CResizeDlg::BorderEdgesAt(QPoint position) const
{
    Qt::Edges edges;
    if (!IsBorderless())
        return edges;
    if (horizontalResizing_) {
        if (position.x() < kSizingBorder)
            edges |= Qt::LeftEdge;
        else if (position.x() >= width() - kSizingBorder)
            edges |= Qt::RightEdge;
    }
    if (verticalResizing_) {
        if (position.y() < kSizingBorder)
            edges |= Qt::TopEdge;
        else if (position.y() >= height() - kSizingBorder)
            edges |= Qt::BottomEdge;
    }
    return edges;
}

void CResizeDlg::mousePressEvent(QMouseEvent* event)
{
    const Qt::Edges edges =
        event->button() == Qt::LeftButton ? BorderEdgesAt(event->position().toPoint()) : Qt::Edges();
    if (!edges) {
        if (draggable_ && event->button() == Qt::LeftButton) {
            // The desktop moves the window when it can; otherwise we follow the mouse.
            if (!windowHandle() || !windowHandle()->startSystemMove()) {
                moving_ = true;
                moveOffset_ = event->globalPosition().toPoint() - pos();
            }
            event->accept();
            return;
        }
        QDialog::mousePressEvent(event);
        return;
    }
    const SizingEdge edge = ResizeLayout::FromEdges(edges);
    ReportSizing(edge);
    QWindow* handle = windowHandle();
    if (!handle || !handle->startSystemResize(edges)) {
        borderDrag_ = edge;
        borderDragStart_ = geometry();
        borderDragOrigin_ = event->globalPosition().toPoint();
    }
    event->accept();
}

void CResizeDlg::mouseMoveEvent(QMouseEvent* event)
{
    if (moving_) {
        move(event->globalPosition().toPoint() - moveOffset_);
        event->accept();
        return;
    }
    if (borderDrag_ == SizingEdge::None) {
        // Show which way a press here would resize.
        const Qt::Edges edges = BorderEdgesAt(event->position().toPoint());
        if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
            setCursor(Qt::SizeFDiagCursor);
        else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
            setCursor(Qt::SizeBDiagCursor);
        else if (edges & (Qt::LeftEdge | Qt::RightEdge))
            setCursor(Qt::SizeHorCursor);
        else if (edges & (Qt::TopEdge | Qt::BottomEdge))
            setCursor(Qt::SizeVerCursor);
        else
            unsetCursor();
        QDialog::mouseMoveEvent(event);
        return;
    }

    const QPoint delta = event->globalPosition().toPoint() - borderDragOrigin_;
    const Qt::Edges edges = ResizeLayout::MovingEdges(borderDrag_);
    QRect target = borderDragStart_;
    const auto clampWidth = [this](int value) { return std::clamp(value, minimumWidth(), maximumWidth()); };
    const auto clampHeight = [this](int value) { return std::clamp(value, minimumHeight(), maximumHeight()); };
    if (edges & Qt::LeftEdge)
        target.setLeft(target.right() + 1 - clampWidth(borderDragStart_.width() - delta.x()));
    if (edges & Qt::RightEdge)
        target.setWidth(clampWidth(borderDragStart_.width() + delta.x()));
    if (edges & Qt::TopEdge)
        target.setTop(target.bottom() + 1 - clampHeight(borderDragStart_.height() - delta.y()));
    if (edges & Qt::BottomEdge)
        target.setHeight(clampHeight(borderDragStart_.height() + delta.y()));
    if (target != geometry()) {
        ReportSizing(borderDrag_);
        setGeometry(target);
    }
    event->accept();
}

void CResizeDlg::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        moving_ = false;
    if (event->button() == Qt::LeftButton && borderDrag_ != SizingEdge::None) {
        borderDrag_ = SizingEdge::None;
        sizingEdge_ = SizingEdge::None;
        event->accept();
        return;
    }
    QDialog::mouseReleaseEvent(event);
}

bool CResizeDlg::eventFilter(QObject* watched, QEvent* event)
{
    // The grip resizes by the bottom-right corner, whichever way it does it.
    if (watched == sizeGrip_) {
        const auto type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseMove) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->buttons() & Qt::LeftButton)
                ReportSizing(SizingEdge::BottomRight);
        } else if (type == QEvent::MouseButtonRelease) {
            sizingEdge_ = SizingEdge::None;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace ostrel
