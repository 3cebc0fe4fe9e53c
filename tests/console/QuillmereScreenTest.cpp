// The real main window on a virtual X server with a real notification
// area (trayer): what the screen shows, hiding into the tray and coming
// back by a double click on the icon. Leaves the screenshots
// tests/quillmere.png, tests/quillmere-tray.png and one of each page,
// tests/quillmere-page-N.png, and the report viewer with a few hundred
// jobs, tests/quillmere-report.png, and the e-mail settings,
// tests/quillmere-email.png, in the build folder.
#include "CPageBar.h"
#include "CPrintersPage.h"
#include "CQuillmereDlg.h"
#include "CReportViewerDlg.h"
#include "EmailSettingsDialog.h"
#include "FakeProcessLauncher.h"
#include "SaveRights.h"
#include "JobRecorder.h"
#include "ReportDocument.h"
#include "CSkinButton.h"
#include "ColourKey.h"
#include "ConsoleTestSupport.h"
#include "FakeSpooler.h"
#include "Files.h"
#include "SkinResources.h"
#include "SystemTrayIcon.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>

using namespace ostrel;
using namespace ostrel::test;

namespace {

QImage Screen()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class QuillmereScreenTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void windowShowsItsPictureAndComesBackFromTheTray();
    void everyPageForALook();
    void viewerForALook();
    void emailSettingsForALook();

private:
    std::unique_ptr<ConsoleSandbox> sandbox_;
    QProcess trayer_;
};

void QuillmereScreenTest::initTestCase()
{
    sandbox_ = std::make_unique<ConsoleSandbox>();
    ConsoleSandbox::SetAppRuns(1);
    trayer_.start(QStringLiteral("trayer"), {"--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width",
                                             "96", "--heighttype", "pixel", "--height", "32"});
    QVERIFY2(trayer_.waitForStarted(), "trayer, the notification area of this test, does not start");
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
}

void QuillmereScreenTest::cleanupTestCase()
{
    trayer_.kill();
    trayer_.waitForFinished();
}

void QuillmereScreenTest::windowShowsItsPictureAndComesBackFromTheTray()
{
    SystemTrayIcon tray;
    CQuillmereDlg dialog({tray, sandbox_->AppFolder().toStdString()});
    dialog.move(40, 30);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.repaint();
    QCoreApplication::processEvents();

    // The band between the title and the pages is the picture alone; its
    // key-coloured corners show the screen beneath.
    const QImage screen = Screen();
    QVERIFY(screen.save(QStringLiteral(OSTREL_SCREENSHOT_DIR "/quillmere.png")));
    const QImage picture =
        SkinResources::Bitmap(ids::bitmap::kMainWindow).toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint origin = dialog.geometry().topLeft();
    const QRgb beneath = screen.pixel(5, 5);
    for (int y = 62; y < 78; ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb painted = picture.pixel(x, y);
            const QRgb expected = painted == ColourKey::kRgb ? beneath : painted;
            QVERIFY2(screen.pixel(origin + QPoint(x, y)) == expected,
                     qPrintable(QStringLiteral("at %1,%2").arg(x).arg(y)));
        }
    }
    QCOMPARE(QColor(screen.pixel(origin + QPoint(300, 200))), QColor(Qt::white));  // the status page

    // Escape hides into the tray; a double click on the icon brings it back.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QTRY_VERIFY(!dialog.isVisible());
    QVERIFY(dialog.IconShown());
    QTRY_VERIFY_WITH_TIMEOUT(!tray.Geometry().isEmpty(), 10000);
    QTest::qWait(300);
    QVERIFY(Screen().save(QStringLiteral(OSTREL_SCREENSHOT_DIR "/quillmere-tray.png")));
    const QPoint icon = tray.Geometry().center();
    QProcess click;
    click.start(QStringLiteral("xdotool"), {"mousemove", QString::number(icon.x()), QString::number(icon.y()), "click",
                                            "--repeat", "2", "--delay", "60", "1"});
    QVERIFY2(click.waitForFinished(10000) && click.exitCode() == 0, "xdotool does not click");
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isVisible(), 10000);
    QVERIFY(!dialog.IconShown());
}

void QuillmereScreenTest::everyPageForALook()
{
    auto spooler = std::make_shared<FakeSpooler>();
    spooler->SetPrinterNames(std::vector<std::string>{"Laser-3rd-Floor", "Colour-Plotter", "Front-Desk"});
    spooler->SetDefaultPrinter("Laser-3rd-Floor");
    QVERIFY(ReplaceFile(sandbox_->AppFolder().toStdString() + "/settings.xml",
                        "<log><printers><name>Laser-3rd-Floor</name><ID>1</ID><cost>4</cost><monitored>1</monitored>"
                        "</printers><users></users></log>"));
    SystemTrayIcon tray;
    CQuillmereDlg dialog({tray, sandbox_->AppFolder().toStdString(), spooler, [] { return std::optional<QString>(); }});
    dialog.move(40, 30);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (int index = 0; index < 4; ++index) {
        QTest::mouseClick(dialog.PageBar().PageButton(index), Qt::LeftButton);
        if (index == 1)
            QTRY_COMPARE(dialog.PrintersPage().AllPrinters().count(), 3);
        QTest::qWait(200);
        dialog.repaint();
        QCoreApplication::processEvents();
        const QImage shot = Screen().copy(dialog.geometry());
        QVERIFY(shot.save(QStringLiteral(OSTREL_SCREENSHOT_DIR "/quillmere-page-%1.png").arg(index)));
    }
}

void QuillmereScreenTest::viewerForALook()
{
    const std::filesystem::path logs = sandbox_->AppFolder().toStdString() + "/Logs";
    std::filesystem::create_directories(logs);
    std::filesystem::copy_file(OSTREL_DATA_DIR "/style.xsl", logs / "style.xsl",
                               std::filesystem::copy_options::overwrite_existing);
    std::string periodFile(525, ' ');
    PrintJob job;
    job.submitted = {2026, 12, 2, 9, 8, 15, 0, 0};
    const char* users[] = {"alice", "bob", "carol", "dave", "erin"};
    const char* documents[] = {"Quarterly report.pdf", "Minutes of the board.odt", "Invoice 2026-117.pdf",
                               "Floor plan.png", "Budget 2027.xlsx"};
    for (int i = 0; i < 300; ++i) {
        job.document = documents[i % 5];
        job.user = users[(i * 7) % 5];
        job.totalPages = static_cast<std::uint32_t>((i * 13) % 24 + 1);
        job.submitted.hour = static_cast<std::uint16_t>(8 + i % 10);
        job.submitted.minute = static_cast<std::uint16_t>((i * 17) % 60);
        periodFile += JobRecorder::EventText(job, i % 3 ? "4" : "12", i % 3 ? "Laser-3rd-Floor" : "Colour-Plotter");
    }
    CReportViewerDlg viewer({BuildReportDocument(periodFile, ReportKind::Aggregated, "<period>This week</period>"),
                             logs, ReportKind::Aggregated});
    viewer.move(40, 30);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    // Enlarged as a user would, by its corner.
    viewer.ReportSizing(SizingEdge::BottomRight);
    viewer.resize(900, 620);
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QVERIFY(viewer.ShowsTables());
    viewer.OpenFind();
    viewer.FindField().setText("Budget");
    QVERIFY(viewer.Find("Budget"));
    QTest::qWait(200);
    viewer.repaint();
    QCoreApplication::processEvents();
    QVERIFY(Screen().copy(viewer.geometry()).save(QStringLiteral(OSTREL_SCREENSHOT_DIR "/quillmere-report.png")));
}

void QuillmereScreenTest::emailSettingsForALook()
{
    FakeProcessLauncher launcher;
    SaveRights rights(sandbox_->AppFolder().toStdString(), [] { return std::optional<QString>(); });
    StoreMailSettings({"alice@example.org", "", "", "", "", "", "", 0});
    EmailSettingsDialog dialog(sandbox_->AppFolder().toStdString(), launcher, rights);
    dialog.FillDefaults();
    dialog.move(40, 30);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.repaint();
    QCoreApplication::processEvents();
    QVERIFY(Screen().copy(dialog.geometry()).save(QStringLiteral(OSTREL_SCREENSHOT_DIR "/quillmere-email.png")));
}

QTEST_MAIN(QuillmereScreenTest)
#include "QuillmereScreenTest.moc"
