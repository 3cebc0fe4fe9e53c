#include "CSkinButton.h"
#include "CSkinDialog.h"
#include "ColourKey.h"
#include "SkinResources.h"
#include "SkinTestSupport.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

using namespace ostrel;
using namespace ostrel::test;

Q_DECLARE_METATYPE(ostrel::ColourRule)

namespace {

DialogTemplate Plain(QSize units)
{
    return {159, units, QStringLiteral("Quillmere"), WindowStyle::None, {}};
}

// The message box: a text, an OK button and a group box.
DialogTemplate MessageBoxTemplate()
{
    return {159,
            QSize(244, 100),
            QStringLiteral("Quillmere"),
            WindowStyle::None,
            {{1056, ControlKind::Static, QRect(7, 60, 230, 33), QStringLiteral("Printed."), {}},
             {1, ControlKind::PushButton, QRect(170, 8, 66, 16), {}, ControlStyle::DefaultButton},
             {1060, ControlKind::Edit, QRect(7, 40, 60, 12), {}, {}},
             {kNoControlId, ControlKind::GroupBox, QRect(2, 30, 240, 68), QStringLiteral("Note"), {}}}};
}

// Counts the paint events of a widget and the area they covered.
class PaintCounter : public QObject {
public:
    int count = 0;
    QRegion painted;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++count;
            painted += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
};

// The pixels a region covers, set in an image of `size`.
QImage Covered(const QRegion& region, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setClipRegion(region);
    painter.fillRect(image.rect(), Qt::white);
    return image;
}

// How a dialog of `size` should look with `number` as its background:
// the bitmap from the top-left corner, the window colour beyond it.
QImage Expected(int number, QSize size, QColor face)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(face);
    QPainter painter(&image);
    painter.drawPixmap(QPoint(0, 0), SkinResources::Bitmap(number));
    return image;
}

QImage Shown(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class CSkinDialogTest : public QObject {
    Q_OBJECT

private slots:
    void backgroundIsPaintedUnscaledFromTheTopLeft_data();
    void backgroundIsPaintedUnscaledFromTheTopLeft();
    void missingBitmapLeavesAWorkingDialog();
    void unreadableBitmapFails();
    void newBackgroundReplacesTheOldAndRepaints();
    void resizeRepaintsTheWholeBackground();

    void colourRule_data();
    void colourRule();
    void hollowPageShowsTheWindowPictureBehind();

    void maskExcludesExactlyTheKeyPixels_data();
    void maskExcludesExactlyTheKeyPixels();
    void visibleRegionOfAPicture_data();
    void visibleRegionOfAPicture();
    void shapeFollowsTheBackgroundAndTheSize();

    void dragByTheBackground_data();
    void dragByTheBackground();
};

void CSkinDialogTest::backgroundIsPaintedUnscaledFromTheTopLeft_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QSize>("units");
    QTest::newRow("message box picture, larger than its window") << 210 << QSize(244, 100);
    QTest::newRow("picture narrower than the window") << 214 << QSize(244, 100);
    QTest::newRow("main window") << 151 << QSize(390, 247);
}

void CSkinDialogTest::backgroundIsPaintedUnscaledFromTheTopLeft()
{
    QFETCH(int, number);
    QFETCH(QSize, units);
    CSkinDialog dialog(Plain(units));
    QVERIFY(dialog.SetBackgroundBitmap(number));
    QVERIFY(dialog.HasBackground());
    const QPixmap bitmap = SkinResources::Bitmap(number);
    QCOMPARE(dialog.BitmapWidth(), bitmap.width());
    QCOMPARE(dialog.BitmapHeight(), bitmap.height());
    QCOMPARE(Shown(dialog), Expected(number, dialog.size(), dialog.palette().color(QPalette::Window)));
}

void CSkinDialogTest::missingBitmapLeavesAWorkingDialog()
{
    CSkinDialog dialog(MessageBoxTemplate());
    QVERIFY(dialog.SetBackgroundBitmap(210));
    QVERIFY(dialog.SetBackgroundBitmap(9999));
    QVERIFY(!dialog.HasBackground());
    QCOMPARE(dialog.BitmapWidth(), 0);
    QCOMPARE(dialog.BitmapHeight(), 0);

    // The desktop's face, and the dialog answers its button.
    const QImage shown = Shown(dialog);
    const QRgb face = dialog.palette().color(QPalette::Window).rgb();
    QCOMPARE(shown.pixel(dialog.width() - 2, 2), face);
    QCOMPARE(shown.pixel(2, dialog.height() - 2), face);

    CSkinButton* ok = dialog.Button(1);
    QVERIFY(ok);
    connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    dialog.open();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());
}

void CSkinDialogTest::unreadableBitmapFails()
{
    CSkinDialog dialog(Plain(QSize(244, 100)));
    QVERIFY(dialog.SetBackgroundBitmap(210));
    QVERIFY(SkinResources::HasBitmap(9990));
    QVERIFY(!dialog.SetBackgroundBitmap(9990));
    QVERIFY(!dialog.HasBackground());
    QCOMPARE(dialog.BitmapWidth(), 0);
    QVERIFY(!SkinResources::HasBitmap(9999));
}

void CSkinDialogTest::newBackgroundReplacesTheOldAndRepaints()
{
    CSkinDialog dialog(Plain(QSize(244, 100)));
    QVERIFY(dialog.SetBackgroundBitmap(210));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCoreApplication::processEvents();

    PaintCounter counter;
    dialog.installEventFilter(&counter);
    QVERIFY(dialog.SetBackgroundBitmap(214));
    QCoreApplication::processEvents();
    QVERIFY(counter.count > 0);
    QCOMPARE(counter.painted, QRegion(dialog.rect()));
    QCOMPARE(dialog.BitmapWidth(), 290);
    QCOMPARE(Shown(dialog), Expected(214, dialog.size(), dialog.palette().color(QPalette::Window)));
}

void CSkinDialogTest::resizeRepaintsTheWholeBackground()
{
    DialogTemplate growing = Plain(QSize(200, 80));
    growing.styles = WindowStyle::SizingBorder;
    CSkinDialog dialog(growing);
    QVERIFY(dialog.SetBackgroundBitmap(151));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCoreApplication::processEvents();

    PaintCounter counter;
    dialog.installEventFilter(&counter);
    dialog.resize(dialog.width() + 60, dialog.height() + 40);
    QCoreApplication::processEvents();
    QVERIFY(counter.count > 0);
    QCOMPARE(counter.painted, QRegion(dialog.rect()));
    QCOMPARE(Shown(dialog), Expected(151, dialog.size(), dialog.palette().color(QPalette::Window)));
}

void CSkinDialogTest::colourRule_data()
{
    QTest::addColumn<ColourRule>("rule");
    QTest::addColumn<bool>("filled");
    QTest::newRow("pages: hollow, grey text") << ColourRule::Pages() << false;
    QTest::newRow("white face, black text") << ColourRule::WhiteFace() << true;
    QTest::newRow("desktop colours") << ColourRule{} << false;
}

void CSkinDialogTest::colourRule()
{
    QFETCH(ColourRule, rule);
    QFETCH(bool, filled);

    const QPalette desktop = QApplication::palette();
    CSkinDialog dialog(MessageBoxTemplate());
    dialog.SetColourRule(rule);
    dialog.show();
    auto* late = new QLabel(QStringLiteral("added later"), &dialog);
    late->show();

    const QColor staticText = rule.staticText.value_or(desktop.color(QPalette::WindowText));
    for (QLabel* label : {qobject_cast<QLabel*>(dialog.Control(1056)), late}) {
        QVERIFY(label);
        QCOMPARE(label->palette().color(QPalette::WindowText), staticText);
        QVERIFY(!label->autoFillBackground());
    }
    QCOMPARE(dialog.autoFillBackground(), filled);
    if (rule.face)
        QCOMPARE(dialog.palette().color(QPalette::Window), *rule.face);

    // Other controls keep the desktop's colours.
    auto* edit = qobject_cast<QLineEdit*>(dialog.Control(1060));
    QCOMPARE(edit->palette().color(QPalette::Text), desktop.color(QPalette::Text));
    const auto* box = dialog.findChild<QGroupBox*>();
    if (!rule.face)
        QCOMPARE(box->palette().color(QPalette::WindowText), desktop.color(QPalette::WindowText));
}

void CSkinDialogTest::hollowPageShowsTheWindowPictureBehind()
{
    CSkinDialog window(Plain(QSize(390, 247)));
    QVERIFY(window.SetBackgroundBitmap(151));
    auto* page = new CSkinDialog(
        {140,
         QSize(279, 167),
         {},
         WindowStyle::Child,
         {{kNoControlId, ControlKind::Static, QRect(50, 54, 0, 0), QStringLiteral("Application Status:"), {}}}},
        &window);
    page->SetColourRule(ColourRule::Pages());
    page->move(160, 80);
    window.show();

    const QImage shown = Shown(window);
    const QImage picture = Expected(151, window.size(), Qt::black);
    const QRect text = page->findChild<QLabel*>()->geometry().translated(page->pos());
    int darkest = 255;
    for (int y = page->y(); y < page->y() + page->height(); ++y) {
        for (int x = page->x(); x < page->x() + page->width(); ++x) {
            if (!text.contains(x, y)) {
                QCOMPARE(shown.pixel(x, y), picture.pixel(x, y));
                continue;
            }
            const QRgb pixel = shown.pixel(x, y);
            darkest = std::min(darkest, qGreen(pixel));
            QCOMPARE(qRed(pixel), qGreen(pixel));  // grey text on the white page area
        }
    }
    // Grey 80, not the desktop's black.
    QVERIFY2(darkest >= 70 && darkest <= 150, qPrintable(QString::number(darkest)));
}

void CSkinDialogTest::maskExcludesExactlyTheKeyPixels_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QSize>("units");
    QTest::newRow("main window 151") << 151 << QSize(390, 247);
    QTest::newRow("e-mail settings 214") << 214 << QSize(193, 267);
    QTest::newRow("window larger than its picture") << 214 << QSize(250, 300);
}

void CSkinDialogTest::maskExcludesExactlyTheKeyPixels()
{
    QFETCH(int, number);
    QFETCH(QSize, units);
    CSkinDialog dialog(Plain(units));
    QVERIFY(dialog.SetBackgroundBitmap(number));
    QVERIFY(dialog.mask().isEmpty());
    dialog.ShapeByColourKey();
    QVERIFY(dialog.IsShaped());

    const QImage covered = Covered(dialog.mask(), dialog.size());
    const QImage picture = SkinResources::Bitmap(number).toImage().convertToFormat(QImage::Format_ARGB32);
    int cut = 0;
    for (int y = 0; y < dialog.height(); ++y) {
        for (int x = 0; x < dialog.width(); ++x) {
            const bool key = picture.rect().contains(x, y) && picture.pixel(x, y) == ColourKey::kRgb;
            cut += key ? 1 : 0;
            if ((covered.pixel(x, y) == qRgb(255, 255, 255)) == key)
                QFAIL(qPrintable(
                    QStringLiteral("pixel %1,%2 is %3 the window").arg(x).arg(y).arg(key ? "in" : "not in")));
        }
    }
    QVERIFY(cut > 0);
}

void CSkinDialogTest::visibleRegionOfAPicture_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QSize>("area");
    QTest::addColumn<QRegion>("visible");

    // One row of pixels: the key, two near misses, a translucent key, the key.
    QImage row(5, 1, QImage::Format_ARGB32);
    row.setPixel(0, 0, ColourKey::kRgb);
    row.setPixel(1, 0, qRgb(229, 27, 254));
    row.setPixel(2, 0, qRgb(228, 27, 255));
    row.setPixel(3, 0, qRgba(229, 27, 255, 128));
    row.setPixel(4, 0, ColourKey::kRgb);
    QTest::newRow("only exact key pixels are cut") << row << QSize(5, 1) << QRegion(1, 0, 3, 1);
    QTest::newRow("beyond the picture the window stays")
        << row << QSize(7, 2) << (QRegion(0, 0, 7, 2) - QRegion(0, 0, 1, 1) - QRegion(4, 0, 1, 1));
    QTest::newRow("window smaller than the picture") << row << QSize(2, 1) << QRegion(1, 0, 1, 1);
    QTest::newRow("no picture") << QImage() << QSize(4, 3) << QRegion(0, 0, 4, 3);
    QImage rgb(2, 2, QImage::Format_RGB32);
    rgb.fill(ColourKey::Colour());
    rgb.setPixel(1, 1, qRgb(0, 0, 0));
    QTest::newRow("opaque picture") << rgb << QSize(2, 2) << QRegion(1, 1, 1, 1);
}

void CSkinDialogTest::visibleRegionOfAPicture()
{
    QFETCH(QImage, picture);
    QFETCH(QSize, area);
    QFETCH(QRegion, visible);
    QCOMPARE(ColourKey::VisibleRegion(picture, area), visible);
}

void CSkinDialogTest::shapeFollowsTheBackgroundAndTheSize()
{
    DialogTemplate growing = Plain(QSize(193, 267));
    growing.styles = WindowStyle::SizingBorder;
    CSkinDialog dialog(growing);
    dialog.show();
    dialog.ShapeByColourKey();
    QVERIFY(dialog.mask().isEmpty());  // nothing to cut yet

    QVERIFY(dialog.SetBackgroundBitmap(214));
    const auto expected = [&](int number) {
        return ColourKey::VisibleRegion(SkinResources::Bitmap(number).toImage(), dialog.size());
    };
    QCOMPARE(dialog.mask(), expected(214));

    QVERIFY(dialog.SetBackgroundBitmap(151));
    QCOMPARE(dialog.mask(), expected(151));

    dialog.resize(700, 500);
    QCOMPARE(dialog.mask(), expected(151));
    QVERIFY(dialog.mask().contains(QPoint(650, 450)));

    QVERIFY(dialog.SetBackgroundBitmap(9999));
    QVERIFY(dialog.mask().isEmpty());
}

void CSkinDialogTest::dragByTheBackground_data()
{
    QTest::addColumn<bool>("draggable");
    QTest::addColumn<int>("target");  // 0: the background, else a control id
    QTest::addColumn<QPoint>("moved");
    QTest::newRow("background") << true << 0 << QPoint(40, 25);
    QTest::newRow("static text lets the press through") << true << 1056 << QPoint(40, 25);
    QTest::newRow("a button is no background") << true << 1 << QPoint(0, 0);
    QTest::newRow("not draggable") << false << 0 << QPoint(0, 0);
}

void CSkinDialogTest::dragByTheBackground()
{
    QFETCH(bool, draggable);
    QFETCH(int, target);
    QFETCH(QPoint, moved);

    CSkinDialog dialog(MessageBoxTemplate());
    QVERIFY(dialog.SetBackgroundBitmap(210));
    dialog.SetDraggable(draggable);
    dialog.move(100, 100);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QPoint start = dialog.pos();

    QWidget& pressed = target == 0 ? static_cast<QWidget&>(dialog) : *dialog.Control(target);
    const QPoint at = target == 0 ? QPoint(4, dialog.height() - 4) : QPoint(3, 3);
    const QPoint global = pressed.mapToGlobal(at);
    const auto send = [&](QEvent::Type type, QPoint where, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, pressed.mapFromGlobal(where), where, button, held, Qt::NoModifier);
        QApplication::sendEvent(&pressed, &event);
    };
    send(QEvent::MouseButtonPress, global, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, global + QPoint(20, 10), Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseMove, global + QPoint(40, 25), Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, global + QPoint(40, 25), Qt::LeftButton, Qt::NoButton);
    // After the release the window stays put.
    send(QEvent::MouseMove, global + QPoint(90, 90), Qt::NoButton, Qt::NoButton);
    QCOMPARE(dialog.pos(), start + moved);
}

QTEST_MAIN(CSkinDialogTest)
#include "CSkinDialogTest.moc"
