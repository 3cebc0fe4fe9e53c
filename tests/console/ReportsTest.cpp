// The reports page, the status page's quick reports and the report viewer,
// on an application folder whose period files the monitor's own writer made.
#include "CPageBar.h"
#include "CQuillmereDlg.h"
#include "CReportViewerDlg.h"
#include "CReportsPage.h"
#include "CSkinButton.h"
#include "CStatusPage.h"
#include "ConsoleTestSupport.h"
#include "FakeSpooler.h"
#include "FakeTrayIcon.h"
#include "Files.h"
#include "JobRecorder.h"
#include "ReportAccess.h"
#include "ReportDocument.h"
#include "ReportPeriod.h"
#include "ReportTestSupport.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>

using namespace ostrel;
namespace t = ostrel::test;

namespace {

const QString kViewer = QStringLiteral("Quillmere - Report");

// A period file of `events` jobs as the monitor writes them, in memory.
std::string PeriodFile(int events)
{
    std::string file(525, ' ');
    PrintJob job;
    job.submitted = {2026, 3, 4, 5, 9, 30, 0, 0};
    for (int i = 0; i < events; ++i) {
        job.document = "Report " + std::to_string(i) + ".pdf";
        job.user = "user" + std::to_string(i % 50);
        job.totalPages = static_cast<std::uint32_t>(i % 20 + 1);
        file += JobRecorder::EventText(job, "5", "Printer " + std::to_string(i % 5));
    }
    return file;
}

// The report document of a period file as the console must write it: header
// and caption over the leading blanks, the records, "</log>".
std::string Expected(const std::string& periodFile, const char* stylesheet, const std::string& caption)
{
    const std::string head = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" ?><?xml-stylesheet href='") +
                             stylesheet + "' type='text/xsl'?><log>" + caption;
    return head + periodFile.substr(head.size()) + "</log>";
}

}  // namespace

class ReportsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void everyWayToAskWritesTheDocumentAndOpensTheViewer_data();
    void everyWayToAskWritesTheDocumentAndOpensTheViewer();
    void askingWithoutAChoiceOrAReportTellsOrDoesNothing_data();
    void askingWithoutAChoiceOrAReportTellsOrDoesNothing();
    void viewerKeysResizeAndFind();
    void anAdministratorsOwnStylesheetIsShownAsWritten();
    void anAccountOutsideTheGroupIsToldOnceAndAskedReportsGetTheSameAnswer();

private:
    std::string File(const std::string& tail) const
    {
        return ReadFileBytes(std::filesystem::path(folder_->Path()) / tail).value_or("(missing)");
    }

    std::unique_ptr<t::ConsoleSandbox> sandbox_;
    std::unique_ptr<t::ReportAppFolder> folder_;
    std::shared_ptr<FakeSpooler> spooler_ = std::make_shared<FakeSpooler>();
    FakeTrayIcon tray_;  // outlives the console, which lets go of it when it goes
    std::unique_ptr<CQuillmereDlg> console_;
    t::Totals recorded_;
};

void ReportsTest::initTestCase()
{
    sandbox_ = std::make_unique<t::ConsoleSandbox>();
    folder_ = std::make_unique<t::ReportAppFolder>();
    // Laser is listed twice: its last entry's ID (2) is the one reported.
    folder_->WriteSettings({{"Laser", "1"}, {"Laser", "2"}, {"Ghost", ""}});
    recorded_ = folder_->Record({{"alice", "Laser", "Budget", 3}, {"bob", "Laser", "Minutes", 2}},
                                std::chrono::system_clock::now());
    std::string settings = File("settings.xml");
    settings.replace(settings.find("<users>"), 7, "<users><username>carol</username>");
    QVERIFY(ReplaceFile(std::filesystem::path(folder_->Path()) / "settings.xml", settings));
    spooler_->SetDefaultPrinter("Laser");
}

void ReportsTest::init()
{
    console_ = std::make_unique<CQuillmereDlg>(
        ConsoleEnvironment{tray_, folder_->Path(), spooler_, [] { return std::optional<QString>(); }});
    console_->show();
    QTRY_COMPARE(console_->StatusPage().DefaultPrinterText(), QStringLiteral("Laser"));
    QTest::mouseClick(console_->PageBar().PageButton(2), Qt::LeftButton);
}

void ReportsTest::everyWayToAskWritesTheDocumentAndOpensTheViewer_data()
{
    const auto today = [](ReportKind kind) { return ResolvePeriod("Today", kind, SystemClock())->FileName(); };
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("periodFile");
    QTest::addColumn<QString>("stylesheet");
    QTest::newRow("printer") << "printer"
                             << QString::fromStdString("Logs/Printers/Printer_2/" + today(ReportKind::Printer))
                             << "printers.xsl";
    QTest::newRow("user") << "user" << QString::fromStdString("Logs/Users/bob/" + today(ReportKind::User))
                          << "users.xsl";
    QTest::newRow("aggregated") << "aggregated" << QString::fromStdString("Logs/" + today(ReportKind::Aggregated))
                                << "style.xsl";
    QTest::newRow("default printer") << "default printer"
                                     << QString::fromStdString("Logs/Printers/Printer_2/" + today(ReportKind::Printer))
                                     << "printers.xsl";
    QTest::newRow("current user") << "current user" << QString() << "users.xsl";
}

void ReportsTest::everyWayToAskWritesTheDocumentAndOpensTheViewer()
{
    QFETCH(QString, way);
    QFETCH(QString, periodFile);
    QFETCH(QString, stylesheet);
    CReportsPage& page = console_->ReportsPage();
    QCOMPARE(page.Periods().count(), 12);
    QCOMPARE(page.Periods().currentText(), QStringLiteral("Today"));
    QCOMPARE(page.Printers().count(), 3);  // Laser twice, as settings.xml lists it, and Ghost
    QCOMPARE(page.Printers().currentIndex(), -1);
    QCOMPARE(page.Users().itemText(0), QStringLiteral("carol"));
    QCOMPARE(page.Users().currentIndex(), -1);
    // An earlier report's document is replaced whole.
    QVERIFY(ReplaceFile(std::filesystem::path(folder_->Path()) / "Logs/DisplayReport.xml", std::string(100000, 'x')));

    t::ModalCatcher catcher;
    if (way == "printer") {
        page.Printers().setCurrentIndex(page.Printers().findText("Laser"));
        QTest::mouseClick(page.Button(1003), Qt::LeftButton);
    } else if (way == "user") {
        page.Users().setCurrentIndex(page.Users().findText("bob"));
        QTest::mouseClick(page.Button(1005), Qt::LeftButton);
    } else if (way == "aggregated") {
        QTest::mouseClick(page.Button(1057), Qt::LeftButton);
    } else if (way == "default printer") {
        QTest::mouseClick(console_->StatusPage().Button(1053), Qt::LeftButton);
    } else {
        // The user this test runs as has printed nothing.
        QTest::mouseClick(console_->StatusPage().Button(1054), Qt::LeftButton);
        QCOMPARE(catcher.texts, QStringList{"The report your are trying to view does not exists."});
        return;
    }
    QCOMPARE(catcher.texts, QStringList{kViewer});
    const ReportKind kind = way == "user"         ? ReportKind::User
                            : way == "aggregated" ? ReportKind::Aggregated
                                                  : ReportKind::Printer;
    const std::string caption = ResolvePeriod("Today", kind, SystemClock())->caption;
    QCOMPARE(File("Logs/DisplayReport.xml"),
             Expected(File(periodFile.toStdString()), stylesheet.toLatin1().constData(), caption));
}

void ReportsTest::askingWithoutAChoiceOrAReportTellsOrDoesNothing_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("no printer chosen") << "no printer" << QStringList{};
    QTest::newRow("no user chosen") << "no user" << QStringList{};
    QTest::newRow("no period chosen") << "no period" << QStringList{};
    QTest::newRow("a printer without an ID")
        << "ghost" << QStringList{"The selected printer is not monitored. Please check the Printers menu."};
    QTest::newRow("the default printer without an ID")
        << "default ghost" << QStringList{"The default printer is not monitored. Please check the Printers menu."};
    QTest::newRow("a period without a file")
        << "last year" << QStringList{"The report your are trying to view does not exists."};
    QTest::newRow("the document cannot be written")
        << "unwritable"
        << QStringList{
               "The report your are trying to view cannot be displayed. File could not be copyed to report "
               "folder."};
}

void ReportsTest::askingWithoutAChoiceOrAReportTellsOrDoesNothing()
{
    QFETCH(QString, situation);
    QFETCH(QStringList, messages);
    CReportsPage& page = console_->ReportsPage();
    const std::filesystem::path document = std::filesystem::path(folder_->Path()) / "Logs/DisplayReport.xml";
    std::filesystem::remove_all(document);
    t::ModalCatcher catcher;
    if (situation == "no printer")
        QTest::mouseClick(page.Button(1003), Qt::LeftButton);
    else if (situation == "no user")
        QTest::mouseClick(page.Button(1005), Qt::LeftButton);
    else if (situation == "no period") {
        page.Periods().setCurrentIndex(-1);
        QTest::mouseClick(page.Button(1057), Qt::LeftButton);
    } else if (situation == "ghost") {
        page.Printers().setCurrentIndex(page.Printers().findText("Ghost"));
        QTest::mouseClick(page.Button(1003), Qt::LeftButton);
    } else if (situation == "default ghost") {
        spooler_->SetDefaultPrinter("Ghost");
        QTest::mouseClick(console_->PageBar().PageButton(0), Qt::LeftButton);
        QTRY_COMPARE(console_->StatusPage().DefaultPrinterText(), QStringLiteral("Ghost"));
        spooler_->SetDefaultPrinter("Laser");
        QTest::mouseClick(console_->StatusPage().Button(1053), Qt::LeftButton);
    } else if (situation == "last year") {
        page.Periods().setCurrentIndex(page.Periods().findText("Last year"));
        QTest::mouseClick(page.Button(1057), Qt::LeftButton);
    } else {
        std::filesystem::create_directory(document);
        QTest::mouseClick(page.Button(1057), Qt::LeftButton);
        std::filesystem::remove(document);
    }
    QCOMPARE(catcher.texts, messages);
    QVERIFY(!std::filesystem::exists(document));
}

void ReportsTest::viewerKeysResizeAndFind()
{
    const std::string periodFile = PeriodFile(100000);
    QElapsedTimer clock;
    clock.start();
    CReportViewerDlg viewer({BuildReportDocument(periodFile, ReportKind::Aggregated, "<period>This year</period>"),
                             folder_->Logs(), ReportKind::Aggregated});
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    qInfo("shown after %lld ms", clock.elapsed());
    QVERIFY(viewer.ShowsTables());
    QCOMPARE(viewer.Jobs().model()->rowCount(), 100000);
    QCOMPARE(viewer.Tables().count(), 3);  // the jobs, per user, per printer
    QVERIFY(viewer.Totals().text().contains("100000"));
    QVERIFY(viewer.Page().toPlainText().contains("This year"));

    // A resize stretches the report and moves the buttons by as much.
    QWidget* area = viewer.Control(1008);
    QWidget* find = viewer.Control(1);
    const QRect areaBefore = area->geometry();
    const QRect findBefore = find->geometry();
    const QSize initial = viewer.size();
    viewer.ReportSizing(SizingEdge::BottomRight);
    viewer.resize(initial + QSize(120, 80));
    QTRY_COMPARE(find->geometry(), findBefore.translated(120, 80));
    QCOMPARE(area->geometry(), areaBefore.adjusted(0, 0, 120, 80));
    viewer.ReportSizing(SizingEdge::BottomRight);
    viewer.resize(initial - QSize(100, 100));
    QCOMPARE(viewer.size(), initial);

    // Enter opens the find and finds; it never closes.
    QTest::keyClick(&viewer, Qt::Key_Return);
    QVERIFY(viewer.FindField().isVisible());
    viewer.FindField().setText("Report 99999.pdf");
    clock.restart();
    QTest::keyClick(&viewer.FindField(), Qt::Key_Return);
    qInfo("found after %lld ms", clock.elapsed());
    QVERIFY(viewer.isVisible());
    const QModelIndex current = viewer.Jobs().currentIndex();
    QCOMPARE(current.row(), 99999);
    QCOMPARE(current.siblingAtColumn(2).data().toString(), QStringLiteral("Report 99999.pdf"));
    QVERIFY(viewer.Jobs().visualRect(current).intersects(viewer.Jobs().viewport()->rect()));
    QVERIFY(!viewer.Find("no such job"));
    // Sorting by pages puts a 20-page job first, descending.
    viewer.Jobs().sortByColumn(5, Qt::DescendingOrder);
    QCOMPARE(viewer.Jobs().model()->index(0, 5).data().toString(), QStringLiteral("20"));

    // The background drags the window.
    const QPoint from(20, viewer.height() - 20);
    const QPoint origin = viewer.pos();
    const auto mouse = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent event(type, at, viewer.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(&viewer, &event);
    };
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    mouse(QEvent::MouseMove, from + QPoint(30, 12), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, from + QPoint(30, 12), Qt::NoButton);
    QCOMPARE(viewer.pos(), origin + QPoint(30, 12));

    QTest::keyClick(&viewer, Qt::Key_Escape);
    QVERIFY(!viewer.isVisible());
}

void ReportsTest::anAdministratorsOwnStylesheetIsShownAsWritten()
{
    QVERIFY(ReplaceFile(folder_->Logs() / "mine.xsl",
                        "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                        "<xsl:template match='/'><html><body><p>Our own: <xsl:value-of select='count(log/event)'/> jobs"
                        "</p></body></html></xsl:template></xsl:stylesheet>"));
    std::string document = BuildReportDocument(PeriodFile(3), ReportKind::Aggregated, "<period>Today</period>");
    document.replace(document.find("style.xsl"), 9, "mine.xsl");
    CReportViewerDlg viewer({document, folder_->Logs(), ReportKind::Aggregated});
    QVERIFY(!viewer.ShowsTables());
    QCOMPARE(viewer.Page().toPlainText().trimmed(), QStringLiteral("Our own: 3 jobs"));
    // Saved, the report is that page, or its jobs as CSV.
    const std::string html = (folder_->Logs() / "saved.html").string();
    QVERIFY(viewer.SaveAs(QString::fromStdString(html)));
    QVERIFY(File("Logs/saved.html").find("Our own: 3 jobs") != std::string::npos);
    QVERIFY(viewer.SaveAs(QString::fromStdString((folder_->Logs() / "saved.csv").string())));
    QVERIFY(File("Logs/saved.csv").starts_with("day,month,year,hour,min,doc,pages,cost,printer,user\r\n"));
}

void ReportsTest::anAccountOutsideTheGroupIsToldOnceAndAskedReportsGetTheSameAnswer()
{
    const QString denied = QString::fromStdString(ReportsDeniedText("nobody", "ostrel"));
    QVERIFY(denied.contains(QStringLiteral("adduser nobody ostrel")));
    t::ModalCatcher catcher;
    console_ = std::make_unique<CQuillmereDlg>(ConsoleEnvironment{tray_, folder_->Path(), spooler_,
                                                                  [] { return std::optional<QString>(); }, nullptr,
                                                                  [denied] { return std::optional<QString>(denied); }});
    console_->show();
    QTest::qWait(50);
    QCOMPARE(catcher.texts, QStringList{});  // nothing before the reports are opened

    // Once when the reports page is first shown, not again when it is
    // shown anew; every report asked for gets the answer, never "does not
    // exists".
    QTest::mouseClick(console_->PageBar().PageButton(2), Qt::LeftButton);
    QTest::mouseClick(console_->PageBar().PageButton(0), Qt::LeftButton);
    QTest::mouseClick(console_->PageBar().PageButton(2), Qt::LeftButton);
    QCOMPARE(catcher.texts, QStringList{denied});
    QTest::mouseClick(console_->ReportsPage().Button(1057), Qt::LeftButton);
    QTest::mouseClick(console_->StatusPage().Button(1053), Qt::LeftButton);
    QTest::mouseClick(console_->StatusPage().Button(1054), Qt::LeftButton);
    QCOMPARE(catcher.texts, QStringList(4, denied));
}

QTEST_MAIN(ReportsTest)
#include "ReportsTest.moc"
