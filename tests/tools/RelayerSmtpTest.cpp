#include "FakeClock.h"
#include "Process.h"
#include "ProcessLauncher.h"
#include "RegValue.h"
#include "ReportMailer.h"
#include "ShiftedText.h"
#include "SmtpSink.h"
#include "TempFolder.h"

#include "Files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace ostrel::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPassword = "Tr0ub4dor&3 horse";
// The password as the PLAIN and the LOGIN logins send it.
constexpr const char* kPlainLogin = "AGJvYgBUcjB1YjRkb3ImMyBob3JzZQ==";
constexpr const char* kLoginPassword = "VHIwdWI0ZG9yJjMgaG9yc2U=";
const std::string kDocument =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><?xml-stylesheet href='https://h/css-js/ostrel.xsl' "
    "type='text/xsl'?><log><period>03/01/2024</period>" +
    std::string(200, ' ') +
    "\n<event><day>29</day><month>02</month><year>2024</year><hour>10</hour><min>05</min>"
    "<doc>Quarterly \xC3\xA9tude</doc><pages>3</pages><cost>30</cost><printer>Laser</printer><user>alice</user>"
    "</event></log>";

// Waits in real time for what another process does.
template <class Condition>
bool Eventually(Condition condition)
{
    using namespace std::chrono_literals;
    for (auto deadline = std::chrono::steady_clock::now() + 30s; std::chrono::steady_clock::now() < deadline;) {
        if (condition())
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return condition();
}

// The real Relayer program against a mail server on loopback, with a
// registry store and an application folder of the test's own.
class RelayerSmtpTest : public ::testing::Test {
protected:
    RelayerSmtpTest() : hive_(folder_ / "registry" / "HKEY_LOCAL_MACHINE")
    {
        fs::create_directories(Logs());
        SetText("AppPath", (folder_ / "app").string());
        EXPECT_TRUE(ReplaceFile(Logs() / "TestEmail.xml", kDocument));
        EXPECT_TRUE(ReplaceFile(Logs() / "Report.xml", kDocument));
    }

    fs::path Logs() const { return folder_ / "app" / "Logs"; }

    void SetText(const char* name, const std::string& value)
    {
        RegValueString text(std::string("Software\\Ostrel\\") + name, "", false, hive_);
        text.Set(value);
        text.Write();
    }
    std::string Text(const char* name)
    {
        return RegValueString(std::string("Software\\Ostrel\\") + name, "", false, hive_).Get();
    }

    // The settings as the console's e-mail dialog stores them.
    void StoreSettings(const std::string& server, std::uint32_t port, const std::string& auth)
    {
        SetText("EEmailAddress", ShiftText("alice@example.org"));
        SetText("ESMTPName", ShiftText("Print R\xC3\xBCm"));
        SetText("ESMTPEmailAddress", ShiftText("ostrel@example.org"));
        SetText("ESMTPEmailAddress4Server", ShiftText("bob"));
        SetText("ESMTPPass4MailServer", ShiftText(kPassword));
        SetText("ESMTPAUTH", ShiftText(auth));
        SetText("ESMTPSRV", ShiftText(server));
        RegValueDword dword("Software\\Ostrel\\ESMTPPORT", 0, false, hive_);
        dword.Set(port);
    }

    ProcessResult RunRelayer(std::map<std::string, std::string> env = {})
    {
        env["OSTREL_REGISTRY_ROOT"] = (folder_ / "registry").string();
        env.erase("JOURNAL_STREAM");
        ProcessResult result = RunProgram(BuiltProgram("Relayer"), {}, env);
        EXPECT_EQ(result.err.find(kPassword), std::string::npos) << result.err;
        EXPECT_EQ(result.out.find(kPassword), std::string::npos) << result.out;
        return result;
    }

    TempFolder folder_;
    DirectoryRegistry hive_;
};

TEST_F(RelayerSmtpTest, DeliversTheNamedFileWithEveryLoginMethod)
{
    struct Case {
        const char* label;
        const char* auth;     // as the dialog stores it
        const char* offered;  // what the server offers; empty for a server without login
        const char* used;     // what the server saw
        const char* value;    // the hand-over
        const char* file;
        const char* what;
        const char* subject;
    };
    const Case cases[] = {
        {"no login", "None", "", "none", "ESentFile", "TestEmail.xml", "test message", "Ostrel test message"},
        {"AUTH PLAIN", "AUTH PLAIN", "PLAIN LOGIN CRAM-MD5", "PLAIN", "EToSendFile", "Report.xml", "daily report",
         "Ostrel print report for 02/29/2024"},
        {"AUTH LOGIN", "AUTH LOGIN", "LOGIN", "LOGIN", "ESentFile", "TestEmail.xml", "test message",
         "Ostrel test message"},
        {"CRAM MD5", "CRAM MD5", "PLAIN LOGIN CRAM-MD5", "CRAM-MD5", "EToSendFile", "Report.xml", "daily report",
         "Ostrel print report for 02/29/2024"},
    };
    for (const auto& c : cases) {
        SmtpSinkOptions options;
        if (*c.offered) {
            options.user = "bob";
            options.password = kPassword;
            options.mechanisms = c.offered;
        }
        SmtpSink sink(options);
        ASSERT_NE(sink.Port(), 0) << c.label;
        StoreSettings("127.0.0.1", static_cast<std::uint32_t>(sink.Port()), c.auth);
        const fs::path file = Logs() / c.file;
        SetText(c.value, file.string());

        const ProcessResult result = RunRelayer();
        EXPECT_EQ(result.exitCode, 0) << c.label << ": " << result.err;
        EXPECT_NE(result.err.find(std::string("sent the ") + c.what + " " + file.string() +
                                  " to alice@example.org through 127.0.0.1:" + std::to_string(sink.Port())),
                  std::string::npos)
            << c.label << ": " << result.err;
        ASSERT_EQ(sink.Count(), 1u) << c.label;
        EXPECT_EQ(sink.Read(1, "envelope"),
                  std::string("from=ostrel@example.org\nto=alice@example.org\nauth=") + c.used + "\ntls=no\n")
            << c.label;
        EXPECT_EQ(sink.Read(1, "subject"), c.subject) << c.label;
        EXPECT_EQ(sink.Read(1, "from"), "Print R\xC3\xBCm <ostrel@example.org>") << c.label;
        EXPECT_EQ(sink.Read(1, "to"), "alice@example.org") << c.label;
        EXPECT_NE(sink.Read(1, "html").find("<td>Quarterly \xC3\xA9tude</td>"), std::string::npos) << c.label;
        EXPECT_EQ(sink.Read(1, "attachment-name"), c.file) << c.label;
        EXPECT_EQ(sink.Read(1, "attachment"), kDocument) << c.label;
        EXPECT_EQ(Text(c.value), "") << c.label;

        // A second start finds nothing named and sends nothing.
        const ProcessResult again = RunRelayer();
        EXPECT_EQ(again.exitCode, 0) << c.label;
        EXPECT_NE(again.err.find("nothing to send"), std::string::npos) << c.label << ": " << again.err;
        EXPECT_EQ(sink.Count(), 1u) << c.label;
    }
}

TEST_F(RelayerSmtpTest, UsesStartTlsWhenTheServerOffersIt)
{
    const std::optional<CertificateFiles> certificate = MakeLoopbackCertificate(folder_.Path());
    if (!certificate)
        GTEST_SKIP() << "no openssl program to make a certificate with";
    SmtpSink sink({"bob", kPassword, "PLAIN", certificate->certificate, certificate->key, false});
    ASSERT_NE(sink.Port(), 0);
    StoreSettings("127.0.0.1", static_cast<std::uint32_t>(sink.Port()), "AUTH PLAIN");

    // A certificate no authority vouches for: nothing is sent, and no password.
    SetText("ESentFile", (Logs() / "TestEmail.xml").string());
    const ProcessResult untrusted = RunRelayer();
    EXPECT_EQ(untrusted.exitCode, 4);
    EXPECT_NE(untrusted.err.find("certificate"), std::string::npos) << untrusted.err;
    EXPECT_EQ(sink.Count(), 0u);

    SetText("ESentFile", (Logs() / "TestEmail.xml").string());
    const ProcessResult trusted = RunRelayer({{"OSTREL_RELAYER_CA_FILE", certificate->certificate.string()}});
    EXPECT_EQ(trusted.exitCode, 0) << trusted.err;
    ASSERT_EQ(sink.Count(), 1u);
    EXPECT_EQ(sink.Read(1, "envelope"), "from=ostrel@example.org\nto=alice@example.org\nauth=PLAIN\ntls=yes\n");
}

TEST_F(RelayerSmtpTest, AServerThatRefusesGivesAClearReason)
{
    struct Case {
        const char* label;
        SmtpSinkOptions options;
        const char* auth;
        std::string password;
        const char* reason;
    };
    const Case cases[] = {
        {"recipient refused", {"", "", "PLAIN", {}, {}, true}, "None", kPassword, "550 5.7.1 Relaying denied"},
        {"wrong password",
         {"bob", "other secret", "PLAIN LOGIN", {}, {}, false},
         "AUTH LOGIN",
         kPassword,
         "Login denied; the server said: 535 5.7.8"},
        {"login wanted",
         {"bob", kPassword, "PLAIN", {}, {}, false},
         "None",
         kPassword,
         "530 5.7.0 Authentication required"},
        {"a server that repeats the PLAIN login",
         {"bob", "other", "PLAIN", {}, {}, false, true},
         "AUTH PLAIN",
         kPassword,
         "Login denied; the server said: 535 5.7.8 Authentication failed for (hidden)"},
        {"a server that repeats the LOGIN login",
         {"bob", "other", "LOGIN", {}, {}, false, true},
         "AUTH LOGIN",
         kPassword,
         "Login denied; the server said: 535 5.7.8 Authentication failed for Ym9i (hidden)"},
        {"method not offered",
         {"bob", kPassword, "LOGIN", {}, {}, false},
         "CRAM MD5",
         kPassword,
         "the mail server offers no CRAM-MD5 login"},
    };
    for (const auto& c : cases) {
        SmtpSink sink(c.options);
        ASSERT_NE(sink.Port(), 0) << c.label;
        StoreSettings("127.0.0.1", static_cast<std::uint32_t>(sink.Port()), c.auth);
        SetText("EToSendFile", (Logs() / "Report.xml").string());
        const ProcessResult result = RunRelayer();
        EXPECT_EQ(result.exitCode, 4) << c.label << ": " << result.err;
        EXPECT_NE(result.err.find("could not send the daily report " + (Logs() / "Report.xml").string() +
                                  " to alice@example.org through 127.0.0.1:" + std::to_string(sink.Port()) + ": "),
                  std::string::npos)
            << c.label << ": " << result.err;
        EXPECT_NE(result.err.find(c.reason), std::string::npos) << c.label << ": " << result.err;
        EXPECT_EQ(sink.Count(), 0u) << c.label;
        for (const char* encoded : {kPlainLogin, kLoginPassword})
            EXPECT_EQ(result.err.find(encoded), std::string::npos) << c.label << ": " << result.err;
        // Claimed all the same: the monitor names a fresh report next time.
        EXPECT_EQ(Text("EToSendFile"), "") << c.label;
    }
}

TEST_F(RelayerSmtpTest, WrongSettingsFailBeforeAnyConnection)
{
    SmtpSink sink;
    ASSERT_NE(sink.Port(), 0);
    const auto port = static_cast<std::uint32_t>(sink.Port());
    struct Case {
        const char* label;
        std::string server;
        std::uint32_t port;
        const char* auth;
        int exitCode;
        const char* reason;
    };
    const Case cases[] = {
        {"empty server", "", port, "None", 1, "no mail server is set (ESMTPSRV)"},
        {"port 0", "127.0.0.1", 0, "None", 1, "the mail server port is 0 (ESMTPPORT)"},
        {"NTLM", "127.0.0.1", port, "NTLM", 1, "NTLM is not supported"},
        {"nobody listening", "127.0.0.1", 1, "None", 4, "Couldn't connect to server"},
    };
    for (const auto& c : cases) {
        StoreSettings(c.server, c.port, c.auth);
        SetText("ESentFile", (Logs() / "TestEmail.xml").string());
        const ProcessResult result = RunRelayer();
        EXPECT_EQ(result.exitCode, c.exitCode) << c.label << ": " << result.err;
        EXPECT_NE(result.err.find(c.reason), std::string::npos) << c.label << ": " << result.err;
    }
    EXPECT_EQ(sink.Count(), 0u);

    SetText("ESentFile", (Logs() / "Missing.xml").string());
    StoreSettings("127.0.0.1", port, "None");
    const ProcessResult missing = RunRelayer();
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_NE(missing.err.find("there is no such file"), std::string::npos) << missing.err;
}

TEST_F(RelayerSmtpTest, TheMonitorsDailyReportReachesTheServer)
{
    SmtpSink sink({"bob", kPassword, "CRAM-MD5", {}, {}, false, false});
    ASSERT_NE(sink.Port(), 0);
    StoreSettings("127.0.0.1", static_cast<std::uint32_t>(sink.Port()), "CRAM MD5");
    fs::create_symlink(BuiltProgram("Relayer"), folder_ / "app" / "Relayer");
    const std::string records =
        "\n<event><day>29</day><month>02</month><year>2024</year><hour>09</hour><min>12</min><doc>Minutes</doc>"
        "<pages>2</pages><cost>20</cost><printer>Laser</printer><user>carol</user></event>";
    ASSERT_TRUE(ReplaceFile(Logs() / "d_20240229.xml", std::string(525, ' ') + records));
    SetText("ToSendDay", "20240229");
    RegValueDword emailLog("Software\\Ostrel\\EmailLog", 0, false, hive_);
    emailLog.Set(1);

    // The mailer the task starts finds the store through the environment it inherits.
    ::setenv("OSTREL_REGISTRY_ROOT", (folder_ / "registry").string().c_str(), 1);
    FakeClock clock(LocalTimePoint(2024, 3, 1, 0, 0, 10));
    SpawnProcessLauncher launcher;
    ReportMailer task(ReportMailerSetup{hive_, clock, (folder_ / "app").string(), launcher});
    task.Start();
    ASSERT_TRUE(clock.WaitForSleep(1));  // the minute before the document is removed
    const bool arrived = Eventually([&] { return sink.Count() == 1; });
    task.Stop();
    ::unsetenv("OSTREL_REGISTRY_ROOT");

    ASSERT_TRUE(arrived);
    EXPECT_EQ(sink.Read(1, "envelope"), "from=ostrel@example.org\nto=alice@example.org\nauth=CRAM-MD5\ntls=no\n");
    EXPECT_EQ(sink.Read(1, "subject"), "Ostrel print report for 02/29/2024");
    EXPECT_EQ(sink.Read(1, "attachment"), ReadFileBytes(Logs() / "Report.xml"));
    EXPECT_NE(sink.Read(1, "html").find("<td>Minutes</td>"), std::string::npos);
    EXPECT_EQ(Text("EToSendFile"), "");
    EXPECT_TRUE(Eventually([&] {
        launcher.ReapFinished();
        return launcher.Unreaped() == 0;
    }));
}

TEST_F(RelayerSmtpTest, TakesNoArguments)
{
    const ProcessResult result = RunProgram(BuiltProgram("Relayer"), {"--send"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("usage: Relayer"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace ostrel::test
