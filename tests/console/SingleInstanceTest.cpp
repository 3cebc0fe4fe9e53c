// One console per session, with real Quillmere processes: a later start
// brings the first copy forward and ends, and a killed copy's socket does
// not stop the next start.
#include "CQuillmereDlg.h"
#include "ConsoleTestSupport.h"
#include "FakeTrayIcon.h"
#include "SingleInstance.h"

#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using namespace ostrel;
using namespace ostrel::test;

namespace {

std::unique_ptr<QProcess> StartConsole()
{
    auto process = std::make_unique<QProcess>();
    process->setProgram(QStringLiteral(QUILLMERE_PATH));
    // Arguments are ignored: they must not change anything.
    process->setArguments({QStringLiteral("--anything"), QStringLiteral("at all")});
    process->start();
    return process;
}

bool Listening()
{
    QLocalSocket probe;
    probe.connectToServer(SingleInstance::ServerName());
    return probe.waitForConnected(200);
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { sandbox_ = std::make_unique<ConsoleSandbox>(); }
    void laterStartShowsTheFirstCopyAndEnds();
    void killedCopyDoesNotStopTheNextStart();

private:
    std::unique_ptr<ConsoleSandbox> sandbox_;
};

void SingleInstanceTest::laterStartShowsTheFirstCopyAndEnds()
{
    QVERIFY(SingleInstance::ServerName().startsWith(sandbox_->Path(QStringLiteral("runtime/"))));
    // This process is the first copy, hidden in the tray.
    SingleInstance first;
    QVERIFY(first.Claim());
    QVERIFY(first.Listening());
    FakeTrayIcon tray;
    CQuillmereDlg dialog({tray, {}});
    connect(&first, &SingleInstance::ShowRequested, &dialog, &CQuillmereDlg::ShowFromOtherStart);
    dialog.show();
    dialog.HideToTray();
    QVERIFY(dialog.isHidden());

    const auto second = StartConsole();
    QSignalSpy ended(second.get(), &QProcess::finished);
    QTRY_VERIFY_WITH_TIMEOUT(!ended.isEmpty(), 20000);
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(second->readAllStandardError().contains("already runs"));
    QVERIFY(dialog.isVisible());
    QVERIFY(tray.shown);
}

void SingleInstanceTest::killedCopyDoesNotStopTheNextStart()
{
    const auto killed = StartConsole();
    QTRY_VERIFY_WITH_TIMEOUT(Listening(), 20000);
    killed->kill();
    QVERIFY(killed->waitForFinished(10000));
    QVERIFY(QFile::exists(SingleInstance::ServerName()));
    QVERIFY(!Listening());

    const auto next = StartConsole();
    QTRY_VERIFY_WITH_TIMEOUT(Listening(), 20000);
    QCOMPARE(next->state(), QProcess::Running);
    const auto later = StartConsole();
    QVERIFY(later->waitForFinished(20000));
    QCOMPARE(later->exitCode(), 0);
    QCOMPARE(next->state(), QProcess::Running);

    // A stop request ends the console as Exit does.
    next->terminate();
    QVERIFY(next->waitForFinished(10000));
    QCOMPARE(next->exitStatus(), QProcess::NormalExit);
    QCOMPARE(next->exitCode(), 0);
}

QTEST_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
