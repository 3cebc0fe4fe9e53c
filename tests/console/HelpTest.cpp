// The help compiled at build time, opened as the console opens it.
#include "CMessageDlg.h"
#include "CQuillmereDlg.h"
#include "ConsoleHelp.h"
#include "ConsoleTestSupport.h"
#include "FakeTrayIcon.h"
#include "HelpWindow.h"

#include <QHelpSearchEngine>
#include <QSignalSpy>
#include <QTest>

using namespace ostrel;
using namespace ostrel::test;

class HelpTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { ConsoleHelp::CloseWindow(); }
    void collectionHoldsTheIntroductionAndFindsLessons();
    void commandsOpenTheirViews_data();
    void commandsOpenTheirViews();
    void missingHelpOpensNothing();
    void f1OpensTheContents();

private:
    std::unique_ptr<ConsoleSandbox> sandbox_;
};

void HelpTest::initTestCase()
{
    sandbox_ = std::make_unique<ConsoleSandbox>();
    for (const QString name : {"Ostrel.qch", "Ostrel.qhc"})
        QVERIFY(QFile::copy(QStringLiteral(OSTREL_HELP_DIR "/") + name, sandbox_->AppFolder() + "/" + name));
}

void HelpTest::collectionHoldsTheIntroductionAndFindsLessons()
{
    // The collection as built, opened where it lies, read-only.
    HelpWindow window({sandbox_->AppFolder() + QStringLiteral("/Ostrel.qhc"), true});
    QVERIFY(window.Ready());
    const QByteArray introduction = window.Engine().fileData(QUrl(IntroductionTopicUrl()));
    QVERIFY(introduction.contains("<html"));
    QCOMPARE(window.CurrentTopic(), QUrl(IntroductionTopicUrl()));
    // Every topic of the contents can be read.
    const QList<QUrl> topics = window.Engine().files(QLatin1String(kHelpNamespace), QString(), QStringLiteral("htm"));
    QVERIFY(topics.size() >= 8);
    for (const QUrl& topic : topics)
        QVERIFY2(!window.Engine().fileData(topic).isEmpty(), qPrintable(topic.toString()));
}

void HelpTest::commandsOpenTheirViews_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("view");
    QTest::newRow("contents") << "contents" << int(HelpWindow::View::Contents);
    QTest::newRow("index") << "index" << int(HelpWindow::View::Index);
    QTest::newRow("search, empty") << "search" << int(HelpWindow::View::Search);
    QTest::newRow("search for lesson") << "lesson" << int(HelpWindow::View::Search);
}

void HelpTest::commandsOpenTheirViews()
{
    QFETCH(QString, command);
    QFETCH(int, view);
    ConsoleHelp help(sandbox_->AppFolder().toStdString());
    const bool opened = command == "contents" ? help.Contents()
                        : command == "index"  ? help.Index()
                        : command == "search" ? help.Search(QString())
                                              : help.Search(QStringLiteral("lesson"));
    QVERIFY(opened);
    HelpWindow* window = ConsoleHelp::OpenWindow();
    QVERIFY(window && window->isVisible());
    QCOMPARE(int(window->CurrentView()), view);
    // The per-user copy of the collection, not the application folder's.
    QVERIFY2(window->CollectionFile().startsWith(sandbox_->Path(QStringLiteral("cache"))),
             qPrintable(window->CollectionFile()));
    if (command == "lesson") {
        QSignalSpy finished(window, &HelpWindow::SearchFinished);
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 20000);
        QVERIFY(finished.first().first().toInt() >= 1);
        const auto hits = window->Engine().searchEngine()->searchResults(0, 100);
        QVERIFY(std::any_of(hits.begin(), hits.end(),
                            [](const QHelpSearchResult& hit) { return hit.url() == QUrl(IntroductionTopicUrl()); }));
    }
}

void HelpTest::missingHelpOpensNothing()
{
    for (const QString& folder : {sandbox_->Path(QStringLiteral("nowhere")), QString()}) {
        ConsoleHelp help(folder.toStdString());
        QVERIFY(!help.Contents());
        QVERIFY(!help.Search(QStringLiteral("lesson")));
        QVERIFY(!ConsoleHelp::OpenWindow());
    }
    // A file that is not Ostrel's help.
    QFile bogus(sandbox_->Path(QStringLiteral("bogus/Ostrel.qch")));
    QDir().mkpath(sandbox_->Path(QStringLiteral("bogus")));
    QVERIFY(bogus.open(QIODevice::WriteOnly));
    bogus.write("not a help file");
    bogus.close();
    QVERIFY(!ConsoleHelp(sandbox_->Path(QStringLiteral("bogus")).toStdString()).Index());
    QVERIFY(!ConsoleHelp::OpenWindow());
}

void HelpTest::f1OpensTheContents()
{
    FakeTrayIcon tray;
    CQuillmereDlg dialog({tray, sandbox_->AppFolder().toStdString()});
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_F1);
    QVERIFY(ConsoleHelp::OpenWindow() && ConsoleHelp::OpenWindow()->isVisible());
    QCOMPARE(ConsoleHelp::OpenWindow()->CurrentView(), HelpWindow::View::Contents);
    ConsoleHelp::CloseWindow();

    // The message box reads the application folder afresh from AppPath.
    RegValueString appPath("Software\\Ostrel\\AppPath", "");
    appPath.Set(sandbox_->AppFolder().toStdString());
    CMessageDlg box(QStringLiteral("Printed."));
    box.show();
    QTest::keyClick(&box, Qt::Key_F1);
    QVERIFY(ConsoleHelp::OpenWindow() && ConsoleHelp::OpenWindow()->isVisible());
}

QTEST_MAIN(HelpTest)
#include "HelpTest.moc"
