#include "CResizeDlg.h"
#include "CSkinButton.h"

#include <QApplication>
#include <QSizeGrip>
#include <QTest>
#include <QWindow>

#include <memory>

using namespace ostrel;

Q_DECLARE_METATYPE(ostrel::SizingEdge)

namespace {

constexpr int kBrowser = 1008;
constexpr int kFind = 1;
constexpr int kClose = 2;

// Laid out as the report viewer: a browser area over two buttons.
DialogTemplate ViewerTemplate()
{
    return {137,
            QSize(403, 214),
            {},
            WindowStyle::SizingBorder,
            {{kBrowser, ControlKind::Custom, QRect(7, 7, 389, 177), {}, {}},
             {kFind, ControlKind::PushButton, QRect(240, 191, 66, 16), {}, ControlStyle::DefaultButton},
             {kClose, ControlKind::PushButton, QRect(326, 191, 66, 16), {}, {}}}};
}

std::unique_ptr<CResizeDlg> MakeViewer()
{
    auto dialog = std::make_unique<CResizeDlg>(ViewerTemplate());
    dialog->AddControl(kBrowser, EdgeModes::All(EdgeMode::Stretch), true);
    dialog->AddControl(kFind, EdgeModes::All(EdgeMode::Move), true);
    dialog->AddControl(kClose, EdgeModes::All(EdgeMode::Move), true);
    // Inside the 800 by 600 offscreen screen, which the grip keeps to.
    dialog->move(60, 40);
    return dialog;
}

void SendMouse(QWidget& widget, QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, widget.mapFromGlobal(global), global, button, held, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

// A press, a move and a release on `widget`, starting at `local`.
void Drag(QWidget& widget, QPoint local, QPoint by)
{
    const QPoint from = widget.mapToGlobal(local);
    SendMouse(widget, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseMove, from + by / 2, Qt::NoButton, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseMove, from + by, Qt::NoButton, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseButtonRelease, from + by, Qt::LeftButton, Qt::NoButton);
}

// The geometry after dragging `edge` outwards by dw across and dh down.
QRect Grown(QRect geometry, SizingEdge edge, int dw, int dh)
{
    const Qt::Edges edges = ResizeLayout::MovingEdges(edge);
    if (edges & Qt::LeftEdge)
        geometry.setLeft(geometry.left() - dw);
    if (edges & Qt::RightEdge)
        geometry.setRight(geometry.right() + dw);
    if (edges & Qt::TopEdge)
        geometry.setTop(geometry.top() - dh);
    if (edges & Qt::BottomEdge)
        geometry.setBottom(geometry.bottom() + dh);
    return geometry;
}

// A point on the dialog's own border for an edge or corner.
QPoint OnBorder(const QWidget& dialog, SizingEdge edge)
{
    const Qt::Edges edges = ResizeLayout::MovingEdges(edge);
    const int x = edges & Qt::LeftEdge ? 1 : edges & Qt::RightEdge ? dialog.width() - 2 : dialog.width() / 3;
    const int y = edges & Qt::TopEdge ? 1 : edges & Qt::BottomEdge ? dialog.height() - 2 : dialog.height() / 3;
    return {x, y};
}

}  // namespace

class CResizeDlgTest : public QObject {
    Q_OBJECT

private slots:
    void initialisation();
    void dragMovesTheControls_data();
    void dragMovesTheControls();
    void topEdgeMovesNothingAcross();
    void resizeByTheProgramMovesNothing();
    void windowKeepsItsMinimumSize_data();
    void windowKeepsItsMinimumSize();
    void widthAndHeightCanBeFixed();
    void registeringAgainKeepsOneRecord();
    void sizeGripCanBeHidden();
    void keptOutControlsAreNotErased();
};

void CResizeDlgTest::initialisation()
{
    const auto dialog = MakeViewer();
    QCOMPARE(dialog->size(), QSize(605, 348));
    QCOMPARE(dialog->MinimumTrackSize(), dialog->size());
    QCOMPARE(dialog->minimumSize(), dialog->size());

    auto* grip = qobject_cast<QSizeGrip*>(dialog->Control(CResizeDlg::kSizeGripId));
    QVERIFY(grip);
    QCOMPARE(grip->geometry().bottomRight(), dialog->rect().bottomRight());
    QVERIFY(!grip->isHidden());

    // The grip first, then the controls in the order they were registered.
    const auto& records = dialog->Records();
    QCOMPARE(records.size(), std::size_t{4});
    QCOMPARE(records[0].controlId, CResizeDlg::kSizeGripId);
    QCOMPARE(records[0].modes, EdgeModes::All(EdgeMode::Move));
    QCOMPARE(records[1].controlId, kBrowser);
    QCOMPARE(records[1].rect, QRect(11, 11, 584, 288));
    QCOMPARE(records[3].rect, dialog->Control(kClose)->geometry());
}

void CResizeDlgTest::dragMovesTheControls_data()
{
    QTest::addColumn<SizingEdge>("edge");
    QTest::addColumn<int>("dw");
    QTest::addColumn<int>("dh");
    QTest::addColumn<QString>("how");

    QTest::newRow("bottom-right, reported") << SizingEdge::BottomRight << 60 << 40 << "reported";
    QTest::newRow("bottom-right, by the grip") << SizingEdge::BottomRight << 60 << 40 << "grip";
    QTest::newRow("bottom-right, by the desktop") << SizingEdge::BottomRight << 60 << 40 << "desktop";
    QTest::newRow("bottom-right, by the border") << SizingEdge::BottomRight << 60 << 40 << "border";
    QTest::newRow("right, by the border") << SizingEdge::Right << 50 << 0 << "border";
    QTest::newRow("left, by the border") << SizingEdge::Left << 50 << 0 << "border";
    QTest::newRow("left, by the desktop") << SizingEdge::Left << 50 << 0 << "desktop";
    QTest::newRow("bottom, reported") << SizingEdge::Bottom << 0 << 35 << "reported";
    QTest::newRow("top, reported") << SizingEdge::Top << 0 << 30 << "reported";
    QTest::newRow("top, by the desktop") << SizingEdge::Top << 0 << 30 << "desktop";
    QTest::newRow("top-left, by the border") << SizingEdge::TopLeft << 40 << 30 << "border";
    QTest::newRow("bottom-left, by the desktop") << SizingEdge::BottomLeft << 40 << 30 << "desktop";
    QTest::newRow("top-right, reported") << SizingEdge::TopRight << 25 << 15 << "reported";
}

void CResizeDlgTest::dragMovesTheControls()
{
    QFETCH(SizingEdge, edge);
    QFETCH(int, dw);
    QFETCH(int, dh);
    QFETCH(QString, how);

    const auto dialog = MakeViewer();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    QWidget* browser = dialog->Control(kBrowser);
    QWidget* find = dialog->Control(kFind);
    QWidget* close = dialog->Control(kClose);
    const QRect browserBefore = browser->geometry();
    const QRect findBefore = find->geometry();
    const QRect closeBefore = close->geometry();
    const QRect target = Grown(dialog->geometry(), edge, dw, dh);

    if (how == QLatin1String("reported")) {
        dialog->ReportSizing(edge);
        dialog->setGeometry(target);
    } else if (how == QLatin1String("desktop")) {
        // The window system resizes the window without saying which edge.
        dialog->windowHandle()->setGeometry(target);
        QCoreApplication::processEvents();
    } else if (how == QLatin1String("grip")) {
        QWidget& grip = *dialog->Control(CResizeDlg::kSizeGripId);
        Drag(grip, grip.rect().center(), QPoint(dw, dh));
    } else {
        const Qt::Edges edges = ResizeLayout::MovingEdges(edge);
        const QPoint outwards(edges & Qt::LeftEdge ? -dw : dw, edges & Qt::TopEdge ? -dh : dh);
        Drag(*dialog, OnBorder(*dialog, edge), outwards);
    }
    QCOMPARE(dialog->geometry(), target);

    const Qt::Edges moving = ResizeLayout::MovingEdges(edge);
    const int across = moving & (Qt::LeftEdge | Qt::RightEdge) ? dw : 0;
    const int down = moving & (Qt::TopEdge | Qt::BottomEdge) ? dh : 0;
    QCOMPARE(browser->geometry(), browserBefore.adjusted(0, 0, across, down));
    QCOMPARE(find->geometry(), findBefore.translated(across, down));
    QCOMPARE(close->geometry(), closeBefore.translated(across, down));
    // Each keeps its distance to the window's right and bottom edges.
    QCOMPARE(dialog->width() - close->geometry().right(), dialog->MinimumTrackSize().width() - closeBefore.right());
    QCOMPARE(dialog->PendingSizingEdge(), SizingEdge::None);
    QCOMPARE(dialog->PreviousClientRect(), QRect(dialog->mapToGlobal(QPoint(0, 0)), dialog->size()));
}

void CResizeDlgTest::topEdgeMovesNothingAcross()
{
    const auto dialog = MakeViewer();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    QWidget* browser = dialog->Control(kBrowser);
    QWidget* close = dialog->Control(kClose);
    const QRect browserBefore = browser->geometry();
    const QRect closeBefore = close->geometry();

    // Reported as a top-edge drag, even though the width changed with it.
    dialog->ReportSizing(SizingEdge::Top);
    dialog->setGeometry(dialog->geometry().adjusted(0, -30, 50, 0));
    QCOMPARE(browser->geometry(), browserBefore.adjusted(0, 0, 0, 30));
    QCOMPARE(close->geometry(), closeBefore.translated(0, 30));
}

void CResizeDlgTest::resizeByTheProgramMovesNothing()
{
    const auto dialog = MakeViewer();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    QWidget* browser = dialog->Control(kBrowser);
    QWidget* close = dialog->Control(kClose);
    const QRect browserBefore = browser->geometry();
    const QRect closeBefore = close->geometry();

    dialog->resize(dialog->width() + 100, dialog->height() + 80);
    QCoreApplication::processEvents();
    QCOMPARE(browser->geometry(), browserBefore);
    QCOMPARE(close->geometry(), closeBefore);
    QCOMPARE(dialog->PreviousClientRect().size(), dialog->size());

    // The new size is the reference of the next drag.
    dialog->ReportSizing(SizingEdge::BottomRight);
    dialog->resize(dialog->width() + 10, dialog->height() + 5);
    QCOMPARE(browser->geometry(), browserBefore.adjusted(0, 0, 10, 5));
    QCOMPARE(close->geometry(), closeBefore.translated(10, 5));
}

void CResizeDlgTest::windowKeepsItsMinimumSize_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("by the program") << "program";
    QTest::newRow("by the grip") << "grip";
    QTest::newRow("by the left border") << "left border";
    QTest::newRow("by the top border") << "top border";
}

void CResizeDlgTest::windowKeepsItsMinimumSize()
{
    QFETCH(QString, how);
    const auto dialog = MakeViewer();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    const QRect start = dialog->geometry();
    const QRect browserBefore = dialog->Control(kBrowser)->geometry();

    if (how == QLatin1String("program")) {
        dialog->resize(200, 100);
    } else if (how == QLatin1String("grip")) {
        QWidget& grip = *dialog->Control(CResizeDlg::kSizeGripId);
        Drag(grip, grip.rect().center(), QPoint(-150, -90));
    } else if (how == QLatin1String("left border")) {
        Drag(*dialog, OnBorder(*dialog, SizingEdge::Left), QPoint(150, 0));
    } else {
        Drag(*dialog, OnBorder(*dialog, SizingEdge::Top), QPoint(0, 90));
    }
    QCOMPARE(dialog->geometry(), start);
    QCOMPARE(dialog->Control(kBrowser)->geometry(), browserBefore);
}

void CResizeDlgTest::widthAndHeightCanBeFixed()
{
    const auto dialog = MakeViewer();
    const QSize minimum = dialog->size();
    dialog->SetHorizontalResizing(false);
    QCOMPARE(dialog->maximumWidth(), minimum.width());
    dialog->resize(minimum + QSize(100, 50));
    QCOMPARE(dialog->size(), QSize(minimum.width(), minimum.height() + 50));

    dialog->SetHorizontalResizing(true);
    dialog->SetVerticalResizing(false);
    QCOMPARE(dialog->maximumHeight(), minimum.height());
    dialog->resize(minimum + QSize(100, 50));
    QCOMPARE(dialog->size(), QSize(minimum.width() + 100, minimum.height()));

    // A fixed direction offers no border to drag.
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    const QRect before = dialog->geometry();
    Drag(*dialog, OnBorder(*dialog, SizingEdge::Bottom), QPoint(0, 40));
    QCOMPARE(dialog->geometry(), before);
}

void CResizeDlgTest::registeringAgainKeepsOneRecord()
{
    const auto dialog = MakeViewer();
    const std::size_t count = dialog->Records().size();
    QVERIFY(dialog->AddControl(kBrowser, EdgeModes::All(EdgeMode::Move), false));
    QCOMPARE(dialog->Records().size(), count);
    QCOMPARE(dialog->Records()[1].controlId, kBrowser);
    QCOMPARE(dialog->Records()[1].modes, EdgeModes::All(EdgeMode::Move));
    QVERIFY(!dialog->Records()[1].keepOutOfErase);

    // The later registration is the one that counts.
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    QWidget* browser = dialog->Control(kBrowser);
    const QRect before = browser->geometry();
    dialog->ReportSizing(SizingEdge::BottomRight);
    dialog->resize(dialog->size() + QSize(20, 10));
    QCOMPARE(browser->geometry(), before.translated(20, 10));

    QVERIFY(!dialog->AddControl(4242, EdgeModes::All(EdgeMode::Move)));
    QCOMPARE(dialog->Records().size(), count);
}

void CResizeDlgTest::sizeGripCanBeHidden()
{
    const auto dialog = MakeViewer();
    dialog->show();
    QWidget* grip = dialog->Control(CResizeDlg::kSizeGripId);
    QVERIFY(grip->isVisible());
    dialog->HideSizeGrip();
    QVERIFY(!grip->isVisible());
    // Hidden, it still moves with the window, ready to be shown again.
    const QRect before = grip->geometry();
    dialog->ReportSizing(SizingEdge::BottomRight);
    dialog->resize(dialog->size() + QSize(30, 20));
    QCOMPARE(grip->geometry(), before.translated(30, 20));
}

void CResizeDlgTest::keptOutControlsAreNotErased()
{
    const auto dialog = MakeViewer();
    dialog->show();
    const QRect browser = dialog->Control(kBrowser)->geometry();
    const QRect grip = dialog->Control(CResizeDlg::kSizeGripId)->geometry();
    QRegion region = dialog->EraseRegion();
    QVERIFY(!region.intersects(browser));
    QVERIFY(!region.intersects(grip));
    QVERIFY(region.contains(QPoint(3, 3)));

    dialog->HideSizeGrip();
    dialog->Control(kBrowser)->hide();
    region = dialog->EraseRegion();
    QVERIFY(region.contains(grip));
    QVERIFY(region.contains(browser));

    // Without the flag a control is erased under like the rest.
    dialog->Control(kBrowser)->show();
    dialog->AddControl(kBrowser, EdgeModes::All(EdgeMode::Stretch), false);
    QVERIFY(dialog->EraseRegion().contains(browser));
    QVERIFY(!dialog->EraseRegion().intersects(dialog->Control(kClose)->geometry()));
}

QTEST_MAIN(CResizeDlgTest)
#include "CResizeDlgTest.moc"
