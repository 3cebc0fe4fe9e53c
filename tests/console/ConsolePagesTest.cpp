// The status, printers and settings pages with the spooler in memory, on a
// registry store and application folder of their own.
#include "CPageBar.h"
#include "CPrintersPage.h"
#include "CQuillmereDlg.h"
#include "CSettingsPage.h"
#include "CSkinButton.h"
#include "CStatusPage.h"
#include "Clock.h"
#include "ConsoleTestSupport.h"
#include "FakeSpooler.h"
#include "FakeTrayIcon.h"
#include "Clock.h"
#include "Files.h"
#include "RegValue.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <future>

using namespace ostrel;
using namespace ostrel::test;

namespace {

constexpr const char* kMissing = "(missing)";

// A spooler whose first printer list waits until the test lets it go, as
// a slow scheduler's would; the later ones answer at once.
class GatedSpooler final : public Spooler {
public:
    explicit GatedSpooler(std::shared_ptr<FakeSpooler> inner) : inner_(std::move(inner)) {}

    void Open() { gate_.set_value(); }

    SpoolerResult<std::unique_ptr<SpoolerPrinter>> OpenPrinter(std::string_view name) override
    {
        return inner_->OpenPrinter(name);
    }
    SpoolerResult<std::vector<std::string>> PrinterNames() override
    {
        if (first_.exchange(false)) {
            opened_.wait();
            return std::vector<std::string>{"Stale"};
        }
        return inner_->PrinterNames();
    }
    std::optional<std::string> DefaultPrinter() override { return inner_->DefaultPrinter(); }
    std::string Address() const override { return inner_->Address(); }

private:
    std::shared_ptr<FakeSpooler> inner_;
    std::promise<void> gate_;
    std::shared_future<void> opened_ = gate_.get_future().share();
    std::atomic<bool> first_{true};
};

QStringList Rows(const QTreeWidget& view)
{
    QStringList rows;
    for (int i = 0; i < view.topLevelItemCount(); ++i)
        rows << view.topLevelItem(i)->text(0) + "=" + view.topLevelItem(i)->text(1);
    return rows;
}

QStringList Items(const QListWidget& list)
{
    QStringList items;
    for (int i = 0; i < list.count(); ++i)
        items << list.item(i)->text();
    return items;
}

}  // namespace

class ConsolePagesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void statusPageShowsAppRunsUserAndDefaultPrinter_data();
    void statusPageShowsAppRunsUserAndDefaultPrinter();
    void statusPageSwitchesMonitoring();
    void printersPageAppliesTheChosenPrinters_data();
    void printersPageAppliesTheChosenPrinters();
    void printersPageToldOfAFailingSpooler();
    void aLaterPrinterListReplacesAnEarlierOne();
    void settingsPageSetsCostsAndTheEmailSwitch_data();
    void settingsPageSetsCostsAndTheEmailSwitch();
    void aUserWhoCannotSaveIsToldOnce();

private:
    std::unique_ptr<CQuillmereDlg> Console(std::shared_ptr<Spooler> spooler, SaveRights::Probe canSave = {});
    void WriteSettings(const QString& text) const;
    QString Settings() const;

    std::unique_ptr<ConsoleSandbox> sandbox_;
    std::shared_ptr<FakeSpooler> spooler_;
    FakeTrayIcon tray_;
};

void ConsolePagesTest::initTestCase()
{
    sandbox_ = std::make_unique<ConsoleSandbox>();
}

void ConsolePagesTest::init()
{
    spooler_ = std::make_shared<FakeSpooler>();
    for (const char* name : {"AppRuns", "Reset", "EmailLog", "MonitoredPrinterLimit"})
        ConsoleSandbox::SetDword(name, std::nullopt);
    QFile::remove(sandbox_->AppFolder() + "/settings.xml");
}

std::unique_ptr<CQuillmereDlg> ConsolePagesTest::Console(std::shared_ptr<Spooler> spooler, SaveRights::Probe canSave)
{
    if (!canSave)
        canSave = [] { return std::optional<QString>(); };
    auto dialog = std::make_unique<CQuillmereDlg>(
        ConsoleEnvironment{tray_, sandbox_->AppFolder().toStdString(), std::move(spooler), std::move(canSave)});
    dialog->show();
    return dialog;
}

void ConsolePagesTest::WriteSettings(const QString& text) const
{
    if (text != kMissing)
        QVERIFY(ReplaceFile((sandbox_->AppFolder() + "/settings.xml").toStdString(), text.toStdString()));
}

QString ConsolePagesTest::Settings() const
{
    const auto bytes = ReadFileBytes((sandbox_->AppFolder() + "/settings.xml").toStdString());
    return bytes ? QString::fromStdString(*bytes) : QString(kMissing);
}

void ConsolePagesTest::statusPageShowsAppRunsUserAndDefaultPrinter_data()
{
    QTest::addColumn<int>("appRuns");             // -1: absent
    QTest::addColumn<QString>("defaultPrinter");  // empty: none
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("printerShown");
    QTest::addColumn<QString>("centralStatus");  // as the monitor stores it; empty: no central database
    QTest::addColumn<QString>("centralShown");
    const QString forty = QStringLiteral("Laser-on-the-third-floor-by-the-stairs-1");
    const QString accented = QString("Imprimante-couleur-du-secr") + QChar(0xE9) + "tariat";  // é on bytes 26-27
    const QString waitingSince = QString::number(
        std::chrono::duration_cast<std::chrono::seconds>(LocalTimePoint(2026, 1, 2, 9, 5).time_since_epoch()).count());
    QTest::newRow("absent, no default printer") << -1 << ""
                                                << "NOT Monitoring"
                                                << "No default printer"
                                                << ""
                                                << "";
    QTest::newRow("1, a default printer") << 1 << "Laser"
                                          << "Monitoring"
                                          << "Laser"
                                          << "0"
                                          << "Central database: up to date";
    QTest::newRow("2 is not monitoring") << 2 << "Laser"
                                         << "NOT Monitoring"
                                         << "Laser"
                                         << "12 " + waitingSince << "Central database: 12 records waiting since 09:05";
    QTest::newRow("a 40-byte name is cut to 31") << 0 << forty << "NOT Monitoring" << forty.left(31) << ""
                                                 << "";
    QTest::newRow("never inside a character") << 0 << accented + "-2e"
                                              << "NOT Monitoring" << QString::fromUtf8(accented.toUtf8().left(31)) << ""
                                              << "";
}

void ConsolePagesTest::statusPageShowsAppRunsUserAndDefaultPrinter()
{
    QFETCH(int, appRuns);
    QFETCH(QString, defaultPrinter);
    QFETCH(QString, status);
    QFETCH(QString, printerShown);
    QFETCH(QString, centralStatus);
    QFETCH(QString, centralShown);
    ConsoleSandbox::SetAppRuns(appRuns < 0 ? std::nullopt : std::optional<std::uint32_t>(appRuns));
    // The monitor's state is shown only where a central database is configured.
    RegValueString("Software\\Ostrel\\CentralDatabase", "", true).Set(centralStatus.isEmpty() ? "" : "service=ostrel");
    RegValueString("Software\\Ostrel\\CentralStatus", "", true)
        .Set(centralStatus.isEmpty() ? "0" : centralStatus.toStdString());
    spooler_->SetDefaultPrinter(defaultPrinter.isEmpty() ? std::nullopt
                                                         : std::optional<std::string>(defaultPrinter.toStdString()));
    auto console = Console(spooler_);
    CStatusPage& page = console->StatusPage();

    QCOMPARE(page.StatusText(), status);
    QCOMPARE(page.Button(1047)->isEnabled(), status != "Monitoring");
    QCOMPARE(page.Button(1048)->isEnabled(), status == "Monitoring");
    QVERIFY(!page.UserText().isEmpty());
    QTRY_COMPARE(page.DefaultPrinterText(), printerShown);
    QVERIFY(page.DefaultPrinterText().toUtf8().size() <= 31);
    QCOMPARE(page.CentralText(), centralShown);
}

void ConsolePagesTest::statusPageSwitchesMonitoring()
{
    ConsoleSandbox::SetAppRuns(2);
    auto console = Console(spooler_);
    CStatusPage& page = console->StatusPage();
    QTest::mouseClick(page.Button(1047), Qt::LeftButton);
    QCOMPARE(ConsoleSandbox::AppRuns(), 1u);
    QCOMPARE(page.StatusText(), QStringLiteral("Monitoring"));
    QVERIFY(!page.Button(1047)->isEnabled() && page.Button(1048)->isEnabled());
    // Start then Stop within one poll of the monitor leaves it off.
    QTest::mouseClick(page.Button(1048), Qt::LeftButton);
    QCOMPARE(ConsoleSandbox::AppRuns(), 0u);
    QCOMPARE(page.StatusText(), QStringLiteral("NOT Monitoring"));

    // The quick report of a printer that settings.xml does not know.
    spooler_->SetDefaultPrinter("Laser");
    console->PageBar().ShowPage(0);
    QTRY_COMPARE(page.DefaultPrinterText(), QStringLiteral("Laser"));
    ModalCatcher catcher;
    QTest::mouseClick(page.Button(1053), Qt::LeftButton);
    QCOMPARE(catcher.texts,
             QStringList{QStringLiteral("The default printer is not monitored. Please check the Printers menu.")});
}

void ConsolePagesTest::printersPageAppliesTheChosenPrinters_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QStringList>("printers");
    QTest::addColumn<int>("limit");  // 0: absent
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("document");  // after the steps
    const QString limitOne = "There is already 1 printer monitored. Please remove it in order to add another one.";
    const QString laser7 = "<name>Laser</name><ID>3</ID><cost>7</cost><monitored>";

    QTest::newRow("first printer of a missing document")
        << kMissing << QStringList{"Laser", "Inkjet"} << 0 << QStringList{"choose Laser", "add", "apply"}
        << QStringList{"Laser=0"} << QStringList{}
        << "<printers><name>Laser</name><ID>1</ID><cost>0</cost><monitored>1</monitored></printers>";
    QTest::newRow("a second printer meets the limit")
        << "<log></log>" << QStringList{"Laser", "Inkjet"} << 0
        << QStringList{"choose Laser", "add", "choose Inkjet", "add", "apply"} << QStringList{"Laser=0"}
        << QStringList{limitOne}
        << "<log><printers><name>Laser</name><ID>1</ID><cost>0</cost><monitored>1</monitored></printers></log>";
    QTest::newRow("remove, then add")
        << "<log><printers>" + laser7 + "1</monitored></printers></log>" << QStringList{"Laser", "Inkjet"} << 0
        << QStringList{"row 0", "remove", "choose Inkjet", "add", "apply"} << QStringList{"Inkjet=0"} << QStringList{}
        << "<log><printers><name>Inkjet</name><ID>4</ID><cost>0</cost><monitored>1</monitored>" + laser7 +
               "0</monitored></printers></log>";
    QTest::newRow("added again: keeps its ID and cost")
        << "<log><printers>" + laser7 + "0</monitored></printers><users></users></log>" << QStringList{"Laser"} << 0
        << QStringList{"double Laser", "apply"} << QStringList{"Laser=7"} << QStringList{}
        << "<log><printers>" + laser7 + "1</monitored></printers><users></users></log>";
    QTest::newRow("apply with an empty list")
        << "<log><printers>" + laser7 + "1</monitored></printers></log>" << QStringList{"Laser"} << 0
        << QStringList{"double row 0", "apply"} << QStringList{} << QStringList{}
        << "<log><printers>" + laser7 + "0</monitored></printers></log>";
    QTest::newRow("the five special characters are dropped")
        << "<log></log>" << QStringList{"Q<u>e&u'e\"s"} << 0
        << QStringList{"choose Q<u>e&u'e\"s", "add", "apply", "refilled", "choose Q<u>e&u'e\"s", "add"}
        << QStringList{"Queues=0"} << QStringList{}
        << "<log><printers><name>Queues</name><ID>1</ID><cost>0</cost><monitored>1</monitored></printers></log>";
    QTest::newRow("Laser and Laser 2 stay apart")
        << "<log><printers><name>Laser 2</name><ID>2</ID><cost>5</cost><monitored>1</monitored></printers></log>"
        << QStringList{"Laser", "Laser 2"} << 2 << QStringList{"choose Laser", "add", "apply"}
        << QStringList{"Laser=0", "Laser 2=5"} << QStringList{}
        << "<log><printers><name>Laser</name><ID>3</ID><cost>0</cost><monitored>1</monitored>"
           "<name>Laser 2</name><ID>2</ID><cost>5</cost><monitored>1</monitored></printers></log>";
    QTest::newRow("a listed printer cannot be added twice, whatever its case")
        << "<log><printers><name>laser</name><ID>1</ID><cost></cost><monitored>1</monitored></printers></log>"
        << QStringList{"Laser"} << 2 << QStringList{"double Laser"} << QStringList{"laser=0"} << QStringList{}
        << "<log><printers><name>laser</name><ID>1</ID><cost></cost><monitored>1</monitored></printers></log>";
    QTest::newRow("a higher limit says its number")
        << "<log></log>" << QStringList{"A", "B", "C"} << 2
        << QStringList{"double A", "double B", "double C"} << QStringList{"A=0", "B=0"}
        << QStringList{"There are already 2 printers monitored. Please remove one of them in order to add another "
                       "one."}
        << "<log></log>";
    QTest::newRow("Reset drops what was not applied")
        << "<log><printers>" + laser7 + "1</monitored></printers></log>" << QStringList{"Laser"} << 0
        << QStringList{"double row 0", "reset"} << QStringList{"Laser=7"} << QStringList{}
        << "<log><printers>" + laser7 + "1</monitored></printers></log>";
}

void ConsolePagesTest::printersPageAppliesTheChosenPrinters()
{
    QFETCH(QString, settings);
    QFETCH(QStringList, printers);
    QFETCH(int, limit);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, messages);
    QFETCH(QString, document);
    WriteSettings(settings);
    if (limit)
        ConsoleSandbox::SetDword("MonitoredPrinterLimit", limit);
    std::vector<std::string> names;
    for (const QString& name : printers)
        names.push_back(name.toStdString());
    spooler_->SetPrinterNames(names);
    auto console = Console(spooler_);
    CPrintersPage& page = console->PrintersPage();
    QSignalSpy shown(&page, &CPrintersPage::PrintersShown);
    QTest::mouseClick(console->PageBar().PageButton(1), Qt::LeftButton);
    QTRY_VERIFY(!shown.isEmpty() && page.AllPrinters().count() == printers.size());
    QVERIFY(!page.Button(1011)->isEnabled() && !page.Button(1012)->isEnabled());
    QStringList sorted = printers;
    sorted.sort();
    QCOMPARE(Items(page.AllPrinters()), sorted);

    ModalCatcher catcher;
    const auto item = [&](const QString& name) {
        return page.AllPrinters().findItems(name, Qt::MatchExactly).value(0);
    };
    const auto rowRect = [&](int row) {
        return page.Monitored().visualItemRect(page.Monitored().topLevelItem(row)).center();
    };
    for (const QString& step : steps) {
        if (step == "refilled")
            QTRY_COMPARE(page.AllPrinters().count(), printers.size());
        else if (step.startsWith("choose "))
            page.AllPrinters().setCurrentItem(item(step.mid(7)));
        else if (step.startsWith("double row ")) {
            // A real double click: a click, then the second press.
            const QPoint at = rowRect(step.mid(11).toInt());
            QTest::mouseClick(page.Monitored().viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(page.Monitored().viewport(), Qt::LeftButton, {}, at);
        } else if (step.startsWith("double ")) {
            page.AllPrinters().setCurrentItem(item(step.mid(7)));
            emit page.AllPrinters().itemDoubleClicked(item(step.mid(7)));
        } else if (step.startsWith("row "))
            QTest::mouseClick(page.Monitored().viewport(), Qt::LeftButton, {}, rowRect(step.mid(4).toInt()));
        else {
            const int button = step == "add" ? 1011 : step == "remove" ? 1012 : step == "apply" ? 1013 : 1014;
            QTest::mouseClick(page.Button(button), Qt::LeftButton);
        }
    }
    if (steps.contains("apply") || steps.contains("reset"))
        QTRY_VERIFY(shown.count() >= 2);

    QCOMPARE(Rows(page.Monitored()), rows);
    QCOMPARE(catcher.texts, messages);
    QCOMPARE(Settings(), document);
    QCOMPARE(ConsoleSandbox::Dword("Reset"), steps.contains("apply") ? std::optional<std::uint32_t>(1) : std::nullopt);
}

void ConsolePagesTest::printersPageToldOfAFailingSpooler()
{
    spooler_->SetPrinterNames(SpoolerResult<std::vector<std::string>>::Failure(1722));
    auto console = Console(spooler_);
    CPrintersPage& page = console->PrintersPage();
    QSignalSpy shown(&page, &CPrintersPage::PrintersShown);
    ModalCatcher catcher;
    // Filled unseen at start, it tells nothing; chosen, it tells the failure.
    QTRY_VERIFY(!shown.isEmpty());
    QVERIFY(catcher.texts.isEmpty());
    QTest::mouseClick(console->PageBar().PageButton(1), Qt::LeftButton);
    QTRY_COMPARE(catcher.texts, QStringList{QStringLiteral("Couldn't read the information about printers")});
    QCOMPARE(page.AllPrinters().count(), 0);
}

void ConsolePagesTest::aLaterPrinterListReplacesAnEarlierOne()
{
    spooler_->SetPrinterNames(std::vector<std::string>{"Fresh"});
    auto gated = std::make_shared<GatedSpooler>(spooler_);
    auto console = Console(gated);
    CPrintersPage& page = console->PrintersPage();
    QSignalSpy shown(&page, &CPrintersPage::PrintersShown);
    // The window answers while the first list is still on its way.
    QTest::mouseClick(console->PageBar().PageButton(1), Qt::LeftButton);
    QCOMPARE(console->PageBar().CurrentIndex(), 1);
    QTRY_COMPARE(Items(page.AllPrinters()), QStringList{"Fresh"});
    gated->Open();
    QTest::qWait(100);
    QCoreApplication::processEvents();
    QCOMPARE(Items(page.AllPrinters()), QStringList{"Fresh"});
    QCOMPARE(shown.count(), 1);
}

void ConsolePagesTest::settingsPageSetsCostsAndTheEmailSwitch_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("printer");    // chosen; empty: none
    QTest::addColumn<QString>("typed");      // then typed into the cost
    QTest::addColumn<QString>("shownCost");  // after the choice
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("document");
    QTest::addColumn<bool>("reset");
    const QString done =
        "From now on all jobs printed will have this cost assigned. The jobs monitored util now will "
        "have the old cost.";
    const QString two =
        "<log><printers><name>Laser 2</name><ID>2</ID><cost>5</cost><monitored>1</monitored>"
        "<name>Laser</name><ID>1</ID><cost></cost><monitored>1</monitored></printers></log>";
    QString laser12 = two;
    laser12.replace("<cost></cost>", "<cost>12</cost>");
    QString laser0 = two;
    laser0.replace("<cost></cost>", "<cost>0</cost>");

    QTest::newRow("empty cost shown 0, 12 applied") << two << "Laser"
                                                    << "12"
                                                    << "0" << QStringList{done} << laser12 << true;
    QTest::newRow("0 applied") << two << "Laser"
                               << "0"
                               << "0" << QStringList{done} << laser0 << true;
    QTest::newRow("Laser 2 shows its own") << two << "Laser 2"
                                           << ""
                                           << "5" << QStringList{done} << two << true;
    QTest::newRow("not an integer") << two << "Laser"
                                    << "12x"
                                    << "0" << QStringList{"Please enter an integer."} << two << false;
    QTest::newRow("beyond 32 bits") << two << "Laser"
                                    << "4294967296"
                                    << "0" << QStringList{"Please enter an integer."} << two << false;
    QTest::newRow("negative: nothing") << two << "Laser"
                                       << "-3"
                                       << "0" << QStringList{} << two << false;
    QTest::newRow("no printer chosen: nothing") << two << ""
                                                << "9"
                                                << "" << QStringList{} << two << false;
    QTest::newRow("the entry vanished meanwhile") << two << "Laser"
                                                  << "vanish"
                                                  << "0" << QStringList{done} << "<log></log>" << true;
}

void ConsolePagesTest::settingsPageSetsCostsAndTheEmailSwitch()
{
    QFETCH(QString, settings);
    QFETCH(QString, printer);
    QFETCH(QString, typed);
    QFETCH(QString, shownCost);
    QFETCH(QStringList, messages);
    QFETCH(QString, document);
    QFETCH(bool, reset);
    WriteSettings(settings);
    auto console = Console(spooler_);
    CSettingsPage& page = console->SettingsPage();
    QTest::mouseClick(console->PageBar().PageButton(3), Qt::LeftButton);
    QCOMPARE(page.Printers().count(), 2);
    QCOMPARE(page.Cost().text(), QStringLiteral("0"));

    // EmailLog absent: clear; a click writes 1, the next 0.
    QVERIFY(!page.EmailSwitch().isChecked());
    QTest::mouseClick(&page.EmailSwitch(), Qt::LeftButton);
    QCOMPARE(ConsoleSandbox::Dword("EmailLog"), 1u);
    QTest::mouseClick(&page.EmailSwitch(), Qt::LeftButton);
    QCOMPARE(ConsoleSandbox::Dword("EmailLog"), 0u);

    // Document names are recorded until the switch says otherwise; each
    // change says from when it holds.
    ConsoleSandbox::SetDword("RecordDocumentNames", std::nullopt);
    page.Refresh();
    QVERIFY(page.DocumentNamesSwitch().isChecked());
    {
        ModalCatcher told;
        QTest::mouseClick(&page.DocumentNamesSwitch(), Qt::LeftButton);
        QCOMPARE(ConsoleSandbox::Dword("RecordDocumentNames"), 0u);
        QTest::mouseClick(&page.DocumentNamesSwitch(), Qt::LeftButton);
        QCOMPARE(ConsoleSandbox::Dword("RecordDocumentNames"), 1u);
        QCOMPARE(told.texts.size(), 2);
        QVERIFY(told.texts.front().contains(QStringLiteral("keep their names")));
    }

    if (!printer.isEmpty()) {
        const int index = page.Printers().findText(printer);
        page.Printers().setCurrentIndex(index);
        emit page.Printers().activated(index);
        QCOMPARE(page.Cost().text(), shownCost);
    }
    if (typed == "vanish")
        WriteSettings("<log></log>");
    else if (!typed.isEmpty())
        page.Cost().setText(typed);
    ModalCatcher catcher;
    QTest::mouseClick(page.Button(1045), Qt::LeftButton);

    QCOMPARE(catcher.texts, messages);
    QCOMPARE(Settings(), document);
    QCOMPARE(ConsoleSandbox::Dword("Reset"), reset ? std::optional<std::uint32_t>(1) : std::nullopt);
}

void ConsolePagesTest::aUserWhoCannotSaveIsToldOnce()
{
    const QString denial = QStringLiteral("Your changes cannot be saved: the test says so.");
    auto console = Console(spooler_, [denial] { return std::optional<QString>(denial); });
    ModalCatcher catcher;
    QTest::mouseClick(console->StatusPage().Button(1047), Qt::LeftButton);
    QTest::mouseClick(console->StatusPage().Button(1048), Qt::LeftButton);
    console->HideToTray();
    console->OnCommand(ids::command::kTrayStartMonitoring);
    QCOMPARE(catcher.texts, QStringList{denial});

    // The folders as they are: this test may write them.
    QVERIFY(!SaveRights::CheckFolders(sandbox_->AppFolder().toStdString()));
}

QTEST_MAIN(ConsolePagesTest)
#include "ConsolePagesTest.moc"
