// The e-mail settings dialog on a registry store of its own; and Test Email
// end to end: the real Relayer through the real launcher, to the loopback
// SMTP sink of the tests.
#include "CSkinButton.h"
#include "ConsoleTemplates.h"
#include "ConsoleTestSupport.h"
#include "EmailSettingsDialog.h"
#include "FakeProcessLauncher.h"
#include "Files.h"
#include "SaveRights.h"
#include "ShiftedText.h"
#include "SmtpSink.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <thread>

using namespace ostrel;
namespace t = ostrel::test;
namespace email = ids::control::email;

namespace {

constexpr const char* kTexts[] = {"EEmailAddress",        "ESMTPName", "ESMTPEmailAddress", "ESMTPEmailAddress4Server",
                                  "ESMTPPass4MailServer", "ESMTPAUTH", "ESMTPSRV"};

void Forget()
{
    for (const char* name : kTexts)
        LocalMachineHive().Remove("Software\\Ostrel", name);
    for (const char* name : {"ESMTPPORT", "EmailLog", "ESentFile"})
        LocalMachineHive().Remove("Software\\Ostrel", name);
}

std::optional<std::string> Stored(const char* name)
{
    const auto data = LocalMachineHive().Query("Software\\Ostrel", name);
    if (!data)
        return std::nullopt;
    return UnshiftText(RegValueString(std::string("Software\\Ostrel\\") + name, "").Get());
}

}  // namespace

class EmailSettingsDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { Forget(); }
    void modifyChecksAndStores_data();
    void modifyChecksAndStores();
    void defaultsThenCancelChangeNothing();
    void testEmailReachesTheMailServer();

private:
    void Type(EmailSettingsDialog& dialog, const QMap<int, QString>& fields);

    std::unique_ptr<t::ConsoleSandbox> sandbox_;
    std::unique_ptr<SaveRights> rights_;
};

void EmailSettingsDialogTest::initTestCase()
{
    sandbox_ = std::make_unique<t::ConsoleSandbox>();
    rights_ =
        std::make_unique<SaveRights>(sandbox_->AppFolder().toStdString(), [] { return std::optional<QString>(); });
}

void EmailSettingsDialogTest::Type(EmailSettingsDialog& dialog, const QMap<int, QString>& fields)
{
    for (auto field = fields.begin(); field != fields.end(); ++field) {
        if (field.key() == email::kAuthMethod)
            dialog.AuthMethod().setEditText(field.value());
        else
            dialog.Field(field.key()).setText(field.value());
    }
}

void EmailSettingsDialogTest::modifyChecksAndStores_data()
{
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<QString>("auth");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("stored");
    QTest::newRow("a single @ passes") << "@"
                                       << ""
                                       << "0" << QStringList{} << true;
    QTest::newRow("no address") << ""
                                << ""
                                << "0" << QStringList{"The Email Address is Empty"} << false;
    QTest::newRow("no @") << "alice.example.org"
                          << ""
                          << "0" << QStringList{"Invalid Email Address"} << false;
    QTest::newRow("a typed method, port -1") << "alice@example.org"
                                             << "XOAUTH2"
                                             << "-1" << QStringList{} << true;
    QTest::newRow("a port that is no integer") << "alice@example.org"
                                               << ""
                                               << "25x" << QStringList{"Please enter an integer."} << false;
    QTest::newRow("every byte comes back")
        << QString::fromUtf8("\xC3\xA9l\xC3\xA8ve+r\xC3\xBC@\xE6\x97\xA5\xE6\x9C\xAC.example") << "CRAM MD5"
        << "587" << QStringList{} << true;
}

void EmailSettingsDialogTest::modifyChecksAndStores()
{
    QFETCH(QString, recipient);
    QFETCH(QString, auth);
    QFETCH(QString, port);
    QFETCH(QStringList, messages);
    QFETCH(bool, stored);
    FakeProcessLauncher launcher;
    {
        EmailSettingsDialog dialog(sandbox_->AppFolder().toStdString(), launcher, *rights_);
        // Absent values open empty, the port as 0, no method chosen.
        QCOMPARE(dialog.Field(email::kRecipient).text(), QString());
        QCOMPARE(dialog.Field(email::kPort).text(), QStringLiteral("0"));
        QCOMPARE(dialog.AuthMethod().currentText(), QString());
        QCOMPARE(dialog.AuthMethod().itemText(0), QStringLiteral("AUTH LOGIN"));
        QCOMPARE(dialog.Field(email::kPassword).echoMode(), QLineEdit::Password);
        dialog.show();
        Type(dialog, {{email::kRecipient, recipient}, {email::kAuthMethod, auth}, {email::kPort, port}});
        t::ModalCatcher catcher;
        QTest::mouseClick(dialog.Button(email::kModify), Qt::LeftButton);
        QCOMPARE(catcher.texts, messages);
        QCOMPARE(dialog.isVisible(), !stored);
    }
    QCOMPARE(Stored("EEmailAddress"), stored ? std::optional<std::string>(recipient.toStdString()) : std::nullopt);
    QCOMPARE(t::ConsoleSandbox::Dword("EmailLog"), stored ? std::optional<std::uint32_t>(1) : std::nullopt);
    // The texts left empty were absent and stay absent.
    for (const char* name :
         {"ESMTPName", "ESMTPEmailAddress", "ESMTPEmailAddress4Server", "ESMTPPass4MailServer", "ESMTPSRV"})
        QCOMPARE(Stored(name), std::nullopt);
    if (!stored)
        return;
    QCOMPARE(Stored("ESMTPAUTH"), auth.isEmpty() ? std::nullopt : std::optional<std::string>(auth.toStdString()));
    QCOMPARE(t::ConsoleSandbox::Dword("ESMTPPORT"),
             port == "0" ? std::nullopt : std::optional<std::uint32_t>(static_cast<std::uint32_t>(port.toInt())));
    // Opened again, the dialog shows what was typed, the port -1 as -1.
    EmailSettingsDialog again(sandbox_->AppFolder().toStdString(), launcher, *rights_);
    QCOMPARE(again.Field(email::kRecipient).text(), recipient);
    QCOMPARE(again.AuthMethod().currentText(), auth);
    QCOMPARE(again.Field(email::kPort).text(), port);
    // EmailLog is written every time, even when it holds 1.
    LocalMachineHive().Set("Software\\Ostrel", "EmailLog", {RegType::Dword, std::string("\x01\x00\x00\x00", 4)});
    const auto before =
        std::filesystem::last_write_time(RegistryRoot() / "HKEY_LOCAL_MACHINE/Software/Ostrel/EmailLog");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    QTest::mouseClick(again.Button(email::kModify), Qt::LeftButton);
    QVERIFY(std::filesystem::last_write_time(RegistryRoot() / "HKEY_LOCAL_MACHINE/Software/Ostrel/EmailLog") != before);
}

void EmailSettingsDialogTest::defaultsThenCancelChangeNothing()
{
    {
        RegValueString recipient("Software\\Ostrel\\EEmailAddress", "");
        recipient.Set(ShiftText("alice@example.org"));
    }
    FakeProcessLauncher launcher;
    EmailSettingsDialog dialog(sandbox_->AppFolder().toStdString(), launcher, *rights_);
    dialog.show();
    dialog.Field(email::kRecipient).setText("typed, not stored");
    QTest::mouseClick(dialog.Button(email::kDefaults), Qt::LeftButton);
    const MailSettings defaults = EmailSettingsDialog::Defaults();
    QCOMPARE(dialog.Field(email::kSenderName).text(), QStringLiteral("Ostrel"));
    QCOMPARE(dialog.Field(email::kSenderAddress).text().toStdString(), defaults.senderAddress);
    QCOMPARE(dialog.Field(email::kUserName).text().toStdString(), defaults.senderAddress);
    QCOMPARE(dialog.Field(email::kPassword).text().size(), 3);
    QCOMPARE(dialog.Field(email::kPort).text(), QStringLiteral("25"));
    QCOMPARE(dialog.AuthMethod().currentText(), QStringLiteral("None"));
    // The recipient shows again what it held at the last read.
    QCOMPARE(dialog.Field(email::kRecipient).text(), QStringLiteral("alice@example.org"));
    QTest::mouseClick(dialog.Button(ids::control::kCancel), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    for (const char* name : {"ESMTPName", "ESMTPEmailAddress", "ESMTPSRV", "ESMTPAUTH"})
        QCOMPARE(Stored(name), std::nullopt);
    QCOMPARE(t::ConsoleSandbox::Dword("ESMTPPORT"), std::nullopt);
    QCOMPARE(t::ConsoleSandbox::Dword("EmailLog"), std::nullopt);
}

void EmailSettingsDialogTest::testEmailReachesTheMailServer()
{
    t::SmtpSink sink;
    QVERIFY(sink.Port() > 0);
    const std::filesystem::path app = sandbox_->AppFolder().toStdString();
    std::filesystem::create_directories(app / "Logs");
    std::filesystem::remove(app / "Relayer");
    std::filesystem::create_symlink(t::BuiltProgram("Relayer"), app / "Relayer");
    // The mailer sends only files of the application folder that AppPath names.
    RegValueString appPath("Software\\Ostrel\\AppPath", "");
    appPath.Set(app.string());
    SpawnProcessLauncher launcher;
    EmailSettingsDialog dialog(app.string(), launcher, *rights_);
    dialog.show();
    Type(dialog, {{email::kRecipient, "alice@example.org"},
                  {email::kSenderName, "Print Room"},
                  {email::kSenderAddress, "ostrel@example.org"},
                  {email::kAuthMethod, "None"},
                  {email::kServer, "127.0.0.1"},
                  {email::kPort, QString::number(sink.Port())}});

    // Without the test file: the settings are stored, nothing is sent.
    std::filesystem::remove(app / "Logs/TestEmail.xml");
    {
        t::ModalCatcher catcher;
        QTest::mouseClick(dialog.Button(email::kTestEmail), Qt::LeftButton);
        QCOMPARE(catcher.texts, QStringList{"Cannot find the test file to send!"});
    }
    QCOMPARE(t::ConsoleSandbox::Dword("EmailLog"), 1u);
    QCOMPARE(Stored("ESMTPSRV"), std::optional<std::string>("127.0.0.1"));

    const std::string document = "<?xml version=\"1.0\"?><log><period>Test</period></log>";
    QVERIFY(ReplaceFile(app / "Logs/TestEmail.xml", document));
    {
        t::ModalCatcher catcher;
        QTest::mouseClick(dialog.Button(email::kTestEmail), Qt::LeftButton);
        QCOMPARE(catcher.texts, QStringList{"An email has been sent to your email address. Please check your inbox."});
    }
    QVERIFY(dialog.isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(sink.Count(), std::size_t(1), 10000);
    QCOMPARE(sink.Read(1, "to"), std::string("alice@example.org"));
    QCOMPARE(sink.Read(1, "from"), std::string("Print Room <ostrel@example.org>"));
    QCOMPARE(sink.Read(1, "attachment-name"), std::string("TestEmail.xml"));
    QCOMPARE(sink.Read(1, "attachment"), document);
    // The message as the sink took it, for a look.
    QVERIFY(ReplaceFile(OSTREL_SCREENSHOT_DIR "/test-email.eml", sink.Read(1, "message.eml")));
}

QTEST_MAIN(EmailSettingsDialogTest)
#include "EmailSettingsDialogTest.moc"
