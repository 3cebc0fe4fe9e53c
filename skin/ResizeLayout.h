#pragma once

#include <QRect>
#include <Qt>

#include <utility>
#include <vector>

namespace ostrel {

// What a control's edge does when the matching window edge is dragged.
enum class EdgeMode {
    Keep = 0,     // the control stays where it is
    Stretch = 1,  // the control's far edge (right or bottom) follows: it grows and shrinks
    Move = 2,     // both edges follow: the control keeps its size and its distance to the far edge
};

// Modes for the window's left, right, top and bottom edge.
struct EdgeModes {
    EdgeMode left = EdgeMode::Keep;
    EdgeMode right = EdgeMode::Keep;
    EdgeMode top = EdgeMode::Keep;
    EdgeMode bottom = EdgeMode::Keep;
    friend bool operator==(const EdgeModes&, const EdgeModes&) = default;

    static EdgeModes All(EdgeMode mode) { return {mode, mode, mode, mode}; }
};

// The edge or corner the user drags, as the desktop reports it.
enum class SizingEdge { None, Left, Right, Top, TopLeft, TopRight, Bottom, BottomLeft, BottomRight };

struct LayoutRecord {
    int controlId = 0;
    EdgeModes modes;
    bool keepOutOfErase = false;
    QRect rect;  // client coordinates, as after the last layout
};

// The layout of a resizable dialog without the widgets: one record per
// registered control, and the rule that moves them when the window's size
// changes under a dragged edge.
class ResizeLayout {
public:
    // Which window edges move when the user drags this edge or corner.
    static Qt::Edges MovingEdges(SizingEdge edge);

    // The edge or corner a drag must have used to turn `before` into
    // `after` (client rectangles on the screen), for desktops that do not
    // say. An edge that moved counts; where both edges of a direction moved
    // the far one (right, bottom) is taken, so controls keep to it.
    static SizingEdge InferSizingEdge(const QRect& before, const QRect& after);

    // The edge or corner for a set of window edges (from a mouse position).
    static SizingEdge FromEdges(Qt::Edges edges);

    // Where one control goes: the horizontal mode is the left edge's if the
    // left window edge moves and its mode is not Keep, else the right
    // edge's if the right window edge moves; likewise down.
    static QRect Place(const LayoutRecord& record, Qt::Edges moving, int dw, int dh);

    // Adds a record, or replaces the one with the same control id in place.
    void Register(const LayoutRecord& record);

    // Places every control for a size change of dw, dh with the given edges
    // moving. Returns the controls whose rectangle changed, in registration
    // order, with their new rectangles, which the records now hold.
    std::vector<std::pair<int, QRect>> Arrange(Qt::Edges moving, int dw, int dh);

    const std::vector<LayoutRecord>& Records() const { return records_; }
    const LayoutRecord* Find(int controlId) const;
    bool Empty() const { return records_.empty(); }

private:
    std::vector<LayoutRecord> records_;
};

}  // namespace ostrel
