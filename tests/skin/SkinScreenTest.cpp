// Shaped windows on a real X server: what the screen shows, pixel by pixel.
#include "CSkinDialog.h"
#include "ColourKey.h"
#include "SkinResources.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

using namespace ostrel;

class SkinScreenTest : public QObject {
    Q_OBJECT

private slots:
    void keyPixelsShowWhatLiesBeneath_data();
    void keyPixelsShowWhatLiesBeneath();
};

void SkinScreenTest::keyPixelsShowWhatLiesBeneath_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QSize>("units");
    QTest::newRow("main window 151") << 151 << QSize(390, 247);
    QTest::newRow("e-mail settings 214") << 214 << QSize(193, 267);
}

void SkinScreenTest::keyPixelsShowWhatLiesBeneath()
{
    QFETCH(int, number);
    QFETCH(QSize, units);

    // A plain green window beneath the shaped one.
    const QColor green(0, 128, 0);
    QWidget backdrop(nullptr, Qt::FramelessWindowHint);
    QPalette fill = backdrop.palette();
    fill.setColor(QPalette::Window, green);
    backdrop.setPalette(fill);
    backdrop.setAutoFillBackground(true);
    backdrop.setGeometry(0, 0, 700, 520);
    backdrop.show();
    QVERIFY(QTest::qWaitForWindowExposed(&backdrop));

    CSkinDialog dialog({1, units, {}, WindowStyle::None, {}});
    QVERIFY(dialog.SetBackgroundBitmap(number));
    dialog.ShapeByColourKey();
    dialog.move(40, 30);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.repaint();
    QCoreApplication::processEvents();

    const QImage screen =
        QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(!screen.isNull());
    const QImage picture = SkinResources::Bitmap(number).toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint origin = dialog.geometry().topLeft();
    int cut = 0;
    for (int y = 0; y < dialog.height(); ++y) {
        for (int x = 0; x < dialog.width(); ++x) {
            const QRgb painted = picture.pixel(x, y);
            const bool key = painted == ColourKey::kRgb;
            const QRgb expected = key ? green.rgb() : painted;
            const QRgb shown = screen.pixel(origin + QPoint(x, y));
            cut += key ? 1 : 0;
            if (shown != expected) {
                QFAIL(qPrintable(QStringLiteral("at %1,%2 the screen shows #%3, not #%4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(shown & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                                     .arg(expected & 0xFFFFFF, 6, 16, QLatin1Char('0'))));
            }
        }
    }
    QVERIFY(cut > 0);
}

QTEST_MAIN(SkinScreenTest)
#include "SkinScreenTest.moc"
