#include "ColourKey.h"
#include "DialogUnits.h"
#include "PicturePainter.h"
#include "PictureTable.h"
#include "SkinLook.h"
#include "SkinResources.h"

#include <QTest>

#include <cstdlib>

using namespace ostrel;

namespace {

PictureTable EmbeddedTable()
{
    auto parsed = PictureTable::Parse(SkinResources::PictureTableText());
    if (!parsed.table)
        qFatal("the embedded picture table does not parse: %s", qPrintable(parsed.error));
    return std::move(*parsed.table);
}

QImage Opaque(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

class SkinPicturesTest : public QObject {
    Q_OBJECT

private slots:
    void tableParses_data();
    void tableParses();
    void tableRejects_data();
    void tableRejects();

    void everyNamedNumberIsInTheTable_data();
    void everyNamedNumberIsInTheTable();
    void everyPictureIsEmbeddedAtItsSize();
    void pictureFitsItsControl_data();
    void pictureFitsItsControl();
    void shapedBackgroundsHaveAnExactKeyBorder_data();
    void shapedBackgroundsHaveAnExactKeyBorder();
    void otherPicturesNeverUseTheKey();
    void pressedPicturesDifferFromNormalOnes();
    void cursorHotSpotIsOnTheHand();
    void embeddedPicturesAreWhatThePainterDraws();
};

void SkinPicturesTest::tableParses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("number");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("role");
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QStringList>("caption");

    QTest::newRow("one button") << "174 99x26 button-normal success Start" << 1 << 174 << QSize(99, 26)
                                << "button-normal"
                                << "success" << QStringList{"Start"};
    QTest::newRow("comments and blank lines")
        << "# pictures\n\n  # indented comment\n185 99x26 button-pressed accent Show\n"
        << 1 << 185 << QSize(99, 26) << "button-pressed"
        << "accent" << QStringList{"Show"};
    QTest::newRow("two-line caption with blanks")
        << "183 101x26 button-normal accent Default Printer|Monitoring" << 1 << 183 << QSize(101, 26) << "button-normal"
        << "accent" << QStringList{"Default Printer", "Monitoring"};
    QTest::newRow("no variant, no caption") << "152 144x296 page-bar - -" << 1 << 152 << QSize(144, 296) << "page-bar"
                                            << "" << QStringList{};
    QTest::newRow("several rows") << "230 128x128 icon monitoring -\n141 32x32 cursor hand -" << 2 << 141
                                  << QSize(32, 32) << "cursor"
                                  << "hand" << QStringList{};
}

void SkinPicturesTest::tableParses()
{
    QFETCH(QString, text);
    QFETCH(int, count);
    QFETCH(int, number);
    QFETCH(QSize, size);
    QFETCH(QString, role);
    QFETCH(QString, variant);
    QFETCH(QStringList, caption);

    const auto parsed = PictureTable::Parse(text);
    QVERIFY2(parsed.table.has_value(), qPrintable(parsed.error));
    QCOMPARE(static_cast<int>(parsed.table->Pictures().size()), count);
    const PictureRow* row = parsed.table->Find(number);
    QVERIFY(row);
    QCOMPARE(row->size, size);
    QCOMPARE(RoleName(row->role), role);
    QCOMPARE(row->variant, variant);
    QCOMPARE(row->captionLines, caption);
}

void SkinPicturesTest::tableRejects_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");
    QTest::newRow("too few fields") << "174 99x26 button-normal"
                                    << "line 1: expected";
    QTest::newRow("unknown role") << "# x\n174 99x26 knob accent Start"
                                  << "line 2: unknown role";
    QTest::newRow("size without x") << "174 99-26 button-normal accent Start"
                                    << "line 1: bad size";
    QTest::newRow("empty size") << "174 0x26 button-normal accent Start"
                                << "line 1: bad size";
    QTest::newRow("number not a number") << "17a 99x26 button-normal accent Start"
                                         << "line 1: bad number";
    QTest::newRow("number twice") << "174 99x26 button-normal accent Start\n174 99x26 button-pressed accent Start"
                                  << "line 2: number 174 given twice";
}

void SkinPicturesTest::tableRejects()
{
    QFETCH(QString, text);
    QFETCH(QString, error);
    const auto parsed = PictureTable::Parse(text);
    QVERIFY(!parsed.table.has_value());
    QVERIFY2(parsed.error.startsWith(error), qPrintable(parsed.error));
}

void SkinPicturesTest::everyNamedNumberIsInTheTable_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("kind");
    // Every bitmap, icon and cursor number the console's windows ask for.
    const QList<int> bitmaps{142, 143, 144, 145, 146, 147, 151, 152, 154, 166, 168, 169, 170, 171, 172, 173, 174, 175,
                             177, 180, 181, 182, 183, 184, 185, 186, 188, 189, 190, 191, 192, 193, 194, 195, 196, 197,
                             202, 203, 204, 205, 206, 207, 208, 209, 210, 211, 212, 214, 221, 222, 223, 224};
    for (int number : bitmaps)
        QTest::addRow("bitmap %d", number) << number << static_cast<int>(PictureKind::Bitmap);
    QTest::newRow("icon 230") << 230 << static_cast<int>(PictureKind::Icon);
    QTest::newRow("icon 232") << 232 << static_cast<int>(PictureKind::Icon);
    QTest::newRow("cursor 141") << 141 << static_cast<int>(PictureKind::Cursor);
}

void SkinPicturesTest::everyNamedNumberIsInTheTable()
{
    QFETCH(int, number);
    QFETCH(int, kind);
    static const PictureTable table = EmbeddedTable();
    const PictureRow* row = table.Find(number);
    QVERIFY(row);
    QCOMPARE(static_cast<int>(KindOf(row->role)), kind);
}

void SkinPicturesTest::everyPictureIsEmbeddedAtItsSize()
{
    const PictureTable table = EmbeddedTable();
    for (const PictureRow& row : table.Pictures()) {
        const QByteArray which = QByteArray::number(row.number);
        switch (KindOf(row.role)) {
        case PictureKind::Bitmap: {
            QVERIFY2(SkinResources::Bitmap(row.number).size() == row.size, which);
            // For a pixel ratio of 2: twice the pixels, the same size on screen.
            const QPixmap sharp = SkinResources::Bitmap(row.number, 2.0);
            QVERIFY2(sharp.size() == row.size * 2 && sharp.devicePixelRatio() == 2.0, which);
            QVERIFY2(sharp.deviceIndependentSize().toSize() == row.size, which);
            break;
        }
        case PictureKind::Cursor: {
            const auto cursor = SkinResources::Cursor(row.number);
            QVERIFY2(cursor && cursor->pixmap().size() == row.size, which);
            break;
        }
        case PictureKind::Icon: {
            const QIcon icon = SkinResources::Icon(row.number);
            QVERIFY2(!icon.isNull(), which);
            const QList<QSize> sizes = icon.availableSizes();
            for (int side : IconSizesUpTo(row.size.width()))
                QVERIFY2(sizes.contains(QSize(side, side)), which + " at " + QByteArray::number(side));
            QVERIFY2(sizes.contains(row.size), which);
            break;
        }
        }
    }
    QVERIFY(SkinResources::Bitmap(9999).isNull());
    QVERIFY(SkinResources::Icon(9999).isNull());
    QVERIFY(!SkinResources::Cursor(9999));
}

void SkinPicturesTest::pictureFitsItsControl_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QSize>("control");  // pixels
    QTest::addColumn<bool>("exact");     // false: at least as large

    const DialogUnits units;
    QTest::newRow("Start, 66 by 16 units") << 174 << units.ToPixels(QSize(66, 16)) << true;
    QTest::newRow("Stop, 67 by 16 units") << 180 << units.ToPixels(QSize(67, 16)) << true;
    QTest::newRow("Add, 66 by 17 units") << 188 << units.ToPixels(QSize(66, 17)) << true;
    QTest::newRow("Remove, 66 by 18 units") << 193 << units.ToPixels(QSize(66, 18)) << true;
    QTest::newRow("Reset, 66 by 17 units") << 194 << units.ToPixels(QSize(66, 17)) << true;
    QTest::newRow("Configure, 67 by 16 units") << 197 << units.ToPixels(QSize(67, 16)) << true;
    QTest::newRow("close, 14 by 14 units") << 154 << units.ToPixels(QSize(14, 14)) << true;
    QTest::newRow("help, 13 by 12 units") << 166 << units.ToPixels(QSize(13, 12)) << true;
    QTest::newRow("viewer's find, 66 by 16 units") << 222 << units.ToPixels(QSize(66, 16)) << true;
    QTest::newRow("page button") << 143 << QSize(120, 25) << true;
    QTest::newRow("main window") << 151 << units.ToPixels(QSize(390, 247)) << false;
    QTest::newRow("message box") << 210 << units.ToPixels(QSize(244, 100)) << false;
    QTest::newRow("message box as documented") << 210 << QSize(369, 164) << true;
    QTest::newRow("e-mail settings") << 214 << units.ToPixels(QSize(193, 267)) << false;
    QTest::newRow("page bar holds the page buttons") << 152 << QSize(15 + 120, 153 + 25) << false;
}

void SkinPicturesTest::pictureFitsItsControl()
{
    QFETCH(int, number);
    QFETCH(QSize, control);
    QFETCH(bool, exact);
    const QSize picture = SkinResources::Bitmap(number).size();
    if (exact)
        QCOMPARE(picture, control);
    else
        QVERIFY2(picture.width() >= control.width() && picture.height() >= control.height(),
                 qPrintable(QStringLiteral("%1x%2").arg(picture.width()).arg(picture.height())));
}

void SkinPicturesTest::shapedBackgroundsHaveAnExactKeyBorder_data()
{
    QTest::addColumn<int>("number");
    const PictureTable table = EmbeddedTable();
    for (const PictureRow& row : table.Pictures()) {
        if (row.variant == QLatin1String(kShapedVariant))
            QTest::addRow("%d", row.number) << row.number;
    }
}

void SkinPicturesTest::shapedBackgroundsHaveAnExactKeyBorder()
{
    QFETCH(int, number);
    const QImage image = Opaque(SkinResources::Bitmap(number));
    const QRgb key = ColourKey::kRgb;
    QCOMPARE(key, qRgb(229, 27, 255));
    const int right = image.width() - 1;
    const int bottom = image.height() - 1;
    for (const QPoint corner : {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom), QPoint(right, bottom)})
        QCOMPARE(image.pixel(corner), key);
    QVERIFY(image.pixel(image.width() / 2, image.height() / 2) != key);
    QVERIFY(image.pixel(image.width() / 2, 0) != key);

    // No pixel is nearly the key: the outline has no tinted fringe.
    int keyed = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (pixel == key) {
                ++keyed;
                continue;
            }
            const int distance =
                std::abs(qRed(pixel) - 229) + std::abs(qGreen(pixel) - 27) + std::abs(qBlue(pixel) - 255);
            QVERIFY2(distance > 90, qPrintable(QStringLiteral("nearly the key at %1,%2").arg(x).arg(y)));
        }
    }
    // Only the rounded corners are cut away.
    QVERIFY(keyed > 4);
    QVERIFY(keyed < image.width() * image.height() / 50);
}

void SkinPicturesTest::otherPicturesNeverUseTheKey()
{
    const PictureTable table = EmbeddedTable();
    for (const PictureRow& row : table.Pictures()) {
        if (KindOf(row.role) != PictureKind::Bitmap || row.variant == QLatin1String(kShapedVariant))
            continue;
        const QImage image = Opaque(SkinResources::Bitmap(row.number));
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                QVERIFY2(image.pixel(x, y) != ColourKey::kRgb, qPrintable(QString::number(row.number)));
        }
    }
}

void SkinPicturesTest::pressedPicturesDifferFromNormalOnes()
{
    const PictureTable table = EmbeddedTable();
    int pairs = 0;
    for (const PictureRow& pressed : table.Pictures()) {
        if (pressed.role != PictureRole::ButtonPressed && pressed.role != PictureRole::PagePressed)
            continue;
        const PictureRole normalRole =
            pressed.role == PictureRole::ButtonPressed ? PictureRole::ButtonNormal : PictureRole::PageNormal;
        for (const PictureRow& normal : table.Pictures()) {
            if (normal.role != normalRole || normal.captionLines != pressed.captionLines ||
                normal.variant != pressed.variant)
                continue;
            ++pairs;
            QVERIFY2(Opaque(SkinResources::Bitmap(normal.number)) != Opaque(SkinResources::Bitmap(pressed.number)),
                     qPrintable(QStringLiteral("%1 and %2").arg(normal.number).arg(pressed.number)));
        }
    }
    QVERIFY(pairs >= 20);
}

void SkinPicturesTest::cursorHotSpotIsOnTheHand()
{
    const auto cursor = SkinResources::Cursor(141);
    QVERIFY(cursor);
    const QImage image = Opaque(cursor->pixmap());
    const QPoint hotSpot = cursor->hotSpot();
    QVERIFY(image.rect().contains(hotSpot));
    // The fingertip: opaque at the hot spot or right below it, clear above the hand.
    QVERIFY(qAlpha(image.pixel(hotSpot)) > 0 || qAlpha(image.pixel(hotSpot + QPoint(0, 1))) > 0);
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
}

void SkinPicturesTest::embeddedPicturesAreWhatThePainterDraws()
{
    // The pictures in the program come from the table and the painter, and
    // from nothing else.
    const PicturePainter painter{SkinLook{}};
    const PicturePainter painter2x{SkinLook{}, 2};
    const PictureTable table = EmbeddedTable();
    for (const PictureRow& row : table.Pictures()) {
        if (KindOf(row.role) == PictureKind::Bitmap) {
            const QImage fresh = painter2x.Paint(row).images.front().convertToFormat(QImage::Format_ARGB32);
            QVERIFY2(fresh == Opaque(SkinResources::Bitmap(row.number, 2.0)), qPrintable(QString::number(row.number)));
        }
        const PaintedPicture painted = painter.Paint(row);
        QVERIFY(!painted.images.empty());
        const QImage fresh = painted.images.front().convertToFormat(QImage::Format_ARGB32);
        QImage embedded;
        switch (KindOf(row.role)) {
        case PictureKind::Bitmap: embedded = Opaque(SkinResources::Bitmap(row.number)); break;
        case PictureKind::Cursor: embedded = Opaque(SkinResources::Cursor(row.number)->pixmap()); break;
        case PictureKind::Icon: embedded = Opaque(SkinResources::Icon(row.number).pixmap(fresh.size())); break;
        }
        QVERIFY2(fresh == embedded, qPrintable(QString::number(row.number)));
    }
}

QTEST_MAIN(SkinPicturesTest)
#include "SkinPicturesTest.moc"
