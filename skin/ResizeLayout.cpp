#include "ResizeLayout.h"

#include <algorithm>

namespace ostrel {

Qt::Edges ResizeLayout::MovingEdges(SizingEdge edge)
{
    switch (edge) {
    case SizingEdge::Left: return Qt::LeftEdge;
    case SizingEdge::Right: return Qt::RightEdge;
    case SizingEdge::Top: return Qt::TopEdge;
    case SizingEdge::TopLeft: return Qt::TopEdge | Qt::LeftEdge;
    case SizingEdge::TopRight: return Qt::TopEdge | Qt::RightEdge;
    case SizingEdge::Bottom: return Qt::BottomEdge;
    case SizingEdge::BottomLeft: return Qt::BottomEdge | Qt::LeftEdge;
    case SizingEdge::BottomRight: return Qt::BottomEdge | Qt::RightEdge;
    case SizingEdge::None: break;
    }
    return {};
}

SizingEdge ResizeLayout::FromEdges(Qt::Edges edges)
{
    const bool left = edges.testFlag(Qt::LeftEdge);
    const bool right = edges.testFlag(Qt::RightEdge) && !left;
    const bool top = edges.testFlag(Qt::TopEdge);
    const bool bottom = edges.testFlag(Qt::BottomEdge) && !top;
    if (top)
        return left ? SizingEdge::TopLeft : right ? SizingEdge::TopRight : SizingEdge::Top;
    if (bottom)
        return left ? SizingEdge::BottomLeft : right ? SizingEdge::BottomRight : SizingEdge::Bottom;
    return left ? SizingEdge::Left : right ? SizingEdge::Right : SizingEdge::None;
}

SizingEdge ResizeLayout::InferSizingEdge(const QRect& before, const QRect& after)
{
    Qt::Edges edges;
    if (after.right() != before.right())
        edges |= Qt::RightEdge;
    else if (after.left() != before.left())
        edges |= Qt::LeftEdge;
    if (after.bottom() != before.bottom())
        edges |= Qt::BottomEdge;
    else if (after.top() != before.top())
        edges |= Qt::TopEdge;
    return FromEdges(edges);
}

QRect ResizeLayout::Place(const LayoutRecord& record, Qt::Edges moving, int dw, int dh)
{
    EdgeMode horizontal = EdgeMode::Keep;
    if (moving.testFlag(Qt::LeftEdge) && record.modes.left != EdgeMode::Keep)
        horizontal = record.modes.left;
    else if (moving.testFlag(Qt::RightEdge))
        horizontal = record.modes.right;

    EdgeMode vertical = EdgeMode::Keep;
    if (moving.testFlag(Qt::TopEdge) && record.modes.top != EdgeMode::Keep)
        vertical = record.modes.top;
    else if (moving.testFlag(Qt::BottomEdge))
        vertical = record.modes.bottom;

    QRect placed = record.rect;
    if (horizontal == EdgeMode::Stretch)
        placed.setRight(placed.right() + dw);
    else if (horizontal == EdgeMode::Move)
        placed.translate(dw, 0);
    if (vertical == EdgeMode::Stretch)
        placed.setBottom(placed.bottom() + dh);
    else if (vertical == EdgeMode::Move)
        placed.translate(0, dh);
    return placed;
}

void ResizeLayout::Register(const LayoutRecord& record)
{
    const auto it = std::find_if(records_.begin(), records_.end(),
                                 [&](const LayoutRecord& known) { return known.controlId == record.controlId; });
    if (it != records_.end())
        *it = record;
    else
        records_.push_back(record);
}

std::vector<std::pair<int, QRect>> ResizeLayout::Arrange(Qt::Edges moving, int dw, int dh)
{
    std::vector<std::pair<int, QRect>> changed;
    for (LayoutRecord& record : records_) {
        const QRect placed = Place(record, moving, dw, dh);
        if (placed == record.rect)
            continue;
        record.rect = placed;
        changed.emplace_back(record.controlId, placed);
    }
    return changed;
}

const LayoutRecord* ResizeLayout::Find(int controlId) const
{
    const auto it = std::find_if(records_.begin(), records_.end(),
                                 [&](const LayoutRecord& record) { return record.controlId == controlId; });
    return it == records_.end() ? nullptr : &*it;
}

}  // namespace ostrel
