#pragma once

#include "DialogTemplate.h"
#include "ResizeLayout.h"

#include <QDialog>
#include <QRegion>

class QSizeGrip;

namespace ostrel {

// A dialog whose registered controls follow the edges the user drags:
// each control edge keeps its place, stretches or moves with the window
// edge, as its layout record says. The window never gets smaller than at
// initialisation, its width or height can be fixed, and a size grip (id
// 50) sits in the bottom-right corner. A size change the user did not make
// by dragging (one made by the program) moves nothing and only becomes the
// reference for the next drag. GUI thread only.
class CResizeDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kSizeGripId = 50;

    // Builds the template, then initialises: the client rectangle becomes
    // the reference, the size grip is made and registered to move with
    // every edge, and the present size becomes the minimum size.
    explicit CResizeDlg(const DialogTemplate& dialogTemplate, QWidget* parent = nullptr);

    void HideSizeGrip();

    // A press of the left button on the background (not on a control nor
    // on the sizing border) moves the window with the mouse, as its title
    // bar would.
    void SetDraggable(bool draggable) { draggable_ = draggable; }

    // Registers control `id` with its edge modes, taking its present
    // rectangle. A second registration of an id replaces the first. Returns
    // false, registering nothing, when the dialog has no such control.
    bool AddControl(int id, EdgeModes modes, bool keepOutOfErase = false);

    // false fixes the window's width (height) at the minimum.
    void SetHorizontalResizing(bool enabled);
    void SetVerticalResizing(bool enabled);

    // The desktop's sizing request: the user is dragging this edge. The
    // next size change is laid out for it. Desktops that do not report the
    // edge are covered by inferring it from the old and new geometry.
    void ReportSizing(SizingEdge edge) { sizingEdge_ = edge; }
    SizingEdge PendingSizingEdge() const { return sizingEdge_; }

    const std::vector<LayoutRecord>& Records() const { return layout_.Records(); }
    QSize MinimumTrackSize() const { return {minimumWidth_, minimumHeight_}; }
    QRect PreviousClientRect() const { return previousClient_; }

    // The part of the dialog its erase paints: all but the visible
    // controls that are kept out of it.
    QRegion EraseRegion() const;

    QWidget* Control(int id) const;

    // Width of the band along the edges of a borderless window that resizes it.
    static constexpr int kSizingBorder = 5;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplySizeLimits();
    QRect ClientRectOnScreen() const;
    Qt::Edges BorderEdgesAt(QPoint position) const;
    bool IsBorderless() const;

    ResizeLayout layout_;
    QRect previousClient_;
    int minimumWidth_ = 32;
    int minimumHeight_ = 32;
    bool horizontalResizing_ = true;
    bool verticalResizing_ = true;
    SizingEdge sizingEdge_ = SizingEdge::None;
    QSizeGrip* sizeGrip_ = nullptr;
    bool draggable_ = false;
    bool moving_ = false;  // a background drag the dialog carries out itself
    QPoint moveOffset_;

    // A border drag the dialog carries out itself, where the desktop cannot.
    SizingEdge borderDrag_ = SizingEdge::None;
    QRect borderDragStart_;
    QPoint borderDragOrigin_;
};

}  // namespace ostrel
