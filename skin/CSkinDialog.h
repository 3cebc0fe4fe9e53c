#pragma once

#include "ColourRule.h"
#include "DialogTemplate.h"

#include <QDialog>
#include <QImage>
#include <QPixmap>

namespace ostrel {

class CSkinButton;

// A dialog that wears a picture instead of the desktop's face: the
// background bitmap is painted unscaled at the top-left corner, static
// texts lie on it in the colours of the dialog's colour rule, and a
// free-floating dialog can take the picture's outline (every pixel in the
// colour key is cut out of the window) and be dragged by its background.
// GUI thread only; owns its bitmap.
class CSkinDialog : public QDialog {
    Q_OBJECT

public:
    explicit CSkinDialog(const DialogTemplate& dialogTemplate, QWidget* parent = nullptr);

    // Shows the bitmap with this resource number as the background and
    // repaints. A number with no bitmap leaves the dialog without one, on
    // the desktop's face; that still counts as success. Fails only when the
    // bitmap exists but cannot be read, and then holds no bitmap either.
    bool SetBackgroundBitmap(int number);
    bool HasBackground() const { return !background_.isNull(); }
    const QPixmap& Background() const { return background_; }
    int BitmapWidth() const { return bitmapWidth_; }
    int BitmapHeight() const { return bitmapHeight_; }

    void SetColourRule(const ColourRule& rule);
    const ColourRule& Rule() const { return rule_; }

    // From now on the window's outline follows its background: the
    // key-coloured pixels are masked out of the window. The mask works on
    // every desktop, composited or not, and lets clicks through the cut-out.
    void ShapeByColourKey();
    bool IsShaped() const { return shaped_; }

    // A press of the left button on the background (not on a control)
    // moves the window with the mouse, as its title bar would.
    void SetDraggable(bool draggable) { draggable_ = draggable; }

    QWidget* Control(int id) const;
    CSkinButton* Button(int id) const;

protected:
    bool event(QEvent* event) override;
    // A page inside another window leaves Enter and Escape to that window,
    // as a child dialog of the dialog manager does: it never closes itself.
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ApplyRule(QWidget& widget) const;
    void UpdateShape();
    QImage ShapePicture() const;

    QPixmap background_;
    int bitmapWidth_ = 0;
    int bitmapHeight_ = 0;
    ColourRule rule_;
    bool shaped_ = false;
    bool draggable_ = false;
    bool dragging_ = false;
    QPoint dragOffset_;
};

}  // namespace ostrel
