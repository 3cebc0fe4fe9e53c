#include "CSkinButton.h"
#include "DialogBuilder.h"
#include "DialogTemplate.h"
#include "DialogUnits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTreeWidget>

using namespace ostrel;

Q_DECLARE_METATYPE(ostrel::ControlKind)
Q_DECLARE_METATYPE(ostrel::ControlStyles)
Q_DECLARE_METATYPE(ostrel::WindowStyles)

class DialogTemplateTest : public QObject {
    Q_OBJECT

private slots:
    void dialogUnitsToPixels_data();
    void dialogUnitsToPixels();
    void rectangleKeepsItsSizeWherever_data();
    void rectangleKeepsItsSizeWherever();
    void dialogFontGivesTheSkinsBaseUnits();
    void baseUnitsFollowTheFont();

    void controlIsBuiltByKind_data();
    void controlIsBuiltByKind();
    void styles_data();
    void styles();
    void windowKind_data();
    void windowKind();
    void comboBoxIsAsHighAsItsFont();
    void checkBoxIsNeverSmallerThanItsBox();
    void sortedComboBoxKeepsAddedItemsInOrder();
    void groupBoxLiesBeneathAndLetsClicksThrough();
    void tabOrderIsTemplateOrder();
    void controlsAreFoundByIdInTheirOwnDialogOnly();
};

void DialogTemplateTest::dialogUnitsToPixels_data()
{
    QTest::addColumn<int>("baseX");
    QTest::addColumn<int>("baseY");
    QTest::addColumn<QSize>("units");
    QTest::addColumn<QSize>("pixels");

    QTest::newRow("66 by 16 button") << 6 << 13 << QSize(66, 16) << QSize(99, 26);
    QTest::newRow("odd width rounds half up") << 6 << 13 << QSize(67, 16) << QSize(101, 26);
    QTest::newRow("17 high rounds up") << 6 << 13 << QSize(66, 17) << QSize(99, 28);
    QTest::newRow("18 high rounds down") << 6 << 13 << QSize(66, 18) << QSize(99, 29);
    QTest::newRow("main window") << 6 << 13 << QSize(390, 247) << QSize(585, 401);
    QTest::newRow("message box") << 6 << 13 << QSize(244, 100) << QSize(366, 163);
    QTest::newRow("zero") << 6 << 13 << QSize(0, 0) << QSize(0, 0);
    QTest::newRow("negative rounds away from zero") << 6 << 13 << QSize(-3, -1) << QSize(-5, -2);
    QTest::newRow("wider font") << 7 << 13 << QSize(66, 16) << QSize(116, 26);
    QTest::newRow("taller font") << 8 << 16 << QSize(66, 16) << QSize(132, 32);
}

void DialogTemplateTest::dialogUnitsToPixels()
{
    QFETCH(int, baseX);
    QFETCH(int, baseY);
    QFETCH(QSize, units);
    QFETCH(QSize, pixels);
    const DialogUnits conversion(DialogBaseUnits{baseX, baseY});
    QCOMPARE(conversion.ToPixels(units), pixels);
    QCOMPARE(conversion.ToPixelsX(units.width()), pixels.width());
    QCOMPARE(conversion.ToPixelsY(units.height()), pixels.height());
}

void DialogTemplateTest::rectangleKeepsItsSizeWherever_data()
{
    QTest::addColumn<QRect>("units");
    QTest::addColumn<QRect>("pixels");
    QTest::newRow("Add at 7,73") << QRect(7, 73, 66, 17) << QRect(11, 119, 99, 28);
    QTest::newRow("Apply at 144,73") << QRect(144, 73, 66, 17) << QRect(216, 119, 99, 28);
    QTest::newRow("Stop at 147,24") << QRect(147, 24, 67, 16) << QRect(221, 39, 101, 26);
    QTest::newRow("Start at 38,24") << QRect(38, 24, 66, 16) << QRect(57, 39, 99, 26);
}

void DialogTemplateTest::rectangleKeepsItsSizeWherever()
{
    QFETCH(QRect, units);
    QFETCH(QRect, pixels);
    QCOMPARE(DialogUnits().ToPixels(units), pixels);
}

void DialogTemplateTest::dialogFontGivesTheSkinsBaseUnits()
{
    // The pictures are drawn for 1.5 by 1.625 pixels per unit.
    QCOMPARE(DialogUnits::ForFont(DialogUnits::DialogFont()).BaseUnits(), (DialogBaseUnits{6, 13}));
}

void DialogTemplateTest::baseUnitsFollowTheFont()
{
    QFont small = DialogUnits::DialogFont();
    QFont large = small;
    large.setPixelSize(22);
    const DialogBaseUnits smallUnits = DialogUnits::ForFont(small).BaseUnits();
    const DialogBaseUnits largeUnits = DialogUnits::ForFont(large).BaseUnits();
    QCOMPARE(largeUnits.y, QFontMetrics(large).height());
    QVERIFY(largeUnits.x > smallUnits.x);
    QVERIFY(largeUnits.y > smallUnits.y);
}

void DialogTemplateTest::controlIsBuiltByKind_data()
{
    QTest::addColumn<ControlKind>("kind");
    QTest::addColumn<QString>("className");
    QTest::newRow("static") << ControlKind::Static << "QLabel";
    QTest::newRow("group box") << ControlKind::GroupBox << "QGroupBox";
    QTest::newRow("push button") << ControlKind::PushButton << "ostrel::CSkinButton";
    QTest::newRow("check box") << ControlKind::CheckBox << "QCheckBox";
    QTest::newRow("edit") << ControlKind::Edit << "QLineEdit";
    QTest::newRow("list box") << ControlKind::ListBox << "QListWidget";
    QTest::newRow("combo box") << ControlKind::ComboBox << "QComboBox";
    QTest::newRow("list view") << ControlKind::ListView << "QTreeWidget";
    QTest::newRow("custom") << ControlKind::Custom << "QWidget";
}

void DialogTemplateTest::controlIsBuiltByKind()
{
    QFETCH(ControlKind, kind);
    QFETCH(QString, className);

    QWidget dialog;
    DialogBuilder::Build(
        dialog, {200, QSize(200, 100), {}, WindowStyle::None, {{1000, kind, QRect(7, 13, 66, 40), "Text", {}}}});
    QWidget* control = DialogBuilder::Find(dialog, 1000);
    QVERIFY(control);
    QCOMPARE(QString::fromLatin1(control->metaObject()->className()), className);
    QCOMPARE(DialogBuilder::IdOf(*control), 1000);
    QCOMPARE(control->objectName(), QStringLiteral("control1000"));
    QCOMPARE(control->pos(), QPoint(11, 21));
    QCOMPARE(control->width(), 99);
    if (kind != ControlKind::ComboBox)
        QCOMPARE(control->height(), 65);
}

void DialogTemplateTest::styles_data()
{
    QTest::addColumn<ControlKind>("kind");
    QTest::addColumn<ControlStyles>("styles");
    QTest::addColumn<QString>("check");

    QTest::newRow("default button") << ControlKind::PushButton << ControlStyles(ControlStyle::DefaultButton)
                                    << "default";
    QTest::newRow("plain button") << ControlKind::PushButton << ControlStyles() << "not default";
    QTest::newRow("password") << ControlKind::Edit << ControlStyles(ControlStyle::Password) << "password";
    QTest::newRow("read-only") << ControlKind::Edit << ControlStyles(ControlStyle::ReadOnly) << "read-only";
    QTest::newRow("sorted list") << ControlKind::ListBox << ControlStyles(ControlStyle::Sorted) << "sorted";
    QTest::newRow("editable combo") << ControlKind::ComboBox << ControlStyles(ControlStyle::Editable) << "editable";
    QTest::newRow("drop-down list") << ControlKind::ComboBox << ControlStyles() << "not editable";
    QTest::newRow("centred static") << ControlKind::Static << ControlStyles(ControlStyle::CentreText) << "centred";
    QTest::newRow("one-line static") << ControlKind::Static << ControlStyles(ControlStyle::NoWrap) << "no wrap";
    QTest::newRow("static lets clicks through") << ControlKind::Static << ControlStyles() << "mouse-transparent";
    QTest::newRow("hidden") << ControlKind::Edit << ControlStyles(ControlStyle::Hidden) << "hidden";
    QTest::newRow("disabled") << ControlKind::CheckBox << ControlStyles(ControlStyle::Disabled) << "disabled";
}

void DialogTemplateTest::styles()
{
    QFETCH(ControlKind, kind);
    QFETCH(ControlStyles, styles);
    QFETCH(QString, check);

    QWidget dialog;
    DialogBuilder::Build(dialog,
                         {200, QSize(200, 100), {}, WindowStyle::None, {{7, kind, QRect(0, 0, 50, 14), "x", styles}}});
    dialog.show();
    QWidget* control = DialogBuilder::Find(dialog, 7);
    QVERIFY(control);

    if (check == QLatin1String("default") || check == QLatin1String("not default"))
        QCOMPARE(qobject_cast<QPushButton*>(control)->isDefault(), check == QLatin1String("default"));
    else if (check == QLatin1String("password"))
        QCOMPARE(qobject_cast<QLineEdit*>(control)->echoMode(), QLineEdit::Password);
    else if (check == QLatin1String("read-only"))
        QVERIFY(qobject_cast<QLineEdit*>(control)->isReadOnly());
    else if (check == QLatin1String("sorted"))
        QVERIFY(qobject_cast<QListWidget*>(control)->isSortingEnabled());
    else if (check == QLatin1String("editable") || check == QLatin1String("not editable"))
        QCOMPARE(qobject_cast<QComboBox*>(control)->isEditable(), check == QLatin1String("editable"));
    else if (check == QLatin1String("centred"))
        QVERIFY(qobject_cast<QLabel*>(control)->alignment().testFlag(Qt::AlignHCenter));
    else if (check == QLatin1String("no wrap"))
        QVERIFY(!qobject_cast<QLabel*>(control)->wordWrap());
    else if (check == QLatin1String("mouse-transparent"))
        QVERIFY(control->testAttribute(Qt::WA_TransparentForMouseEvents));
    else if (check == QLatin1String("hidden"))
        QVERIFY(!control->isVisible());
    else if (check == QLatin1String("disabled"))
        QVERIFY(!control->isEnabled());
    else
        QFAIL("unknown check");
}

void DialogTemplateTest::windowKind_data()
{
    QTest::addColumn<WindowStyles>("styles");
    QTest::addColumn<bool>("isWindow");
    QTest::addColumn<bool>("frameless");
    QTest::addColumn<bool>("fixedSize");

    QTest::newRow("borderless popup") << WindowStyles() << true << true << true;
    QTest::newRow("borderless, resizable") << WindowStyles(WindowStyle::SizingBorder) << true << true << false;
    QTest::newRow("with title bar") << WindowStyles(WindowStyle::Caption) << true << false << true;
    QTest::newRow("page") << WindowStyles(WindowStyle::Child) << false << false << false;
}

void DialogTemplateTest::windowKind()
{
    QFETCH(WindowStyles, styles);
    QFETCH(bool, isWindow);
    QFETCH(bool, frameless);
    QFETCH(bool, fixedSize);

    QWidget parent;
    QWidget* dialog = new QWidget(&parent, Qt::Dialog);
    DialogBuilder::Build(*dialog, {159, QSize(244, 100), QStringLiteral("Quillmere"), styles, {}});
    QCOMPARE(dialog->isWindow(), isWindow);
    QCOMPARE(dialog->windowFlags().testFlag(Qt::FramelessWindowHint), frameless);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Quillmere"));
    QCOMPARE(dialog->size(), QSize(366, 163));
    QCOMPARE(dialog->minimumSize() == dialog->maximumSize(), fixedSize);
    QCOMPARE(dialog->font().pixelSize(), DialogUnits::DialogFont().pixelSize());
}

void DialogTemplateTest::comboBoxIsAsHighAsItsFont()
{
    QWidget dialog;
    DialogBuilder::Build(
        dialog,
        {132, QSize(272, 166), {}, WindowStyle::None, {{1002, ControlKind::ComboBox, QRect(88, 85, 169, 55), {}, {}}}});
    auto* combo = qobject_cast<QComboBox*>(DialogBuilder::Find(dialog, 1002));
    QVERIFY(combo);
    QCOMPARE(combo->height(), combo->sizeHint().height());
    QCOMPARE(combo->geometry().topLeft(), QPoint(132, 138));
    QVERIFY(combo->height() < 89);  // not the open list's height
}

void DialogTemplateTest::checkBoxIsNeverSmallerThanItsBox()
{
    QWidget dialog;
    DialogBuilder::Build(dialog, {132,
                                  QSize(272, 166),
                                  {},
                                  WindowStyle::None,
                                  {{1023, ControlKind::CheckBox, QRect(113, 27, 8, 8), {}, {}},
                                   {1024, ControlKind::CheckBox, QRect(113, 47, 80, 20), QStringLiteral("On"), {}}}});
    QWidget* small = DialogBuilder::Find(dialog, 1023);
    QCOMPARE(small->pos(), QPoint(170, 44));
    QVERIFY(small->width() >= small->sizeHint().width());
    QVERIFY(small->height() >= small->sizeHint().height());
    QCOMPARE(DialogBuilder::Find(dialog, 1024)->size(), QSize(120, 33));
}

void DialogTemplateTest::sortedComboBoxKeepsAddedItemsInOrder()
{
    QWidget dialog;
    DialogBuilder::Build(
        dialog,
        {139,
         QSize(193, 267),
         {},
         WindowStyle::None,
         {{1037, ControlKind::ComboBox, QRect(10, 10, 100, 60), {}, ControlStyle::Sorted | ControlStyle::Editable},
          {1038, ControlKind::ComboBox, QRect(10, 40, 100, 60), {}, {}}}});
    const QStringList added{"None", "CRAM MD5", "AUTH LOGIN", "AUTH PLAIN", "NTLM"};
    auto* sorted = qobject_cast<QComboBox*>(DialogBuilder::Find(dialog, 1037));
    auto* unsorted = qobject_cast<QComboBox*>(DialogBuilder::Find(dialog, 1038));
    for (const QString& text : added) {
        sorted->addItem(text);
        unsorted->addItem(text);
    }
    QStringList sortedShown;
    QStringList unsortedShown;
    for (int i = 0; i < sorted->count(); ++i) {
        sortedShown << sorted->itemText(i);
        unsortedShown << unsorted->itemText(i);
    }
    QCOMPARE(sortedShown, (QStringList{"AUTH LOGIN", "AUTH PLAIN", "CRAM MD5", "NTLM", "None"}));
    QCOMPARE(unsortedShown, added);
}

void DialogTemplateTest::groupBoxLiesBeneathAndLetsClicksThrough()
{
    // As in the status page: the buttons come before the group box around them.
    QWidget dialog;
    DialogBuilder::Build(dialog, {140,
                                  QSize(279, 167),
                                  {},
                                  WindowStyle::None,
                                  {{1047, ControlKind::PushButton, QRect(38, 24, 66, 16), {}, {}},
                                   {kNoControlId, ControlKind::GroupBox, QRect(7, 13, 265, 56), "Status", {}}}});
    QWidget* button = DialogBuilder::Find(dialog, 1047);
    QCOMPARE(dialog.childAt(button->geometry().center()), button);
    const auto* box = dialog.findChild<QGroupBox*>();
    QVERIFY(box->testAttribute(Qt::WA_TransparentForMouseEvents));
    QCOMPARE(dialog.children().first(), box);
}

void DialogTemplateTest::tabOrderIsTemplateOrder()
{
    QWidget dialog;
    DialogBuilder::Build(dialog, {139,
                                  QSize(193, 267),
                                  {},
                                  WindowStyle::None,
                                  {{1027, ControlKind::Edit, QRect(10, 10, 50, 14), {}, {}},
                                   {1036, ControlKind::Edit, QRect(10, 90, 50, 14), {}, {}},
                                   {1030, ControlKind::Edit, QRect(10, 50, 50, 14), {}, {}}}});
    QWidget* first = DialogBuilder::Find(dialog, 1027);
    QCOMPARE(first->nextInFocusChain(), DialogBuilder::Find(dialog, 1036));
    QCOMPARE(first->nextInFocusChain()->nextInFocusChain(), DialogBuilder::Find(dialog, 1030));
}

void DialogTemplateTest::controlsAreFoundByIdInTheirOwnDialogOnly()
{
    QWidget window;
    DialogBuilder::Build(window, {102,
                                  QSize(390, 247),
                                  {},
                                  WindowStyle::None,
                                  {{1000, ControlKind::Static, QRect(7, 7, 0, 0), "Quillmere", {}},
                                   {kNoControlId, ControlKind::Static, QRect(7, 20, 40, 8), "other", {}}}});
    auto* page = new QWidget(&window);
    DialogBuilder::Build(*page, {140,
                                 QSize(279, 167),
                                 {},
                                 WindowStyle::Child,
                                 {{1047, ControlKind::PushButton, QRect(38, 24, 66, 16), {}, {}}}});

    auto* caption = qobject_cast<QLabel*>(DialogBuilder::Find(window, 1000));
    QVERIFY(caption);
    QCOMPARE(caption->text(), QStringLiteral("Quillmere"));
    // An empty size fits the text.
    QCOMPARE(caption->size(), caption->sizeHint());
    QCOMPARE(caption->pos(), QPoint(11, 11));
    QVERIFY(!DialogBuilder::Find(window, 1047));
    QVERIFY(DialogBuilder::Find(*page, 1047));
    QVERIFY(!DialogBuilder::Find(window, 4242));
    QVERIFY(!DialogBuilder::Find(window, kNoControlId));
    QCOMPARE(DialogBuilder::IdOf(*page), kNoControlId);
}

QTEST_MAIN(DialogTemplateTest)
#include "DialogTemplateTest.moc"
