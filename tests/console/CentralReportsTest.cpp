// The reports page and the viewer with a central store: a private
// PostgreSQL server holding the jobs of three print servers.
#include "CPageBar.h"
#include "CQuillmereDlg.h"
#include "CReportViewerDlg.h"
#include "CReportsPage.h"
#include "CSkinButton.h"
#include "CentralTestSupport.h"
#include "ConsoleTestSupport.h"
#include "FakeSpooler.h"
#include "FakeTrayIcon.h"
#include "PeriodKeys.h"
#include "PostgresServer.h"
#include "PqDatabase.h"
#include "ReportEventsModel.h"
#include "ReportTestSupport.h"

#include <QComboBox>
#include <QHeaderView>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>

#include <functional>
#include <map>

using namespace ostrel;
namespace t = ostrel::test;

namespace {

QStringList Items(const QComboBox& list)
{
    QStringList items;
    for (int index = 0; index < list.count(); ++index)
        items << list.itemText(index);
    return items;
}

// Runs `look` on the first modal window that opens, then closes it; a
// message box's text is kept instead.
class ModalLook : public QObject {
public:
    explicit ModalLook(std::function<void(QWidget&)> look) : look_(std::move(look))
    {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            if (auto* text = modal->findChild<QLabel*>(QStringLiteral("control1056")))
                messages << text->text();
            else
                look_(*modal);
            modal->close();
        });
        timer_.start();
    }
    QStringList messages;

private:
    std::function<void(QWidget&)> look_;
    QTimer timer_;
};

}  // namespace

class CentralReportsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void withoutACentralStoreThePageIsAsBefore();
    void theChoiceLeadsTheListsAndTheViewerShowsEachServer();
    void aCentreOutOfReachSaysSoAndChangesNothing();

private:
    CReportsPage& Page()
    {
        // The page refreshes each time the page bar shows it.
        QTest::mouseClick(console_->PageBar().PageButton(0), Qt::LeftButton);
        QTest::mouseClick(console_->PageBar().PageButton(2), Qt::LeftButton);
        return console_->ReportsPage();
    }
    static void SetCentral(const std::string& conninfo)
    {
        RegValueString value("Software\\Ostrel\\CentralDatabase", "");
        value.Set(conninfo);
        value.Write();
    }
    static void Choose(QComboBox& list, const QString& text)
    {
        list.setCurrentIndex(list.findText(text));
        emit list.activated(list.currentIndex());
    }

    std::unique_ptr<t::ConsoleSandbox> sandbox_;
    std::unique_ptr<t::ReportAppFolder> folder_;
    std::unique_ptr<t::PostgresServer> server_;
    std::vector<t::CentralJob> jobs_;
    std::shared_ptr<FakeSpooler> spooler_ = std::make_shared<FakeSpooler>();
    FakeTrayIcon tray_;
    std::unique_ptr<CQuillmereDlg> console_;
};

void CentralReportsTest::initTestCase()
{
    sandbox_ = std::make_unique<t::ConsoleSandbox>();
    folder_ = std::make_unique<t::ReportAppFolder>();
    folder_->WriteSettings({{"Local laser", "1"}});
    server_ = std::make_unique<t::PostgresServer>();
    server_->ApplySchema();
    const auto now = std::chrono::system_clock::now();
    jobs_ = t::MakeSite(2000, now - std::chrono::days(400), now, now - std::chrono::days(30));
    const auto administrator = MakePqDatabase()->Open(server_->Conninfo());
    QVERIFY2(administrator.connection, administrator.error.c_str());
    t::InsertJobs(*administrator.connection, jobs_);
    console_ = std::make_unique<CQuillmereDlg>(
        ConsoleEnvironment{tray_, folder_->Path(), spooler_, [] { return std::optional<QString>(); }});
    console_->show();
}

void CentralReportsTest::withoutACentralStoreThePageIsAsBefore()
{
    SetCentral("");
    CReportsPage& page = Page();
    QVERIFY(!page.Servers().isVisible());
    QCOMPARE(Items(page.Printers()), QStringList{"Local laser"});
}

void CentralReportsTest::theChoiceLeadsTheListsAndTheViewerShowsEachServer()
{
    SetCentral(server_->Conninfo("ostrel_reader"));
    CReportsPage& page = Page();
    QVERIFY(page.Servers().isVisible());
    QCOMPARE(Items(page.Servers()), (QStringList{"This machine", "All servers", "east", "north", "south"}));
    QCOMPARE(page.Servers().currentIndex(), 0);
    QCOMPARE(Items(page.Printers()), QStringList{"Local laser"});

    Choose(page.Servers(), "north");
    QCOMPARE(Items(page.Printers()), (QStringList{"Colour", "Laser"}));
    QCOMPARE(page.Printers().currentIndex(), -1);
    Choose(page.Servers(), "All servers");
    QCOMPARE(Items(page.Printers()), (QStringList{"Büro Farbe", "Colour", "Laser", "Laser 2", "Plotter"}));
    QCOMPARE(Items(page.Users()), (QStringList{"alice", "bob", "carol", "jürgen"}));

    // This year on every server: each job with its server, and the
    // subtotals per server beside those per user and per printer.
    std::map<QString, qlonglong> pagesByServer;
    int jobs = 0;
    const std::string year = PeriodKeysAt(std::chrono::system_clock::now()).year;
    for (const t::CentralJob& job : jobs_)
        if (PeriodKeysAt(job.recorded).year == year) {
            ++jobs;
            pagesByServer[QString::fromStdString(job.server)] += job.pages;
        }
    page.Periods().setCurrentIndex(page.Periods().findText("This year"));
    bool looked = false;
    ModalLook look([&](QWidget& modal) {
        auto* viewer = qobject_cast<CReportViewerDlg*>(&modal);
        QVERIFY(viewer);
        looked = true;
        QVERIFY(viewer->ShowsTables());
        QTableView& table = viewer->Jobs();
        QCOMPARE(table.model()->rowCount(), jobs);
        QVERIFY(!table.isColumnHidden(ReportEventsModel::Server));
        // Beside the printer.
        QCOMPARE(table.horizontalHeader()->visualIndex(ReportEventsModel::Server), ReportEventsModel::Printer + 1);
        QCOMPARE(table.model()->headerData(ReportEventsModel::Server, Qt::Horizontal).toString(),
                 QStringLiteral("Server"));
        QStringList tabs;
        for (int tab = 0; tab < viewer->Tables().count(); ++tab)
            tabs << viewer->Tables().tabText(tab);
        QCOMPARE(tabs, (QStringList{"Jobs", "Per user", "Per printer", "Per server"}));
        auto* perServer = qobject_cast<QTableView*>(viewer->Tables().widget(3));
        std::map<QString, qlonglong> shown;
        for (int row = 0; row < perServer->model()->rowCount(); ++row)
            shown[perServer->model()->index(row, 0).data().toString()] =
                perServer->model()->index(row, 2).data().toLongLong();
        QCOMPARE(shown, pagesByServer);
        // The other zone of east is said in the caption.
        QVERIFY(viewer->Page().toPlainText().contains("times in this machine's zone"));
        viewer->ReportSizing(SizingEdge::BottomRight);
        viewer->resize(viewer->size() + QSize(300, 160));
        viewer->Tables().setCurrentIndex(0);
        QTest::qWait(50);
        viewer->grab().save(QStringLiteral(OSTREL_SCREENSHOT_DIR "/central-viewer.png"));
        viewer->Tables().setCurrentIndex(3);
        QTest::qWait(50);
        viewer->grab().save(QStringLiteral(OSTREL_SCREENSHOT_DIR "/central-viewer-per-server.png"));
    });
    QTest::mouseClick(page.Button(1057), Qt::LeftButton);
    QVERIFY(looked);
    QCOMPARE(look.messages, QStringList());
    page.grab().save(QStringLiteral(OSTREL_SCREENSHOT_DIR "/central-reports-page.png"));
}

void CentralReportsTest::aCentreOutOfReachSaysSoAndChangesNothing()
{
    SetCentral("host=" + (std::filesystem::path(folder_->Path()) / "nowhere").string() + " dbname=ostrel");
    CReportsPage& page = Page();
    QCOMPARE(Items(page.Servers()), (QStringList{"This machine", "All servers"}));
    ModalLook look([](QWidget&) {});
    Choose(page.Servers(), "All servers");
    QCOMPARE(look.messages.size(), 1);
    QVERIFY2(look.messages[0].startsWith("The central database cannot be reached: "), qPrintable(look.messages[0]));
    QCOMPARE(page.Servers().currentIndex(), 0);
    QCOMPARE(Items(page.Printers()), QStringList{"Local laser"});
}

QTEST_MAIN(CentralReportsTest)
#include "CentralReportsTest.moc"
