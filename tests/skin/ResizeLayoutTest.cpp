#include "ResizeLayout.h"

#include <QTest>

using namespace ostrel;

Q_DECLARE_METATYPE(ostrel::SizingEdge)
Q_DECLARE_METATYPE(ostrel::EdgeModes)
Q_DECLARE_METATYPE(Qt::Edges)

namespace {

EdgeModes Modes(int left, int right, int top, int bottom)
{
    return {static_cast<EdgeMode>(left), static_cast<EdgeMode>(right), static_cast<EdgeMode>(top),
            static_cast<EdgeMode>(bottom)};
}

}  // namespace

class ResizeLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void movingEdges_data();
    void movingEdges();
    void inferSizingEdge_data();
    void inferSizingEdge();
    void place_data();
    void place();
    void registrationReplacesInPlace();
    void arrangeReportsOnlyChangedControls();
};

void ResizeLayoutTest::movingEdges_data()
{
    QTest::addColumn<SizingEdge>("edge");
    QTest::addColumn<Qt::Edges>("moving");
    QTest::newRow("left") << SizingEdge::Left << Qt::Edges(Qt::LeftEdge);
    QTest::newRow("right") << SizingEdge::Right << Qt::Edges(Qt::RightEdge);
    QTest::newRow("top") << SizingEdge::Top << Qt::Edges(Qt::TopEdge);
    QTest::newRow("top-left") << SizingEdge::TopLeft << (Qt::TopEdge | Qt::LeftEdge);
    QTest::newRow("top-right") << SizingEdge::TopRight << (Qt::TopEdge | Qt::RightEdge);
    QTest::newRow("bottom") << SizingEdge::Bottom << Qt::Edges(Qt::BottomEdge);
    QTest::newRow("bottom-left") << SizingEdge::BottomLeft << (Qt::BottomEdge | Qt::LeftEdge);
    QTest::newRow("bottom-right") << SizingEdge::BottomRight << (Qt::BottomEdge | Qt::RightEdge);
    QTest::newRow("none") << SizingEdge::None << Qt::Edges();
}

void ResizeLayoutTest::movingEdges()
{
    QFETCH(SizingEdge, edge);
    QFETCH(Qt::Edges, moving);
    QCOMPARE(ResizeLayout::MovingEdges(edge), moving);
    // Reading the edges back gives the same edge or corner.
    QCOMPARE(ResizeLayout::FromEdges(moving), edge);
}

void ResizeLayoutTest::inferSizingEdge_data()
{
    QTest::addColumn<QRect>("before");
    QTest::addColumn<QRect>("after");
    QTest::addColumn<SizingEdge>("edge");
    const QRect window(100, 100, 600, 350);
    QTest::newRow("right edge") << window << window.adjusted(0, 0, 40, 0) << SizingEdge::Right;
    QTest::newRow("left edge") << window << window.adjusted(-40, 0, 0, 0) << SizingEdge::Left;
    QTest::newRow("bottom edge") << window << window.adjusted(0, 0, 0, 25) << SizingEdge::Bottom;
    QTest::newRow("top edge") << window << window.adjusted(0, -25, 0, 0) << SizingEdge::Top;
    QTest::newRow("bottom-right corner") << window << window.adjusted(0, 0, 40, 25) << SizingEdge::BottomRight;
    QTest::newRow("top-left corner") << window << window.adjusted(-40, -25, 0, 0) << SizingEdge::TopLeft;
    QTest::newRow("top-right corner") << window << window.adjusted(0, -25, 40, 0) << SizingEdge::TopRight;
    QTest::newRow("bottom-left corner") << window << window.adjusted(-40, 0, 0, 25) << SizingEdge::BottomLeft;
    QTest::newRow("shrunk from the right") << window << window.adjusted(0, 0, -30, 0) << SizingEdge::Right;
    QTest::newRow("both sides: the far one") << window << window.adjusted(-10, -10, 10, 10) << SizingEdge::BottomRight;
    QTest::newRow("unchanged") << window << window << SizingEdge::None;
}

void ResizeLayoutTest::inferSizingEdge()
{
    QFETCH(QRect, before);
    QFETCH(QRect, after);
    QFETCH(SizingEdge, edge);
    QCOMPARE(ResizeLayout::InferSizingEdge(before, after), edge);
}

void ResizeLayoutTest::place_data()
{
    QTest::addColumn<EdgeModes>("modes");
    QTest::addColumn<Qt::Edges>("moving");
    QTest::addColumn<QRect>("placed");

    // Starting from 10,10 100 by 50; the window grows by 30 by 20.
    const Qt::Edges right = Qt::RightEdge;
    const Qt::Edges bottomRight = Qt::BottomEdge | Qt::RightEdge;
    QTest::newRow("stretch, bottom-right") << Modes(1, 1, 1, 1) << bottomRight << QRect(10, 10, 130, 70);
    QTest::newRow("move, bottom-right") << Modes(2, 2, 2, 2) << bottomRight << QRect(40, 30, 100, 50);
    QTest::newRow("keep, bottom-right") << Modes(0, 0, 0, 0) << bottomRight << QRect(10, 10, 100, 50);
    QTest::newRow("right edge moves only across") << Modes(2, 2, 2, 2) << right << QRect(40, 10, 100, 50);
    QTest::newRow("top edge: nothing across") << Modes(1, 1, 1, 1) << Qt::Edges(Qt::TopEdge) << QRect(10, 10, 100, 70);
    QTest::newRow("left edge with a move mode")
        << Modes(2, 0, 0, 0) << Qt::Edges(Qt::LeftEdge) << QRect(40, 10, 100, 50);
    QTest::newRow("left edge, right mode ignored")
        << Modes(0, 2, 0, 0) << Qt::Edges(Qt::LeftEdge) << QRect(10, 10, 100, 50);
    QTest::newRow("left mode wins when both move")
        << Modes(1, 2, 0, 0) << (Qt::LeftEdge | Qt::RightEdge) << QRect(10, 10, 130, 50);
    QTest::newRow("left mode keep falls back to right")
        << Modes(0, 2, 0, 0) << (Qt::LeftEdge | Qt::RightEdge) << QRect(40, 10, 100, 50);
    QTest::newRow("top mode keep falls back to bottom")
        << Modes(0, 0, 0, 1) << (Qt::TopEdge | Qt::BottomEdge) << QRect(10, 10, 100, 70);
    QTest::newRow("mixed: stretch across, move down") << Modes(1, 1, 2, 2) << bottomRight << QRect(10, 30, 130, 50);
}

void ResizeLayoutTest::place()
{
    QFETCH(EdgeModes, modes);
    QFETCH(Qt::Edges, moving);
    QFETCH(QRect, placed);
    const LayoutRecord record{1008, modes, false, QRect(10, 10, 100, 50)};
    QCOMPARE(ResizeLayout::Place(record, moving, 30, 20), placed);
}

void ResizeLayoutTest::registrationReplacesInPlace()
{
    ResizeLayout layout;
    layout.Register({50, EdgeModes::All(EdgeMode::Move), true, QRect(1, 1, 5, 5)});
    layout.Register({1008, EdgeModes::All(EdgeMode::Stretch), false, QRect(2, 2, 5, 5)});
    layout.Register({1, EdgeModes::All(EdgeMode::Move), false, QRect(3, 3, 5, 5)});
    layout.Register({1008, EdgeModes::All(EdgeMode::Move), true, QRect(4, 4, 5, 5)});

    const auto& records = layout.Records();
    QCOMPARE(records.size(), std::size_t{3});
    QCOMPARE(records[1].controlId, 1008);
    QCOMPARE(records[1].modes, EdgeModes::All(EdgeMode::Move));
    QVERIFY(records[1].keepOutOfErase);
    QCOMPARE(records[1].rect, QRect(4, 4, 5, 5));
    QCOMPARE(records[2].controlId, 1);
    QVERIFY(layout.Find(1008));
    QVERIFY(!layout.Find(7));
}

void ResizeLayoutTest::arrangeReportsOnlyChangedControls()
{
    ResizeLayout layout;
    layout.Register({1008, EdgeModes::All(EdgeMode::Stretch), false, QRect(10, 10, 580, 280)});
    layout.Register({1000, EdgeModes::All(EdgeMode::Keep), false, QRect(10, 300, 50, 10)});
    layout.Register({2, EdgeModes::All(EdgeMode::Move), false, QRect(490, 300, 99, 26)});

    const auto changed = layout.Arrange(Qt::BottomEdge | Qt::RightEdge, 60, 40);
    QCOMPARE(changed.size(), std::size_t{2});
    QCOMPARE(changed[0], std::make_pair(1008, QRect(10, 10, 640, 320)));
    QCOMPARE(changed[1], std::make_pair(2, QRect(550, 340, 99, 26)));
    // The records hold the new places, so a second drag goes on from there.
    QCOMPARE(layout.Find(1008)->rect, QRect(10, 10, 640, 320));
    QCOMPARE(layout.Arrange(Qt::BottomEdge, 0, 10).size(), std::size_t{2});
    QCOMPARE(layout.Find(2)->rect, QRect(550, 350, 99, 26));
    QVERIFY(layout.Arrange(Qt::Edges(), 60, 40).empty());
}

QTEST_GUILESS_MAIN(ResizeLayoutTest)
#include "ResizeLayoutTest.moc"
