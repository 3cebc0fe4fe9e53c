// The main window with a notification area in memory: start state, pages,
// keys, hiding and restoring, the tray menu, the monitoring switch, Exit.
#include "CConsolePage.h"
#include "CMenuButton.h"
#include "CMessageDlg.h"
#include "CPageBar.h"
#include "CQuillmereDlg.h"
#include "CStatusPage.h"
#include "ConsoleTestSupport.h"
#include "FakeTrayIcon.h"

#include <QAccessible>
#include <QDesktopServices>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace ostrel;
using namespace ostrel::test;
namespace command = ids::command;

namespace {

constexpr int kAbsent = -1;

std::optional<std::uint32_t> Stored(int value)
{
    return value == kAbsent ? std::nullopt : std::optional<std::uint32_t>(static_cast<std::uint32_t>(value));
}

QStringList Captions(const QMenu& menu)
{
    QStringList captions;
    for (const QAction* action : menu.actions())
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return captions;
}

QAction* ActionOf(QMenu& menu, int id)
{
    for (QAction* action : menu.actions()) {
        if (!action->isSeparator() && action->data().toInt() == id)
            return action;
    }
    return nullptr;
}

// Catches the addresses the console asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened << url; }
};

}  // namespace

class CQuillmereDlgTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { sandbox_ = std::make_unique<ConsoleSandbox>(); }

    void startsOnTheStatusPageWithIconFromAppRuns_data();
    void startsOnTheStatusPageWithIconFromAppRuns();
    void pageSwitchingRefreshesThePageShown_data();
    void pageSwitchingRefreshesThePageShown();
    void keyboardFollowsTheReadingOrderAndChoosesPages();
    void keysAndClosingHideIntoTheTray_data();
    void keysAndClosingHideIntoTheTray();
    void windowAndIconTakeTurns();
    void withoutATrayHidingMinimises();
    void trayMenuStartAndStopSwitchOnlyFromTheOtherState_data();
    void trayMenuStartAndStopSwitchOnlyFromTheOtherState();
    void menusHoldTheirItemsInOrder();
    void webPagesOpenTheirConfiguredAddresses();
    void exitEndsTheRunWithTheIconRemoved();
    void messageBoxShowsItsTextOnTheSkin();

private:
    std::unique_ptr<ConsoleSandbox> sandbox_;
};

void CQuillmereDlgTest::startsOnTheStatusPageWithIconFromAppRuns_data()
{
    QTest::addColumn<int>("appRuns");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("tip");
    QTest::newRow("absent") << kAbsent << 232 << "Quillmere - Not monitoring";
    QTest::newRow("0") << 0 << 232 << "Quillmere - Not monitoring";
    QTest::newRow("1") << 1 << 230 << "Quillmere - Monitoring";
    QTest::newRow("2") << 2 << 232 << "Quillmere - Not monitoring";
}

void CQuillmereDlgTest::startsOnTheStatusPageWithIconFromAppRuns()
{
    QFETCH(int, appRuns);
    QFETCH(int, icon);
    QFETCH(QString, tip);
    ConsoleSandbox::SetAppRuns(Stored(appRuns));
    FakeTrayIcon tray;
    CQuillmereDlg dialog({tray, sandbox_->AppFolder().toStdString()});

    QCOMPARE(dialog.windowTitle(), QStringLiteral("Quillmere"));
    QVERIFY(!dialog.windowIcon().isNull());
    QCOMPARE(dialog.IconNumber(), icon);
    QCOMPARE(dialog.Tip(), tip);
    QVERIFY(!dialog.IconShown());
    QVERIFY(tray.calls.isEmpty());
    QCOMPARE(qobject_cast<QLabel*>(dialog.Control(ids::control::kCaption))->text(), QStringLiteral("Quillmere"));

    CPageBar& bar = dialog.PageBar();
    QCOMPARE(bar.pos(), QPoint(10, 90));
    QCOMPARE(bar.PageCount(), 4);
    QCOMPARE(bar.CurrentIndex(), 0);
    const QList<QSize> sizes{{420, 270}, {420, 300}, {420, 300}, {420, 300}};
    for (int index = 0; index < 4; ++index) {
        QCOMPARE(bar.Page(index)->geometry(), QRect(QPoint(160, 80), sizes[index]));
        QCOMPARE(bar.Page(index)->isVisibleTo(&dialog), index == 0);
        QCOMPARE(bar.PageButton(index)->isEnabled(), index != 0);
        QCOMPARE(bar.PageButton(index)->geometry().topLeft(), QPoint(15, 3 + 50 * index));
    }
}

void CQuillmereDlgTest::pageSwitchingRefreshesThePageShown_data()
{
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<bool>("switching");
    QTest::addColumn<int>("current");
    QTest::addColumn<QList<int>>("refreshes");
    QTest::newRow("printers") << QList<int>{1} << true << 1 << QList<int>{0, 1, 0, 0};
    QTest::newRow("there and back") << QList<int>{1, 0, 1} << true << 1 << QList<int>{1, 2, 0, 0};
    QTest::newRow("reports then settings") << QList<int>{2, 3} << true << 3 << QList<int>{0, 0, 1, 1};
    QTest::newRow("the page shown: its button is off") << QList<int>{0} << true << 0 << QList<int>{0, 0, 0, 0};
    QTest::newRow("switching not enabled") << QList<int>{2} << false << 0 << QList<int>{0, 0, 0, 0};
}

void CQuillmereDlgTest::pageSwitchingRefreshesThePageShown()
{
    QFETCH(QList<int>, clicks);
    QFETCH(bool, switching);
    QFETCH(int, current);
    QFETCH(QList<int>, refreshes);
    FakeTrayIcon tray;
    CQuillmereDlg dialog({tray, {}});
    dialog.show();
    CPageBar& bar = dialog.PageBar();
    bar.SetSwitchingEnabled(switching);
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (int index = 0; index < 4; ++index)
        spies.push_back(std::make_unique<QSignalSpy>(bar.Page(index), &CConsolePage::Refreshed));

    for (int index : clicks)
        QTest::mouseClick(bar.PageButton(index), Qt::LeftButton);

    QCOMPARE(bar.CurrentIndex(), current);
    for (int index = 0; index < 4; ++index) {
        QCOMPARE(bar.Page(index)->isVisible(), index == current);
        QCOMPARE(bar.PageButton(index)->isEnabled(), index != current);
        QCOMPARE(spies[index]->count(), refreshes[index]);
    }
    // Chosen again in code: reports and settings keep their state.
    bar.ShowPage(current);
    QCOMPARE(spies[current]->count(), refreshes[current] + (current < 2 ? 1 : 0));
}

void CQuillmereDlgTest::keyboardFollowsTheReadingOrderAndChoosesPages()
{
    ConsoleSandbox::SetAppRuns(1);
    FakeTrayIcon tray;
    CQuillmereDlg dialog({tray, {}});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    const auto focused = [] {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    };
    const auto tabs = [&](int count) {
        QStringList seen;
        for (int step = 0; step < count; ++step) {
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &dialog, Qt::Key_Tab);
            seen << focused();
        }
        return seen;
    };

    // Help, close, the page buttons but the shown page's, then the status
    // page (Start is off while monitoring), and round again.
    dialog.HelpButton().setFocus(Qt::TabFocusReason);
    QCOMPARE(tabs(8), QStringList({"control1046", "control1111", "control1112", "control1113", "control1048",
                                   "control1053", "control1054", "control1058"}));

    // Ctrl+2 chooses the printers page and puts the focus on its first control.
    QTest::keyClick(&dialog, Qt::Key_2, Qt::ControlModifier);
    QCOMPARE(dialog.PageBar().CurrentIndex(), 1);
    QCOMPARE(focused(), QStringLiteral("control1009"));
    QCOMPARE(tabs(3), QStringList({"control1013", "control1014", "control1021"}));

    // Space on a focused page button opens its page, focus on the page.
    dialog.PageBar().PageButton(2)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(dialog.PageBar().CurrentIndex(), 2);
    QCOMPARE(focused(), QStringLiteral("control1001"));
    // Ctrl+3 on the page shown changes nothing, as its disabled button would.
    QTest::keyClick(&dialog, Qt::Key_3, Qt::ControlModifier);
    QCOMPARE(focused(), QStringLiteral("control1001"));
    QTest::keyClick(&dialog, Qt::Key_4, Qt::ControlModifier);
    QCOMPARE(dialog.PageBar().CurrentIndex(), 3);
    QCOMPARE(focused(), QStringLiteral("control1023"));
    QVERIFY(!dialog.isHidden());
}

void CQuillmereDlgTest::keysAndClosingHideIntoTheTray_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("hidden");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("tip");
    // Shown with AppRuns 1; the store says 0 by the time the window hides.
    QTest::newRow("Enter") << "enter" << false << 230 << "";
    QTest::newRow("Enter on a page button") << "enter on page" << false << 230 << "";
    QTest::newRow("Escape") << "escape" << true << 232 << "Quillmere - Not monitoring";
    QTest::newRow("Escape on a page") << "escape on page" << true << 232 << "Quillmere - Not monitoring";
    QTest::newRow("close button") << "close button" << true << 232 << "Quillmere - Not monitoring";
    QTest::newRow("close request") << "close" << true << 232 << "Quillmere - Not monitoring";
    QTest::newRow("Alt+F4") << "alt+f4" << true << 230 << "Quillmere - Monitoring";
    QTest::newRow("minimise") << "minimise" << true << 230 << "Quillmere - Monitoring";
    QTest::newRow("system menu close") << "system close" << true << 230 << "Quillmere - Monitoring";
}

void CQuillmereDlgTest::keysAndClosingHideIntoTheTray()
{
    QFETCH(QString, how);
    QFETCH(bool, hidden);
    QFETCH(int, icon);
    QFETCH(QString, tip);
    ConsoleSandbox::SetAppRuns(1);
    FakeTrayIcon tray;
    CQuillmereDlg dialog({tray, {}});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    ConsoleSandbox::SetAppRuns(0);
    QWidget* page = dialog.PageBar().Page(0);
    QWidget* pageButton = dialog.PageBar().PageButton(1);

    if (how == "enter")
        QTest::keyClick(&dialog, Qt::Key_Return);
    else if (how == "enter on page")
        QTest::keyClick(pageButton, Qt::Key_Enter);
    else if (how == "escape")
        QTest::keyClick(&dialog, Qt::Key_Escape);
    else if (how == "escape on page")
        QTest::keyClick(page, Qt::Key_Escape);
    else if (how == "close button")
        QTest::mouseClick(dialog.Button(ids::control::kCloseButton), Qt::LeftButton);
    else if (how == "close")
        dialog.close();
    else if (how == "alt+f4")
        QTest::keyClick(&dialog, Qt::Key_F4, Qt::AltModifier);
    else if (how == "minimise")
        dialog.showMinimized();
    else if (how == "system close")
        ActionOf(dialog.SystemMenu(), 0xF060)->trigger();
    QTRY_COMPARE(dialog.isHidden(), hidden);

    QCOMPARE(dialog.PageBar().CurrentIndex(), 0);
    QVERIFY(page->isVisibleTo(&dialog));
    QCOMPARE(tray.shown, hidden);
    QCOMPARE(dialog.IconNumber(), icon);
    QCOMPARE(tray.tip, tip);
    QVERIFY(!dialog.isMinimized());
}

void CQuillmereDlgTest::windowAndIconTakeTurns()
{
    ConsoleSandbox::SetAppRuns(1);
    FakeTrayIcon tray;
    CQuillmereDlg dialog({tray, {}});
    dialog.show();
    dialog.HideToTray();
    QVERIFY(dialog.isHidden() && tray.shown);

    tray.Send(TrayIcon::MouseEvent::LeftDown);
    QVERIFY(dialog.isHidden() && tray.shown);
    tray.Send(TrayIcon::MouseEvent::LeftDoubleClick);
    QVERIFY(dialog.isVisible() && !tray.shown);

    // A failing addition is tried once more; the window hides either way.
    tray.refuseAdd = true;
    tray.calls.clear();
    QTest::keyClick(&dialog, Qt::Key_F4, Qt::AltModifier);
    QVERIFY(dialog.isHidden() && !tray.shown);
    QCOMPARE(tray.calls, QStringList({"add", "add"}));
    tray.refuseAdd = false;
    dialog.show();

    // A second start while hidden shows the window; the icon stays until
    // the next restore from it.
    dialog.HideToTray();
    dialog.ShowFromOtherStart();
    QVERIFY(dialog.isVisible() && tray.shown);
    tray.Send(TrayIcon::MouseEvent::LeftDoubleClick);
    QVERIFY(dialog.isVisible() && !tray.shown);
    dialog.HideToTray();
    QVERIFY(dialog.isHidden() && tray.shown);
    ActionOf(dialog.Menu(), command::kTrayShow)->trigger();
    QVERIFY(dialog.isVisible() && !tray.shown);
}

void CQuillmereDlgTest::withoutATrayHidingMinimises()
{
    FakeTrayIcon tray;
    tray.available = false;
    CQuillmereDlg dialog({tray, {}});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (const QString how : {"escape", "alt+f4", "minimise"}) {
        if (how == "escape")
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else if (how == "alt+f4")
            QTest::keyClick(&dialog, Qt::Key_F4, Qt::AltModifier);
        else
            dialog.showMinimized();
        QCoreApplication::processEvents();
        QVERIFY2(dialog.isVisible() && dialog.isMinimized(), qPrintable(how));
        QVERIFY(!dialog.IconShown());
        // The way back: a later start of the console.
        dialog.ShowFromOtherStart();
        QVERIFY2(dialog.isVisible() && !dialog.isMinimized(), qPrintable(how));
    }
}

void CQuillmereDlgTest::trayMenuStartAndStopSwitchOnlyFromTheOtherState_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("after");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("tip");
    const int start = command::kTrayStartMonitoring;
    const int stop = command::kTrayStopMonitoring;
    QTest::newRow("start, absent") << kAbsent << start << 1 << 230 << "Quillmere - Monitoring";
    QTest::newRow("start, 0") << 0 << start << 1 << 230 << "Quillmere - Monitoring";
    QTest::newRow("start, 1: nothing") << 1 << start << 1 << 230 << "Quillmere - Monitoring";
    QTest::newRow("start, 2: nothing") << 2 << start << 2 << 232 << "Quillmere - Not monitoring";
    QTest::newRow("stop, 1") << 1 << stop << 0 << 232 << "Quillmere - Not Monitoring";
    QTest::newRow("stop, 0: nothing") << 0 << stop << 0 << 232 << "Quillmere - Not monitoring";
    QTest::newRow("stop, absent: nothing") << kAbsent << stop << kAbsent << 232 << "Quillmere - Not monitoring";
}

void CQuillmereDlgTest::trayMenuStartAndStopSwitchOnlyFromTheOtherState()
{
    QFETCH(int, before);
    QFETCH(int, command);
    QFETCH(int, after);
    QFETCH(int, icon);
    QFETCH(QString, tip);
    ConsoleSandbox::SetAppRuns(Stored(before));
    FakeTrayIcon tray;
    CQuillmereDlg dialog({tray, {}});
    int switches = 0;
    dialog.StatusPage().Switch().SetAfterSwitch([&switches] { ++switches; });
    dialog.show();
    dialog.HideToTray();

    ActionOf(dialog.Menu(), command)->trigger();

    QCOMPARE(ConsoleSandbox::AppRuns(), Stored(after));
    QCOMPARE(switches, before == after ? 0 : 1);
    QCOMPARE(dialog.IconNumber(), icon);
    QCOMPARE(tray.tip, tip);
    QVERIFY(dialog.isHidden() && tray.shown);
}

void CQuillmereDlgTest::menusHoldTheirItemsInOrder()
{
    FakeTrayIcon tray;
    CQuillmereDlg dialog({tray, {}});
    dialog.show();
    QCOMPARE(Captions(dialog.Menu()),
             QStringList({"Show", "-", "Start monitoring", "Stop monitoring", "-", "Help Contents", "Help Index",
                          "Help Search", "-", "About", "Tell a friend", "-", "Exit"}));
    QCOMPARE(Captions(dialog.HelpButton().Menu()),
             QStringList({"Help &Contents", "Help &Index", "Help &Search", "-", "&Product Page", "C&ompany Page", "-",
                          "&Get Support", "&Tell a Friend", "-", "&About"}));
    QCOMPARE(Captions(dialog.SystemMenu()).mid(2), QStringList({"-", "&About Quillmere..."}));
    // A screen reader reads the tray menu's items by their captions.
    QAccessibleInterface* trayMenu = QAccessible::queryAccessibleInterface(&dialog.Menu());
    QVERIFY(trayMenu);
    QStringList read;
    for (int index = 0; index < trayMenu->childCount(); ++index)
        read << trayMenu->child(index)->text(QAccessible::Name);
    QCOMPARE(read.mid(0, 4), QStringList({"Show", "", "Start monitoring", "Stop monitoring"}));
    QCOMPARE(read.last(), QStringLiteral("Exit"));

    // Space on the focused help button opens its menu, as a click does.
    dialog.HelpButton().setFocus(Qt::TabFocusReason);
    QTest::keyClick(&dialog.HelpButton(), Qt::Key_Space);
    QTRY_VERIFY(dialog.HelpButton().Menu().isVisible());
    dialog.HelpButton().Menu().hide();
    QVERIFY(!dialog.HelpButton().MenuShown());

    // "Show" becomes the default item once the menu has been shown.
    dialog.HideToTray();
    QVERIFY(!dialog.Menu().defaultAction());
    tray.Send(TrayIcon::MouseEvent::RightDown, QPoint(600, 500));
    QTRY_VERIFY(dialog.Menu().isVisible());
    QVERIFY(!dialog.Menu().defaultAction());
    dialog.Menu().hide();
    QCOMPARE(dialog.Menu().defaultAction(), ActionOf(dialog.Menu(), command::kTrayShow));

    // The help button opens its menu below itself.
    dialog.HideToTray();
    tray.Send(TrayIcon::MouseEvent::LeftDoubleClick);
    QTest::mousePress(&dialog.HelpButton(), Qt::LeftButton);
    QTRY_VERIFY(dialog.HelpButton().Menu().isVisible());
    QVERIFY(dialog.HelpButton().MenuShown());
    QCOMPARE(dialog.HelpButton().Menu().pos().y(),
             dialog.HelpButton().mapToGlobal(dialog.HelpButton().rect().bottomLeft()).y());
    dialog.HelpButton().Menu().hide();
    QVERIFY(!dialog.HelpButton().MenuShown());
}

void CQuillmereDlgTest::webPagesOpenTheirConfiguredAddresses()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "Open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "Open");
    FakeTrayIcon tray;
    CQuillmereDlg dialog({tray, {}});
    for (int id : {command::kProductPage, command::kCompanyPage, command::kSupportPage, command::kTellAFriend})
        ActionOf(dialog.HelpButton().Menu(), id)->trigger();
    ActionOf(dialog.Menu(), command::kTrayTellAFriend)->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));

    QCOMPARE(catcher.opened.size(), 5);
    QCOMPARE(QSet<QUrl>(catcher.opened.begin(), catcher.opened.begin() + 4).size(), 4);
    QCOMPARE(catcher.opened[4], catcher.opened[3]);
    for (const QUrl& url : catcher.opened)
        QVERIFY2(url.isValid() && !url.host().isEmpty(), qPrintable(url.toString()));
}

void CQuillmereDlgTest::exitEndsTheRunWithTheIconRemoved()
{
    FakeTrayIcon tray;
    CQuillmereDlg dialog({tray, {}});
    QTimer::singleShot(0, &dialog, [&] {
        dialog.HideToTray();
        QVERIFY(tray.shown);
        // Hiding does not end the run; Exit does.
        QTimer::singleShot(0, &dialog, [&] { ActionOf(dialog.Menu(), command::kTrayExit)->trigger(); });
    });
    QCOMPARE(dialog.RunModal(), 0);
    QVERIFY(!tray.shown);
    QCOMPARE(tray.calls.last(), QStringLiteral("delete"));
    QVERIFY(dialog.isHidden());
}

void CQuillmereDlgTest::messageBoxShowsItsTextOnTheSkin()
{
    CMessageDlg box(QStringLiteral("There is already 1 printer monitored. <b>Please</b> remove it."));
    QCOMPARE(box.windowTitle(), QStringLiteral("Quillmere"));
    QVERIFY(box.isModal());
    QVERIFY(box.HasBackground());
    auto* text = qobject_cast<QLabel*>(box.Control(ids::control::kMessageText));
    QCOMPARE(text->textFormat(), Qt::PlainText);
    QCOMPARE(text->palette().color(QPalette::WindowText), QColor(80, 80, 80));
    QSignalSpy accepted(&box, &QDialog::accepted);
    box.show();
    QTest::mouseClick(box.Button(ids::control::kOk), Qt::LeftButton);
    QCOMPARE(accepted.count(), 1);
    QVERIFY(box.isHidden());
}

QTEST_MAIN(CQuillmereDlgTest)
#include "CQuillmereDlgTest.moc"
