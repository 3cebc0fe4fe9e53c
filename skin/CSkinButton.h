#pragma once

#include <QColor>
#include <QCursor>
#include <QPixmap>
#include <QPushButton>

#include <optional>

namespace ostrel {

// A push button drawn from bitmaps: its caption is part of the pictures.
// It shows the normal picture at rest, the hover picture under the mouse,
// the pressed picture while pushed and the disabled picture while
// disabled, each copied unscaled from its top-left corner. Dragging off a
// pressed button releases it and a release outside sends no click; a
// press clears hover until the mouse moves again. The hand cursor 141
// shows over the button. Any text the button has is drawn over the
// picture, engraved while disabled. The caption the picture table gives the
// normal picture is the button's accessible name and tooltip. With the
// keyboard focus (after keyboard use) a ring marks the button; Space
// presses it. GUI thread only; owns its pictures.
class CSkinButton : public QPushButton {
    Q_OBJECT

public:
    enum class Picture { Normal, Pressed, Hover, Disabled, Face };

    static constexpr int kHandCursor = 141;

    explicit CSkinButton(const QString& text = {}, QWidget* parent = nullptr);
    explicit CSkinButton(QWidget* parent) : CSkinButton(QString(), parent) {}

    // Loads the pictures by resource number in the order normal, pressed,
    // hover, disabled; 0 stands for none. The pictures held before are
    // dropped. Without a disabled number the normal picture serves as the
    // disabled one.
    void SetBitmaps(int normal, int pressed, int hover = 0, int disabled = 0);

    // The picture the button shows in its present state; Face when the
    // state has no picture and the button is filled with the face colour.
    Picture CurrentPicture() const;
    bool IsHovered() const { return hover_; }
    bool IsPressing() const { return pressing_; }

    QSize sizeHint() const override;

protected:
    // The whole rectangle is the button, whatever the desktop style's bevel.
    bool hitButton(const QPoint& position) const override { return rect().contains(position); }
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    const QPixmap& PictureFor(Picture picture) const;
    void MeasureArt();
    void PaintFocusMark(QPainter& painter) const;

    std::optional<QCursor> cursor_;
    bool hover_ = false;
    bool pressing_ = false;
    QPixmap normal_;
    QPixmap pressed_;
    QPixmap disabled_;
    QPixmap hoverPicture_;
    QColor textColour_;
    QRect art_;              // where the pictures are opaque
    bool darkFace_ = false;  // a coloured face, on which the focus ring is white
};

}  // namespace ostrel
