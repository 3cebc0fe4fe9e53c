#include "CSkinButton.h"
#include "SkinResources.h"
#include "SkinTestSupport.h"

#include <QFocusEvent>
#include <QSignalSpy>
#include <QTest>

using ostrel::CSkinButton;
using namespace ostrel::test;

Q_DECLARE_METATYPE(CSkinButton::Picture)

namespace {

// The bitmap sets of the console: page buttons with four pictures, "Show"
// with three (the hover picture is the normal one), "OK" with two.
const QList<int> kFour{143, 142, 144, 142};
const QList<int> kThree{185, 186, 185, 0};
const QList<int> kTwo{224, 223, 0, 0};

}  // namespace

class CSkinButtonTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pictureAfterEvents_data();
    void pictureAfterEvents();
    void setBitmapsReplacesThePictures();
    void withoutPicturesTheFaceIsFilled();
    void pictureIsCopiedUnscaledFromTheTopLeft();
    void textIsEngravedWhenDisabledAndShiftedWhenPressed();
    void handCursorOverTheButton();
    void sizeFollowsTheNormalPicture();

private:
    void Run(const QString& step);

    QWidget* host_ = nullptr;
    CSkinButton* button_ = nullptr;
};

void CSkinButtonTest::init()
{
    host_ = new QWidget;
    host_->resize(300, 100);
    button_ = new CSkinButton(host_);
    button_->setGeometry(10, 10, 120, 25);
    host_->show();
}

void CSkinButtonTest::cleanup()
{
    delete host_;
    host_ = nullptr;
    button_ = nullptr;
}

// One step of a scripted mouse and keyboard session on the button.
void CSkinButtonTest::Run(const QString& step)
{
    const QPoint inside(5, 5);
    const QPoint outside(button_->width() + 30, 5);
    CSkinButton& b = *button_;
    if (step == QLatin1String("move"))
        SendMouse(b, QEvent::MouseMove, inside, Qt::NoButton, Qt::NoButton);
    else if (step == QLatin1String("leave")) {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&b, &leave);
    } else if (step == QLatin1String("press"))
        SendMouse(b, QEvent::MouseButtonPress, inside, Qt::LeftButton, Qt::LeftButton);
    else if (step == QLatin1String("right-press"))
        SendMouse(b, QEvent::MouseButtonPress, inside, Qt::RightButton, Qt::RightButton);
    else if (step == QLatin1String("double"))
        SendMouse(b, QEvent::MouseButtonDblClick, inside, Qt::LeftButton, Qt::LeftButton);
    else if (step == QLatin1String("drag-out"))
        SendMouse(b, QEvent::MouseMove, outside, Qt::NoButton, Qt::LeftButton);
    else if (step == QLatin1String("drag-in"))
        SendMouse(b, QEvent::MouseMove, inside, Qt::NoButton, Qt::LeftButton);
    else if (step == QLatin1String("release-in"))
        SendMouse(b, QEvent::MouseButtonRelease, inside, Qt::LeftButton, Qt::NoButton);
    else if (step == QLatin1String("release-out"))
        SendMouse(b, QEvent::MouseButtonRelease, outside, Qt::LeftButton, Qt::NoButton);
    else if (step == QLatin1String("focus-out")) {
        QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QCoreApplication::sendEvent(&b, &focusOut);
    } else if (step == QLatin1String("disable"))
        b.setEnabled(false);
    else if (step == QLatin1String("enable"))
        b.setEnabled(true);
    else
        QFAIL(qPrintable(QStringLiteral("unknown step %1").arg(step)));
}

void CSkinButtonTest::pictureAfterEvents_data()
{
    QTest::addColumn<QList<int>>("bitmaps");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("shown");
    QTest::addColumn<CSkinButton::Picture>("picture");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<bool>("pressing");

    using P = CSkinButton::Picture;
    const QStringList none;
    // Four pictures: each state has its own.
    QTest::newRow("four: at rest") << kFour << none << 143 << P::Normal << 0 << false;
    QTest::newRow("four: hovered") << kFour << QStringList{"move"} << 144 << P::Hover << 0 << false;
    QTest::newRow("four: hover left") << kFour << QStringList{"move", "leave"} << 143 << P::Normal << 0 << false;
    QTest::newRow("four: pressed") << kFour << QStringList{"move", "press"} << 142 << P::Pressed << 0 << true;
    QTest::newRow("four: press clears hover")
        << kFour << QStringList{"move", "press", "release-in"} << 143 << P::Normal << 1 << false;
    QTest::newRow("four: hover again after a move")
        << kFour << QStringList{"move", "press", "release-in", "move"} << 144 << P::Hover << 1 << false;
    QTest::newRow("four: disabled shows its own picture")
        << kFour << QStringList{"disable"} << 142 << P::Disabled << 0 << false;
    QTest::newRow("four: enabled again") << kFour << QStringList{"disable", "enable"} << 143 << P::Normal << 0 << false;

    // Two pictures: normal under the mouse and, loaded again, when disabled.
    QTest::newRow("two: at rest") << kTwo << none << 224 << P::Normal << 0 << false;
    QTest::newRow("two: hovered shows normal") << kTwo << QStringList{"move"} << 224 << P::Normal << 0 << false;
    QTest::newRow("two: disabled shows normal") << kTwo << QStringList{"disable"} << 224 << P::Disabled << 0 << false;
    QTest::newRow("two: pressed") << kTwo << QStringList{"press"} << 223 << P::Pressed << 0 << true;

    // Three pictures, 185, 186, 185: 185 at rest and under the mouse.
    QTest::newRow("three: at rest") << kThree << none << 185 << P::Normal << 0 << false;
    QTest::newRow("three: hovered") << kThree << QStringList{"move"} << 185 << P::Hover << 0 << false;
    QTest::newRow("three: pressed") << kThree << QStringList{"move", "press"} << 186 << P::Pressed << 0 << true;
    QTest::newRow("three: click") << kThree << QStringList{"press", "release-in"} << 185 << P::Normal << 1 << false;

    // Dragging off and back while held.
    QTest::newRow("drag off shows released")
        << kThree << QStringList{"press", "drag-out"} << 185 << P::Normal << 0 << true;
    QTest::newRow("drag back shows pressed")
        << kThree << QStringList{"press", "drag-out", "drag-in"} << 186 << P::Pressed << 0 << true;
    QTest::newRow("release outside sends no click")
        << kThree << QStringList{"press", "drag-out", "release-out"} << 185 << P::Normal << 0 << false;
    QTest::newRow("release after dragging back clicks")
        << kThree << QStringList{"press", "drag-out", "drag-in", "release-in"} << 185 << P::Normal << 1 << false;
    QTest::newRow("four: dragged off shows normal, not hover")
        << kFour << QStringList{"move", "press", "drag-out"} << 143 << P::Normal << 0 << true;

    // Losing the focus while held ends the press for good.
    QTest::newRow("focus lost while pressed")
        << kThree << QStringList{"press", "focus-out"} << 185 << P::Normal << 0 << false;
    QTest::newRow("focus lost, then back over the button")
        << kFour << QStringList{"press", "focus-out", "drag-out", "drag-in"} << 144 << P::Hover << 0 << false;
    QTest::newRow("focus lost, then released on the button")
        << kThree << QStringList{"press", "focus-out", "release-in"} << 185 << P::Normal << 0 << false;
    QTest::newRow("focus lost without a press changes nothing")
        << kFour << QStringList{"move", "focus-out"} << 144 << P::Hover << 0 << false;

    // A double click is a second press.
    QTest::newRow("double click presses")
        << kThree << QStringList{"press", "release-in", "double"} << 186 << P::Pressed << 1 << true;
    QTest::newRow("double click clicks twice")
        << kThree << QStringList{"press", "release-in", "double", "release-in"} << 185 << P::Normal << 2 << false;

    QTest::newRow("right button does not press")
        << kThree << QStringList{"right-press"} << 185 << P::Normal << 0 << false;
}

void CSkinButtonTest::pictureAfterEvents()
{
    QFETCH(QList<int>, bitmaps);
    QFETCH(QStringList, steps);
    QFETCH(int, shown);
    QFETCH(CSkinButton::Picture, picture);
    QFETCH(int, clicks);
    QFETCH(bool, pressing);

    button_->SetBitmaps(bitmaps[0], bitmaps[1], bitmaps[2], bitmaps[3]);
    QSignalSpy clicked(button_, &QAbstractButton::clicked);
    for (const QString& step : steps)
        Run(step);

    QCOMPARE(button_->CurrentPicture(), picture);
    QCOMPARE(BitmapShown(*button_, {143, 142, 144, 185, 186, 224, 223}), shown);
    QCOMPARE(clicked.count(), clicks);
    QCOMPARE(button_->IsPressing(), pressing);
}

void CSkinButtonTest::setBitmapsReplacesThePictures()
{
    button_->SetBitmaps(143, 142, 144, 142);
    QCOMPARE(button_->accessibleName(), QStringLiteral("Status"));
    button_->SetBitmaps(185, 186);
    // The caption of the normal picture, as the picture table gives it.
    QCOMPARE(button_->accessibleName(), QStringLiteral("Show"));
    QCOMPARE(button_->toolTip(), QStringLiteral("Show"));
    Run(QStringLiteral("move"));
    QCOMPARE(BitmapShown(*button_, {143, 144, 185}), 185);
    button_->setEnabled(false);
    QCOMPARE(BitmapShown(*button_, {142, 185}), 185);

    button_->SetBitmaps(183, 184);
    QCOMPARE(button_->accessibleName(), QStringLiteral("Default Printer Monitoring"));

    // 0 for the normal picture leaves the button without one.
    button_->setEnabled(true);
    button_->SetBitmaps(0, 186);
    QCOMPARE(button_->CurrentPicture(), CSkinButton::Picture::Face);
    button_->setEnabled(false);
    QCOMPARE(button_->CurrentPicture(), CSkinButton::Picture::Face);
}

void CSkinButtonTest::withoutPicturesTheFaceIsFilled()
{
    button_->SetBitmaps(0, 0);
    const QImage shown = Pixels(*button_);
    const QRgb face = button_->palette().color(QPalette::Button).rgba();
    QCOMPARE(shown.pixel(0, 0), face);
    QCOMPARE(shown.pixel(button_->width() - 1, button_->height() - 1), face);

    // A number with no bitmap counts as none.
    button_->SetBitmaps(9999, 9998);
    QCOMPARE(button_->CurrentPicture(), CSkinButton::Picture::Face);
}

void CSkinButtonTest::pictureIsCopiedUnscaledFromTheTopLeft()
{
    // Smaller and larger than the 120 by 25 picture: cut, never scaled.
    button_->SetBitmaps(143, 142);
    for (const QSize size : {QSize(60, 12), QSize(150, 40)}) {
        button_->resize(size);
        const QImage shown = Pixels(*button_);
        QCOMPARE(shown, BitmapIn(143, size));
        if (size.width() > 120)
            QCOMPARE(qAlpha(shown.pixel(130, 5)), 0);
    }
}

void CSkinButtonTest::textIsEngravedWhenDisabledAndShiftedWhenPressed()
{
    button_->setText(QStringLiteral("Go"));
    QPalette colours = button_->palette();
    colours.setColor(QPalette::Button, QColor(200, 200, 200));
    colours.setColor(QPalette::ButtonText, QColor(0, 0, 255));
    colours.setColor(QPalette::Light, QColor(255, 255, 255));
    colours.setColor(QPalette::Disabled, QPalette::WindowText, QColor(128, 0, 0));
    host_->setPalette(colours);
    auto* plain = new CSkinButton(QStringLiteral("Go"), host_);  // takes the blue text colour when built
    QFont bold = plain->font();
    bold.setPixelSize(20);  // thick strokes, so some pixels are fully covered
    bold.setBold(true);
    plain->setFont(bold);
    plain->setGeometry(button_->geometry());
    button_->hide();
    plain->show();

    // The bounding box of the pixels in one colour.
    const auto inkBox = [](const QImage& image, QRgb colour) {
        QRect box;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) == colour)
                    box |= QRect(x, y, 1, 1);
            }
        }
        return box;
    };
    const QRgb blue = qRgb(0, 0, 255);
    const QRect atRest = inkBox(Pixels(*plain), blue);
    QVERIFY(!atRest.isEmpty());

    SendMouse(*plain, QEvent::MouseButtonPress, QPoint(3, 3), Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(inkBox(Pixels(*plain), blue), atRest.translated(1, 1));
    SendMouse(*plain, QEvent::MouseButtonRelease, QPoint(3, 3), Qt::LeftButton, Qt::NoButton);

    plain->setEnabled(false);
    const QImage engraved = Pixels(*plain);
    const QRect light = inkBox(engraved, qRgb(255, 255, 255));
    const QRect grey = inkBox(engraved, qRgb(128, 0, 0));
    QVERIFY(!light.isEmpty());
    QVERIFY(!grey.isEmpty());
    QCOMPARE(inkBox(engraved, blue), QRect());
    // The grey text lies one pixel up and left of the light one.
    QCOMPARE(grey.topLeft(), atRest.topLeft() - QPoint(1, 1));
}

void CSkinButtonTest::handCursorOverTheButton()
{
    const auto hand = ostrel::SkinResources::Cursor(CSkinButton::kHandCursor);
    QVERIFY(hand.has_value());
    QCOMPARE(button_->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(button_->cursor().hotSpot(), hand->hotSpot());
    QCOMPARE(button_->cursor().pixmap().toImage(), hand->pixmap().toImage());
}

void CSkinButtonTest::sizeFollowsTheNormalPicture()
{
    button_->SetBitmaps(174, 175);
    QCOMPARE(button_->sizeHint(), QSize(99, 26));
    button_->SetBitmaps(0, 175);
    QVERIFY(button_->sizeHint() != QSize(99, 26));
}

QTEST_MAIN(CSkinButtonTest)
#include "CSkinButtonTest.moc"
