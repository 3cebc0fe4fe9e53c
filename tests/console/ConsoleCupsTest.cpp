// The console's pages on a real private CUPS scheduler, and a real
// kestrun-host recording the printer they chose at the cost they set.
#include "CPageBar.h"
#include "CPrintersPage.h"
#include "CQuillmereDlg.h"
#include "CSettingsPage.h"
#include "CSkinButton.h"
#include "CStatusPage.h"
#include "ConsoleTestSupport.h"
#include "CupsServer.h"
#include "CupsSpooler.h"
#include "FakeTrayIcon.h"
#include "Files.h"
#include "PeriodKeys.h"
#include "Process.h"
#include "SettingsDocument.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <csignal>

using namespace ostrel;
using namespace ostrel::test;

class ConsoleCupsTest : public QObject {
    Q_OBJECT

private slots:
    void choosePrinterAndCostThenTheMonitorRecordsAtThatCost();
};

void ConsoleCupsTest::choosePrinterAndCostThenTheMonitorRecordsAtThatCost()
{
    ConsoleSandbox sandbox;
    CupsServer cups({"Laser"}, {"Inkjet"});
    cups.SetDefault("Laser");
    const std::string app = sandbox.AppFolder().toStdString();
    RegValueString appPath("Software\\Ostrel\\AppPath", "");
    appPath.Set(app);
    ConsoleSandbox::SetAppRuns(0);

    FakeTrayIcon tray;
    CQuillmereDlg console({tray, app, MakeCupsSpooler({cups.Address()}), [] { return std::optional<QString>(); }});
    console.show();
    QTRY_COMPARE_WITH_TIMEOUT(console.StatusPage().DefaultPrinterText(), QStringLiteral("Laser"), 20000);

    // Printers: Laser chosen and applied.
    CPrintersPage& printers = console.PrintersPage();
    QTest::mouseClick(console.PageBar().PageButton(1), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(printers.AllPrinters().count(), 2, 20000);
    printers.AllPrinters().setCurrentItem(printers.AllPrinters().findItems("Laser", Qt::MatchExactly).first());
    QTest::mouseClick(printers.Button(1011), Qt::LeftButton);
    QTest::mouseClick(printers.Button(1013), Qt::LeftButton);
    QCOMPARE(ReadWholeFile(std::filesystem::path(app) / "settings.xml"),
             std::string("<printers><name>Laser</name><ID>1</ID><cost>0</cost><monitored>1</monitored></printers>"));
    QCOMPARE(ConsoleSandbox::Dword("Reset"), 1u);

    // Settings: 7 cents a page.
    CSettingsPage& settings = console.SettingsPage();
    QTest::mouseClick(console.PageBar().PageButton(3), Qt::LeftButton);
    settings.Printers().setCurrentIndex(0);
    emit settings.Printers().activated(0);
    settings.Cost().setText("7");
    {
        ModalCatcher catcher;
        QTest::mouseClick(settings.Button(1045), Qt::LeftButton);
        QCOMPARE(catcher.texts.size(), 1);
    }
    QCOMPARE(SettingsDocument::InFolder(app).ReadMonitoredPrinters(), (std::vector<MonitoredPrinter>{{"Laser", "7"}}));

    // Start on the status page; the monitor reads it when it starts.
    QTest::mouseClick(console.PageBar().PageButton(0), Qt::LeftButton);
    QTest::mouseClick(console.StatusPage().Button(1047), Qt::LeftButton);
    QCOMPARE(ConsoleSandbox::AppRuns(), 1u);
    Process host(BuiltProgram("kestrun-host"), {},
                 {{"OSTREL_REGISTRY_ROOT", sandbox.Path("registry").toStdString()}, {"CUPS_SERVER", cups.Address()}});
    const auto yearLog = [&] {
        const std::string year = PeriodKeysAt(std::chrono::system_clock::now()).year;
        return ReadWholeFile(std::filesystem::path(app) / "Logs" / ("y_" + year + ".xml"));
    };
    // Probes until the monitor records one: then it certainly watches.
    bool watching = false;
    for (int probe = 1; probe <= 15 && !watching; ++probe) {
        const std::string title = "probe " + std::to_string(probe);
        cups.Submit({"Laser", "prober", title, cups.PdfWithPages(1)});
        watching = QTest::qWaitFor([&] { return yearLog().find(title) != std::string::npos; }, 15000);
    }
    QVERIFY2(watching, "the monitor recorded no job of the printer the console chose");
    cups.Submit({"Laser", "alice", "Budget", cups.PdfWithPages(3)});
    cups.Submit({"Inkjet", "alice", "Not watched", cups.PdfWithPages(1)});
    const std::string record =
        "<doc>Budget</doc><pages>3</pages><cost>21</cost><printer>Laser</printer><user>alice</user>";
    QVERIFY2(QTest::qWaitFor([&] { return yearLog().find(record) != std::string::npos; }, 90000), yearLog().c_str());
    QVERIFY(yearLog().find("Not watched") == std::string::npos);
    QVERIFY(host.Signal(SIGTERM));
    QVERIFY(host.Wait(std::chrono::seconds(10)));
}

QTEST_MAIN(ConsoleCupsTest)
#include "ConsoleCupsTest.moc"
