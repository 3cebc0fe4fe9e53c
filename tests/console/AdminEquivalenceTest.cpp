// The console's pages and ostrel-admin, given the same steps, leave the same
// settings.xml, byte for byte, and the same registry values; ostrel-admin
// refuses what the console refuses, with the console's words, and writes
// nothing it may not.
#include "AdminCommand.h"
#include "CPageBar.h"
#include "CPrintersPage.h"
#include "CQuillmereDlg.h"
#include "CSettingsPage.h"
#include "CSkinButton.h"
#include "CStatusPage.h"
#include "ConsoleTemplates.h"
#include "ConsoleTestSupport.h"
#include "EmailSettingsDialog.h"
#include "FakeProcessLauncher.h"
#include "FakeSpooler.h"
#include "FakeTrayIcon.h"
#include "Files.h"
#include "SaveRights.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <sstream>

using namespace ostrel;
using namespace ostrel::test;
namespace email = ids::control::email;

namespace {

constexpr const char* kMissing = "(missing)";

// Everything either face may change: the document and every registry value.
struct Snapshot {
    std::string settings;
    std::vector<RegEntry> registry;
};

bool SameValues(const std::vector<RegEntry>& a, const std::vector<RegEntry>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const RegEntry& x, const RegEntry& y) { return x.name == y.name && x.data == y.data; });
}

QStringList Words(const QString& step)
{
    // "monitor Laser 2 --cost 5": the name may hold blanks; it runs up to the
    // option or, for cost, up to the last word.
    QStringList words = step.split(' ');
    const QString command = words.takeFirst();
    QStringList result{command};
    if (command == "cost") {
        const QString cents = words.takeLast();
        result << words.join(' ') << cents;
    } else if (const qsizetype option = words.indexOf("--cost"); option >= 0) {
        result << words.mid(0, option).join(' ') << "--cost" << words.at(option + 1);
    } else if (!words.isEmpty()) {
        result << words.join(' ');
    }
    return result;
}

}  // namespace

class AdminEquivalenceTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void printerStepsLeaveTheSameDocument_data();
    void printerStepsLeaveTheSameDocument();
    void mailValuesAreTheDialogs_data();
    void mailValuesAreTheDialogs();
    void refusalsWriteNothing_data();
    void refusalsWriteNothing();

private:
    void Reset(const QString& document, std::uint32_t limit);
    Snapshot Take() const;
    // The step on the console's pages; returns the messages it showed.
    QStringList ConsoleDoes(CQuillmereDlg& console, const QString& step);
    // The step through ostrel-admin; returns its exit status.
    int AdminDoes(const QStringList& args, const std::optional<std::string>& password = std::nullopt,
                  const std::optional<std::string>& denial = std::nullopt);

    std::unique_ptr<ConsoleSandbox> sandbox_;
    std::shared_ptr<FakeSpooler> spooler_;
    FakeTrayIcon tray_;
    std::string out_;
    std::string err_;
};

void AdminEquivalenceTest::initTestCase()
{
    sandbox_ = std::make_unique<ConsoleSandbox>();
}

void AdminEquivalenceTest::init()
{
    spooler_ = std::make_shared<FakeSpooler>();
    spooler_->SetPrinterNames(std::vector<std::string>{"Ink", "Laser", "Laser 2"});
}

void AdminEquivalenceTest::Reset(const QString& document, std::uint32_t limit)
{
    if (const auto values = LocalMachineHive().Enumerate("Software\\Ostrel"))
        for (const RegEntry& value : *values)
            LocalMachineHive().Remove("Software\\Ostrel", value.name);
    ConsoleSandbox::SetDword("MonitoredPrinterLimit", limit);
    const std::string file = (sandbox_->AppFolder() + "/settings.xml").toStdString();
    std::filesystem::remove(file);
    if (document != kMissing)
        QVERIFY(ReplaceFile(file, document.toStdString()));
}

Snapshot AdminEquivalenceTest::Take() const
{
    const auto bytes = ReadFileBytes((sandbox_->AppFolder() + "/settings.xml").toStdString());
    return {bytes.value_or(kMissing),
            LocalMachineHive().Enumerate("Software\\Ostrel").value_or(std::vector<RegEntry>{})};
}

QStringList AdminEquivalenceTest::ConsoleDoes(CQuillmereDlg& console, const QString& step)
{
    const QStringList words = Words(step);
    ModalCatcher catcher;
    CPrintersPage& printers = console.PrintersPage();
    CSettingsPage& settings = console.SettingsPage();
    const auto showPrinters = [&] {
        console.PageBar().ShowPage(1);
        QTRY_COMPARE(printers.AllPrinters().count(), 3);
    };
    const auto setCost = [&](const QString& name, const QString& cents) {
        console.PageBar().ShowPage(3);
        const int index = settings.Printers().findText(name);
        QVERIFY2(index >= 0, qPrintable(name));
        settings.Printers().setCurrentIndex(index);
        emit settings.Printers().activated(index);
        settings.Cost().setText(cents);
        QTest::mouseClick(settings.Button(1045), Qt::LeftButton);
    };
    if (words[0] == "monitor") {
        showPrinters();
        printers.AllPrinters().findItems(words[1], Qt::MatchExactly).first()->setSelected(true);
        QTest::mouseClick(printers.Button(1011), Qt::LeftButton);
        // Told of the limit, the user applies nothing.
        if (!catcher.texts.isEmpty())
            return catcher.texts;
        QTest::mouseClick(printers.Button(1013), Qt::LeftButton);
        if (words.size() == 4)
            setCost(words[1], words[3]);
    } else if (words[0] == "unmonitor") {
        showPrinters();
        QTreeWidgetItem* row = printers.Monitored().findItems(words[1], Qt::MatchExactly).first();
        row->setSelected(true);
        emit printers.Monitored().itemPressed(row, 0);
        QTest::mouseClick(printers.Button(1012), Qt::LeftButton);
        QTest::mouseClick(printers.Button(1013), Qt::LeftButton);
    } else if (words[0] == "cost") {
        setCost(words[1], words[2]);
    } else if (words[0] == "start" || words[0] == "stop") {
        console.PageBar().ShowPage(0);
        QTest::mouseClick(console.StatusPage().Button(words[0] == "start" ? 1047 : 1048), Qt::LeftButton);
    } else if (words[0] == "documents") {
        console.PageBar().ShowPage(3);
        if (settings.DocumentNamesSwitch().isChecked() != (words[1] == "on"))
            QTest::mouseClick(&settings.DocumentNamesSwitch(), Qt::LeftButton);
    } else if (words[0] == "mail") {
        console.PageBar().ShowPage(3);
        if (settings.EmailSwitch().isChecked() != (words[1] == "--on"))
            QTest::mouseClick(&settings.EmailSwitch(), Qt::LeftButton);
    }
    QStringList said = catcher.texts;
    said.removeIf([](const QString& text) { return text.startsWith("From now on the names of the documents"); });
    said.removeAll(
        QStringLiteral("From now on all jobs printed will have this cost assigned. The jobs monitored util now will "
                       "have the old cost."));
    return said;
}

int AdminEquivalenceTest::AdminDoes(const QStringList& args, const std::optional<std::string>& password,
                                    const std::optional<std::string>& denial)
{
    std::ostringstream out;
    std::ostringstream err;
    admin::Environment environment{
        sandbox_->AppFolder().toStdString(),
        *spooler_,
        out,
        err,
        [denial] { return denial; },
        [password] { return password; },
        [](const std::filesystem::path&) { return FinishedProgram{}; },
        [] { return DaemonState{}; },
    };
    std::vector<std::string> arguments;
    for (const QString& arg : args)
        arguments.push_back(arg.toStdString());
    const int status = admin::Run(arguments, environment);
    out_ = out.str();
    err_ = err.str();
    return status;
}

void AdminEquivalenceTest::printerStepsLeaveTheSameDocument_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("refusal");  // what both say of the last step; empty: nothing

    QTest::newRow("a first printer at a cost, on a missing document")
        << kMissing << 1 << QStringList{"monitor Laser --cost 5", "start"} << "";
    QTest::newRow("cost, remove, another, the first again keeps its ID and cost")
        << "<log><printers></printers><users><username>bob</username></users></log>" << 1
        << QStringList{"start",         "monitor Laser", "cost Laser 7", "unmonitor Laser", "monitor Ink --cost 3",
                       "unmonitor Ink", "monitor Laser", "stop"}
        << "";
    QTest::newRow("Laser and Laser 2 stay two printers, with a prologue and CRLF kept")
        << "<?xml version=\"1.0\"?>\r\n<log>\r\n</log>\r\n"
        << 2 << QStringList{"monitor Laser 2", "monitor Laser --cost 0", "cost Laser 2 9", "mail --on",
                            "mail --off",      "documents off"}
        << "";
    QTest::newRow("the limit of one")
        << "<log><printers><name>Laser</name><ID>4</ID><cost>2</cost><monitored>1</monitored></printers></log>" << 1
        << QStringList{"monitor Ink"}
        << "There is already 1 printer monitored. Please remove it in order to add another one.";
    QTest::newRow("a limit of two") << "<log></log>" << 2
                                    << QStringList{"monitor Ink", "monitor Laser", "monitor Laser 2"}
                                    << "There are already 2 printers monitored. Please remove one of them in order to "
                                       "add another one.";
}

void AdminEquivalenceTest::printerStepsLeaveTheSameDocument()
{
    QFETCH(QString, document);
    QFETCH(int, limit);
    QFETCH(QStringList, steps);
    QFETCH(QString, refusal);

    Reset(document, static_cast<std::uint32_t>(limit));
    QStringList consoleSaid;
    {
        CQuillmereDlg console(ConsoleEnvironment{tray_, sandbox_->AppFolder().toStdString(), spooler_,
                                                 [] { return std::optional<QString>(); }});
        console.show();
        for (const QString& step : steps)
            consoleSaid = ConsoleDoes(console, step);
    }
    const Snapshot console = Take();

    Reset(document, static_cast<std::uint32_t>(limit));
    int status = 0;
    for (const QString& step : steps)
        status = AdminDoes(Words(step));
    const Snapshot admin = Take();

    QCOMPARE(admin.settings, console.settings);
    QVERIFY(SameValues(admin.registry, console.registry));
    if (refusal.isEmpty())
        QCOMPARE(ConsoleSandbox::Dword("Reset"), std::optional<std::uint32_t>(1));
    QCOMPARE(consoleSaid, refusal.isEmpty() ? QStringList() : QStringList{refusal});
    QCOMPARE(status, refusal.isEmpty() ? admin::kDone : admin::kFailed);
    QCOMPARE(QString::fromStdString(err_), refusal.isEmpty() ? QString() : "ostrel-admin: " + refusal + "\n");
}

void AdminEquivalenceTest::mailValuesAreTheDialogs_data()
{
    QTest::addColumn<QStringList>("fields");  // to, from-name, from, server, port, auth, user, password
    QTest::newRow("a login") << QStringList{
        "alice@example.org", "Ostrel", "ostrel@example.org", "mail.example.org", "587",
        "AUTH LOGIN",        "bob",    "Tr0ub4dor&3 horse"};
    QTest::newRow("UTF-8 everywhere") << QStringList{
        QString::fromUtf8("\xC3\xA9l\xC3\xA8ve+r\xC3\xBC@\xE6\x97\xA5.example"),
        QString::fromUtf8("Print R\xC3\xBCm"),
        "ostrel@example.org",
        QString::fromUtf8("smtp.\xE4\xBE\x8B.jp"),
        "25",
        "CRAM MD5",
        QString::fromUtf8("b\xC3\xB8"
                          "b"),
        QString::fromUtf8("p\xC3\xA4sswort")};
    QTest::newRow("no login, port -1") << QStringList{"@", "", "", "localhost", "-1", "None", "", ""};
}

void AdminEquivalenceTest::mailValuesAreTheDialogs()
{
    QFETCH(QStringList, fields);
    // Stored values before, so that only changes are written on both sides.
    const auto before = [] {
        RegValueString server("Software\\Ostrel\\ESMTPSRV", "");
        server.Set("old");
        RegValueDword emailLog("Software\\Ostrel\\EmailLog", 0);
        emailLog.Set(0);
        emailLog.Write();
    };

    Reset(kMissing, 1);
    before();
    {
        FakeProcessLauncher launcher;
        SaveRights rights(sandbox_->AppFolder().toStdString(), [] { return std::optional<QString>(); });
        EmailSettingsDialog dialog(sandbox_->AppFolder().toStdString(), launcher, rights);
        dialog.show();
        const int ids[] = {email::kRecipient, email::kSenderName, email::kSenderAddress,
                           email::kServer,    email::kPort,       -1,
                           email::kUserName,  email::kPassword};
        for (int i = 0; i < 8; ++i)
            if (ids[i] < 0)
                dialog.AuthMethod().setEditText(fields[i]);
            else
                dialog.Field(ids[i]).setText(fields[i]);
        ModalCatcher catcher;
        QTest::mouseClick(dialog.Button(email::kModify), Qt::LeftButton);
        QCOMPARE(catcher.texts, QStringList());
    }
    const Snapshot console = Take();

    Reset(kMissing, 1);
    before();
    QStringList args{"mail",     "--to",    fields[0], "--from-name", fields[1], "--from", fields[2],
                     "--server", fields[3], "--port",  fields[4],     "--auth",  fields[5]};
    if (!fields[6].isEmpty())
        args << "--user" << fields[6];
    QCOMPARE(AdminDoes(args, fields[7].toStdString()), admin::kDone);
    const Snapshot admin = Take();

    QVERIFY(!console.registry.empty());
    for (std::size_t i = 0; i < std::max(admin.registry.size(), console.registry.size()); ++i)
        QCOMPARE(i < admin.registry.size() ? admin.registry[i].name : std::string(),
                 i < console.registry.size() ? console.registry[i].name : std::string());
    QVERIFY(SameValues(admin.registry, console.registry));
    QVERIFY(out_.empty() && err_.empty());
}

void AdminEquivalenceTest::refusalsWriteNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("rights");
    QTest::addColumn<QString>("said");
    const QString denial =
        "Your changes cannot be saved: mallory may not write to /x, where Ostrel keeps its "
        "settings. Ask an administrator to add mallory to the group ostrel, then log in again.";
    QTest::newRow("a name the scheduler does not know")
        << QStringList{"monitor", "Nope"} << true << "the scheduler has no printer Nope";
    QTest::newRow("the cost of a printer not monitored")
        << QStringList{"cost", "Ink", "5"} << true
        << "Ink is not monitored; ostrel-admin monitor Ink --cost 5 monitors it at that cost";
    QTest::newRow("a negative cost") << QStringList{"monitor", "Ink", "--cost", "-1"} << true
                                     << "the cost must be a whole number from 0 to 2147483647, not -1";
    QTest::newRow("no @ in the address") << QStringList{"mail", "--to",     "alice", "--from-name", "O",   "--from",
                                                        "o@x",  "--server", "x",     "--auth",      "None"}
                                         << true << "Invalid Email Address";
    for (const QStringList& args :
         {QStringList{"monitor", "Laser", "--cost", "4"}, QStringList{"unmonitor", "Laser"},
          QStringList{"cost", "Laser", "3"}, QStringList{"start"}, QStringList{"stop"}, QStringList{"mail", "--off"},
          QStringList{"mail", "test"}, QStringList{"documents", "off"},
          QStringList{"mail", "--to", "a@b", "--from-name", "O", "--from", "o@x", "--server", "x", "--auth", "None"}})
        QTest::newRow(qPrintable("no rights: " + args.join(' '))) << args << false << denial;
}

void AdminEquivalenceTest::refusalsWriteNothing()
{
    QFETCH(QStringList, args);
    QFETCH(bool, rights);
    QFETCH(QString, said);
    Reset("<log><printers><name>Laser</name><ID>1</ID><cost>2</cost><monitored>1</monitored></printers></log>", 1);
    ConsoleSandbox::SetDword("EmailLog", 1);
    const Snapshot before = Take();
    const std::optional<std::string> denial = rights ? std::nullopt : std::optional<std::string>(said.toStdString());
    QCOMPARE(AdminDoes(args, "pw", denial), admin::kFailed);
    QCOMPARE(QString::fromStdString(err_), "ostrel-admin: " + said + "\n");
    QVERIFY(out_.empty());
    const Snapshot after = Take();
    QCOMPARE(after.settings, before.settings);
    QVERIFY(SameValues(after.registry, before.registry));
}

QTEST_MAIN(AdminEquivalenceTest)
#include "AdminEquivalenceTest.moc"
