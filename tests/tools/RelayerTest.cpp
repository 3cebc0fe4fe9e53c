#include "HandOver.h"
#include "MailComposer.h"
#include "MailChecks.h"
#include "Relayer.h"
#include "ReportRendering.h"
#include "SmtpMailer.h"

#include "FakeClock.h"
#include "Files.h"
#include "RegValue.h"
#include "ShiftedText.h"
#include "TempFolder.h"
#include "ZoneGuard.h"

#include <gtest/gtest.h>

#include <optional>

namespace ostrel::test {
namespace {

namespace fs = std::filesystem;

const std::string kEvent =
    "\n<event><day>29</day><month>02</month><year>2024</year><hour>10</hour><min>05</min><doc>Budget</doc>"
    "<pages>3</pages><cost>30</cost><printer>Laser</printer><user>alice</user></event>";

std::string ReportDocument(const std::string& caption, const std::string& records)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><?xml-stylesheet href='https://h/css-js/ostrel.xsl' "
           "type='text/xsl'?><log><period>" +
           caption + "</period>   " + records + "</log>";
}

void SetText(RegistryHive& hive, const char* name, const std::string& value)
{
    RegValueString text(std::string("Software\\Ostrel\\") + name, "", false, hive);
    text.Set(value);
    text.Write();
}

std::string Text(RegistryHive& hive, const char* name)
{
    return RegValueString(std::string("Software\\Ostrel\\") + name, "", false, hive).Get();
}

// Stores the settings as the console's e-mail dialog does.
void StoreSettings(RegistryHive& hive, const MailSettings& settings)
{
    SetText(hive, "EEmailAddress", ShiftText(settings.recipient));
    SetText(hive, "ESMTPName", ShiftText(settings.senderName));
    SetText(hive, "ESMTPEmailAddress", ShiftText(settings.senderAddress));
    SetText(hive, "ESMTPEmailAddress4Server", ShiftText(settings.userName));
    SetText(hive, "ESMTPPass4MailServer", ShiftText(settings.password));
    SetText(hive, "ESMTPAUTH", ShiftText(settings.authMethod));
    SetText(hive, "ESMTPSRV", ShiftText(settings.server));
    RegValueDword port("Software\\Ostrel\\ESMTPPORT", 0, false, hive);
    port.Set(settings.port);
}

MailSettings GoodSettings()
{
    return MailSettings{"alice@example.org", "Ostrel",     "ostrel@example.org", "bob",
                        "pa55 w0rd",         "AUTH PLAIN", "mail.example.org",   587};
}

TEST(RelayerSettings, AreReadBackFromTheirShiftedForm)
{
    TempFolder folder;
    DirectoryRegistry hive(folder / "registry");
    MailSettings stored = GoodSettings();
    stored.senderName = "J\xC3\xBCrgen \xF5\xF6";  // with both escaped bytes
    StoreSettings(hive, stored);
    EXPECT_NE(Text(hive, "ESMTPPass4MailServer"), stored.password);

    const MailSettings loaded = LoadMailSettings(hive);
    EXPECT_EQ(loaded.recipient, stored.recipient);
    EXPECT_EQ(loaded.senderName, stored.senderName);
    EXPECT_EQ(loaded.senderAddress, stored.senderAddress);
    EXPECT_EQ(loaded.userName, stored.userName);
    EXPECT_EQ(loaded.password, stored.password);
    EXPECT_EQ(loaded.authMethod, stored.authMethod);
    EXPECT_EQ(loaded.server, stored.server);
    EXPECT_EQ(loaded.port, stored.port);

    const MailSettings absent = LoadMailSettings(*std::make_unique<DirectoryRegistry>(folder / "empty"));
    EXPECT_EQ(absent.recipient, "");
    EXPECT_EQ(absent.port, 0u);
}

TEST(RelayerSettings, AuthenticationMethods)
{
    struct Case {
        const char* text;
        std::optional<AuthMethod> method;
    };
    const Case cases[] = {
        {"None", AuthMethod::None},
        {"", AuthMethod::None},
        {"AUTH LOGIN", AuthMethod::Login},
        {"auth login", AuthMethod::Login},
        {"LOGIN", AuthMethod::Login},
        {"AUTH PLAIN", AuthMethod::Plain},
        {"CRAM MD5", AuthMethod::CramMd5},
        {"CRAM-MD5", AuthMethod::CramMd5},
        {"NTLM", std::nullopt},
        {"Kerberos", std::nullopt},
        {"AUTH", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseAuthMethod(c.text), c.method) << c.text;
}

TEST(RelayerSettings, WhatKeepsThemFromBeingUsed)
{
    struct Case {
        const char* label;
        void (*change)(MailSettings&);
        const char* problem;  // a part of the reason; empty when usable
    };
    const Case cases[] = {
        {"usable", [](MailSettings&) {}, ""},
        {"no authentication",
         [](MailSettings& s) {
             s.authMethod = "None";
             s.userName.clear();
         },
         ""},
        {"an IPv6 server", [](MailSettings& s) { s.server = "[::1]"; }, ""},
        {"empty server", [](MailSettings& s) { s.server.clear(); }, "no mail server is set (ESMTPSRV)"},
        {"server with a path", [](MailSettings& s) { s.server = "mail.example.org/x"; }, "is not a host name"},
        {"server with a line end", [](MailSettings& s) { s.server = "a\nb"; }, "\"a?b\" is not a host name"},
        {"port 0", [](MailSettings& s) { s.port = 0; }, "the mail server port is 0 (ESMTPPORT)"},
        {"port -1", [](MailSettings& s) { s.port = 0xFFFFFFFF; }, "port -1 is not a TCP port"},
        {"port 65536", [](MailSettings& s) { s.port = 65536; }, "port 65536 is not a TCP port"},
        {"no recipient", [](MailSettings& s) { s.recipient.clear(); }, "no recipient address is set"},
        {"recipient without @", [](MailSettings& s) { s.recipient = "alice"; }, "is not an e-mail address"},
        {"recipient of one @", [](MailSettings& s) { s.recipient = "@"; }, "is not an e-mail address"},
        {"recipient with a line end", [](MailSettings& s) { s.recipient = "a@b\r\nRCPT TO:<x@y>"; },
         "is not an e-mail address"},
        {"no sender", [](MailSettings& s) { s.senderAddress.clear(); }, "no sender address is set"},
        {"sender with a blank", [](MailSettings& s) { s.senderAddress = "o strel@example.org"; },
         "is not an e-mail address (ESMTPEmailAddress)"},
        {"NTLM", [](MailSettings& s) { s.authMethod = "NTLM"; }, "NTLM is not supported"},
        {"an unknown method", [](MailSettings& s) { s.authMethod = "GSSAPI"; }, "\"GSSAPI\" is unknown"},
        {"login without a user", [](MailSettings& s) { s.userName.clear(); }, "needs a user name"},
    };
    for (const auto& c : cases) {
        MailSettings settings = GoodSettings();
        c.change(settings);
        const std::optional<std::string> problem = ProblemWithMailSettings(settings);
        if (std::string(c.problem).empty()) {
            EXPECT_EQ(problem, std::nullopt) << c.label;
        } else {
            ASSERT_TRUE(problem) << c.label;
            EXPECT_NE(problem->find(c.problem), std::string::npos) << c.label << ": " << *problem;
            EXPECT_EQ(problem->find(settings.password), std::string::npos) << c.label;
        }
    }
}

// The mailer and the log of one start, recorded.
class RecordingMailer final : public Mailer {
public:
    SendOutcome Send(const MailSettings& settings, const MailMessage& mail) override
    {
        sentSettings = settings;
        sent.push_back(mail);
        return outcome;
    }
    SendOutcome outcome{true, {}};
    std::vector<MailMessage> sent;
    MailSettings sentSettings;
};

class RecordingLog final : public RelayerLog {
public:
    void Info(std::string_view line) override { lines.push_back("info: " + std::string(line)); }
    void Error(std::string_view line) override { lines.push_back("error: " + std::string(line)); }
    std::vector<std::string> lines;
};

// A store whose writes fail, as the store does for a user without rights.
class ReadOnlyHive final : public RegistryHive {
public:
    explicit ReadOnlyHive(RegistryHive& inner) : inner_(inner) {}
    std::optional<RegData> Query(std::string_view key, std::string_view name) const override
    {
        return inner_.Query(key, name);
    }
    bool Set(std::string_view, std::string_view, const RegData&) override { return false; }
    bool Remove(std::string_view, std::string_view) override { return false; }
    std::optional<std::vector<RegEntry>> Enumerate(std::string_view key) const override
    {
        return inner_.Enumerate(key);
    }

private:
    RegistryHive& inner_;
};

TEST(RelayerHandOver, EachStartTakesOneNamedFileAndClearsIt)
{
    struct Case {
        const char* label;
        const char* testFile;    // ESentFile, or nothing
        const char* reportFile;  // EToSendFile, or nothing
        std::optional<MailKind> taken;
        const char* sentLeft;
        const char* reportLeft;
    };
    const Case cases[] = {
        {"nothing named", nullptr, nullptr, std::nullopt, "", ""},
        {"both empty", "", "", std::nullopt, "", ""},
        {"a test message", "/a/Logs/TestEmail.xml", nullptr, MailKind::TestMessage, "", ""},
        {"a daily report", nullptr, "/a/Logs/Report.xml", MailKind::DailyReport, "", ""},
        // A report named while mail was off stays for the monitor's next start.
        {"both named", "/a/Logs/TestEmail.xml", "/a/Logs/Report.xml", MailKind::TestMessage, "", "/a/Logs/Report.xml"},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        DirectoryRegistry hive(folder / "registry");
        if (c.testFile)
            SetText(hive, "ESentFile", c.testFile);
        if (c.reportFile)
            SetText(hive, "EToSendFile", c.reportFile);
        const HandOverClaim claim = ClaimHandOver(hive, folder / "Relayer.lock");
        EXPECT_TRUE(claim.cleared) << c.label;
        ASSERT_EQ(claim.handOver.has_value(), c.taken.has_value()) << c.label;
        if (c.taken) {
            EXPECT_EQ(claim.handOver->kind, *c.taken) << c.label;
            EXPECT_EQ(claim.handOver->file, *c.taken == MailKind::TestMessage ? c.testFile : c.reportFile) << c.label;
        }
        EXPECT_EQ(Text(hive, "ESentFile"), c.sentLeft) << c.label;
        EXPECT_EQ(Text(hive, "EToSendFile"), c.reportLeft) << c.label;
        // The next start finds what is left.
        const HandOverClaim next = ClaimHandOver(hive, {});
        EXPECT_EQ(next.handOver.has_value(), std::string(c.reportLeft) != "") << c.label;
    }
}

TEST(RelayerHandOver, AValueThatCannotBeClearedIsNotSent)
{
    TempFolder folder;
    DirectoryRegistry hive(folder / "registry");
    SetText(hive, "EToSendFile", "/a/Logs/Report.xml");
    ReadOnlyHive readOnly(hive);
    const HandOverClaim claim = ClaimHandOver(readOnly, {});
    ASSERT_TRUE(claim.handOver);
    EXPECT_FALSE(claim.cleared);

    StoreSettings(hive, GoodSettings());
    ASSERT_TRUE(ReplaceFile(folder / "Report.xml", "<log></log>"));
    SetText(hive, "EToSendFile", (folder / "Report.xml").string());
    RecordingMailer mailer;
    RecordingLog log;
    FakeClock clock(LocalTimePoint(2024, 3, 1));
    EXPECT_EQ(RunRelayer({readOnly, folder.Path().string(), mailer, log, clock}), kRelayerNotClaimed);
    EXPECT_TRUE(mailer.sent.empty());
    EXPECT_EQ(log.lines,
              std::vector<std::string>{"error: not sending the daily report " + (folder / "Report.xml").string() +
                                       ": its registry value cannot be cleared, so a later start would "
                                       "send it again"});
}

TEST(RelayerMail, HeadersAndSubject)
{
    struct HeaderCase {
        const char* label;
        std::string name;
        std::string header;
    };
    const HeaderCase headers[] = {
        {"no name", "", "ostrel@example.org"},
        {"plain name", "Ostrel", "\"Ostrel\" <ostrel@example.org>"},
        {"quotes and backslash", "Print \"Room\" \\ 2", "\"Print \\\"Room\\\" \\\\ 2\" <ostrel@example.org>"},
        {"line ends cannot add headers", "Ostrel\r\nBcc: x@y", "\"Ostrel  Bcc: x@y\" <ostrel@example.org>"},
        {"UTF-8", "J\xC3\xBCrgen", "=?UTF-8?B?SsO8cmdlbg==?= <ostrel@example.org>"},
        {"long UTF-8 cut between characters", std::string(44, 'a') + "\xC3\xBC" + "b",
         "=?UTF-8?B?YWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWE=?= =?UTF-8?B?w7xi?= "
         "<ostrel@example.org>"},
    };
    for (const auto& c : headers)
        EXPECT_EQ(MailboxHeader(c.name, "ostrel@example.org"), c.header) << c.label;

    struct SubjectCase {
        const char* label;
        MailKind kind;
        std::string document;
        const char* subject;
    };
    const SubjectCase subjects[] = {
        {"test message", MailKind::TestMessage, ReportDocument("03/01/2024", kEvent), "Ostrel test message"},
        {"report after 29 February", MailKind::DailyReport, ReportDocument("03/01/2024", kEvent),
         "Ostrel print report for 02/29/2024"},
        {"report after New Year", MailKind::DailyReport, ReportDocument("01/01/2025", ""),
         "Ostrel print report for 12/31/2024"},
        {"report without a caption", MailKind::DailyReport, "<log></log>", "Ostrel daily print report"},
        {"report with a caption that is no date", MailKind::DailyReport, ReportDocument("13/45/2024", ""),
         "Ostrel daily print report"},
    };
    for (const auto& c : subjects)
        EXPECT_EQ(MailSubject(HandOver{c.kind, "/a/Logs/Report.xml"}, c.document), c.subject) << c.label;
}

TEST(RelayerMail, ServerRepliesNeverCarryThePassword)
{
    MailSettings settings = GoodSettings();  // user "bob", password "pa55 w0rd"
    struct Case {
        const char* label;
        std::string reply;
        std::string logged;
    };
    const Case cases[] = {
        {"plain text", "535 bad password pa55 w0rd", "535 bad password (hidden)"},
        {"LOGIN form", "535 rejected cGE1NSB3MHJk", "535 rejected (hidden)"},
        {"PLAIN form", "501 cannot decode AGJvYgBwYTU1IHcwcmQ=", "501 cannot decode (hidden)"},
        {"PLAIN form with the user twice", "501 Ym9iAGJvYgBwYTU1IHcwcmQ=", "501 (hidden)"},
        {"twice", "550 pa55 w0rd pa55 w0rd", "550 (hidden) (hidden)"},
        {"nothing secret", "550 5.7.1 Relaying denied", "550 5.7.1 Relaying denied"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HideSecrets(c.reply, settings), c.logged) << c.label;
    // A password that "(hidden)" itself contains is hidden once, not for ever.
    settings.password = "den";
    EXPECT_EQ(HideSecrets("535 den denied", settings), "535 (hidden) (hidden)ied");
    settings.password.clear();
    EXPECT_EQ(HideSecrets("550 denied", settings), "550 denied");
}

TEST(RelayerMail, PasswordLoginsNeedEncryptionUnlessTheServerIsHere)
{
    struct Case {
        AuthMethod method;
        const char* server;
        bool needed;
    };
    const Case cases[] = {
        {AuthMethod::Login, "mail.example.org", true},
        {AuthMethod::Plain, "192.0.2.7", true},
        {AuthMethod::Plain, "localhost", false},
        {AuthMethod::Login, "127.0.0.1", false},
        {AuthMethod::Login, "::1", false},
        {AuthMethod::CramMd5, "mail.example.org", false},
        {AuthMethod::None, "mail.example.org", false},
        {AuthMethod::Plain, "127.example.org", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NeedsEncryption(c.method, c.server), c.needed) << c.server;
}

TEST(RelayerMail, DateInMailForm)
{
    ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(MailDate(LocalTimePoint(2024, 2, 29, 23, 59, 7)), "Thu, 29 Feb 2024 23:59:07 +0100");
    EXPECT_EQ(MailDate(LocalTimePoint(2024, 7, 1, 0, 0, 0)), "Mon, 01 Jul 2024 00:00:00 +0200");
    ZoneGuard west("EST5");
    EXPECT_EQ(MailDate(LocalTimePoint(2025, 12, 31, 8, 5, 0)), "Wed, 31 Dec 2025 08:05:00 -0500");
}

TEST(RelayerMail, TheComposedMail)
{
    const MailSettings settings = GoodSettings();
    const std::string document = ReportDocument("03/01/2024", kEvent);
    const MailMessage mail = ComposeMail(HandOver{MailKind::DailyReport, "/a/Logs/Report.xml"}, document, settings,
                                         LocalTimePoint(2024, 3, 1));
    EXPECT_EQ(mail.envelopeFrom, "ostrel@example.org");
    EXPECT_EQ(mail.envelopeTo, "alice@example.org");
    EXPECT_EQ(mail.attachmentName, "Report.xml");
    EXPECT_EQ(mail.attachment, document);
    EXPECT_NE(mail.html.find("<td>Budget</td>"), std::string::npos) << mail.html;
    ASSERT_EQ(mail.headers.size(), 5u);
    EXPECT_EQ(mail.headers[1], "From: \"Ostrel\" <ostrel@example.org>");
    EXPECT_EQ(mail.headers[2], "To: alice@example.org");
    EXPECT_EQ(mail.headers[3], "Subject: Ostrel print report for 02/29/2024");
    EXPECT_TRUE(mail.headers[4].starts_with("Message-ID: <")) << mail.headers[4];
    EXPECT_TRUE(mail.headers[4].ends_with("@example.org>")) << mail.headers[4];

    // A document that is no XML still goes out, attached, with a note.
    const MailMessage broken =
        ComposeMail(HandOver{MailKind::TestMessage, "/a/Logs/TestEmail.xml"}, "<log><event>", settings, {});
    EXPECT_EQ(broken.attachment, "<log><event>");
    EXPECT_NE(broken.html.find("TestEmail.xml cannot be shown here"), std::string::npos) << broken.html;
}

TEST(RelayerRendering, TheLogAsATableWithTotals)
{
    const std::string second =
        "\n<event><day>29</day><month>02</month><year>2024</year><hour>17</hour><min>40</min>"
        "<doc>Plan &lt;draft&gt; \xC3\xA9t\xC3\xA9</doc><pages>12</pages><cost>125</cost><printer>Laser 2</printer>"
        "<user>bob</user></event>";
    const std::string strange =
        "\n<event><day>1</day><month>3</month><year>2024</year><hour>1</hour><min>2</min><doc>x</doc>"
        "<pages>?</pages><cost></cost><printer>P</printer><user>u</user></event>";
    struct Case {
        const char* label;
        std::string document;
        std::vector<std::string> shown;
    };
    const Case cases[] = {
        {"two jobs",
         ReportDocument("03/01/2024", kEvent + second),
         {"<h1 style=\"font-size: 1.3em;\">Title</h1>", "<p>Intro</p>", "<td>02/29/2024</td>", "<td>10:05</td>",
          "<td>Plan &lt;draft&gt; \xC3\xA9t\xC3\xA9</td>", "<td>Laser 2</td>", "<td align=\"right\">1.25</td>",
          "<td colspan=\"5\">2 jobs</td>", "<td align=\"right\">15</td>", "<td align=\"right\">1.55</td>"}},
        {"no jobs", ReportDocument("03/01/2024", ""), {"No print jobs were recorded."}},
        {"fields that are no numbers",
         ReportDocument("03/02/2024", kEvent + strange),
         {"<td align=\"right\">?</td>", "<td colspan=\"5\">2 jobs</td>", "<td align=\"right\">3</td>",
          "<td align=\"right\">0.30</td>"}},
        {"another document",
         "<?xml version=\"1.0\"?><notes>hello</notes>",
         {"The attached document holds no print log."}},
    };
    for (const auto& c : cases) {
        const std::optional<std::string> html = RenderReportHtml(c.document, "Title", "Intro");
        ASSERT_TRUE(html) << c.label;
        for (const auto& part : c.shown)
            EXPECT_NE(html->find(part), std::string::npos) << c.label << ": " << part << "\n" << *html;
    }
}

TEST(RelayerRendering, TheShippedTestMessage)
{
    const std::optional<std::string> document = ReadFileBytes(fs::path(OSTREL_DATA_DIR) / "TestEmail.xml");
    ASSERT_TRUE(document);
    const std::optional<std::string> html = RenderReportHtml(*document, "Ostrel test message", "");
    ASSERT_TRUE(html);
    EXPECT_NE(html->find("<td>Sample document</td>"), std::string::npos) << *html;
    EXPECT_NE(html->find("<td colspan=\"5\">1 job</td>"), std::string::npos) << *html;
}

TEST(RelayerRendering, NothingOutsideTheDocumentIsRead)
{
    TempFolder folder;
    ASSERT_TRUE(ReplaceFile(folder / "secret.txt", "SECRET-CONTENT"));
    const std::string external = "<?xml version=\"1.0\"?><!DOCTYPE log [<!ENTITY x SYSTEM \"file://" +
                                 (folder / "secret.txt").string() + "\">]><log><event><doc>&x;</doc></event></log>";
    const std::optional<std::string> html = RenderReportHtml(external, "T", "");
    if (html) {
        EXPECT_EQ(html->find("SECRET-CONTENT"), std::string::npos) << *html;
    }

    EXPECT_EQ(RenderReportHtml("<log><event>", "T", ""), std::nullopt);
    EXPECT_EQ(RenderReportHtml("", "T", ""), std::nullopt);
    EXPECT_TRUE(MailStylesheet().starts_with("<?xml"));
}

TEST(RelayerRun, OneLineForEveryOutcome)
{
    struct Case {
        const char* label;
        bool writeFile;
        void (*change)(MailSettings&);
        SendOutcome outcome;
        int exitCode;
        std::string line;  // the start of the one log line
    };
    const auto unchanged = [](MailSettings&) {};
    const Case cases[] = {
        {"sent",
         true,
         unchanged,
         {true, {}},
         kRelayerDone,
         "info: sent the daily report APP/Logs/Report.xml to alice@example.org through mail.example.org:587"},
        {"refused",
         true,
         unchanged,
         {false, "Login denied (last server reply 535)"},
         kRelayerNotSent,
         "error: could not send the daily report APP/Logs/Report.xml to alice@example.org through "
         "mail.example.org:587: Login denied (last server reply 535)"},
        {"no such file",
         false,
         unchanged,
         {true, {}},
         kRelayerNoFile,
         "error: cannot send the daily report APP/Logs/Report.xml: there is no such file"},
        {"empty server",
         true,
         [](MailSettings& s) { s.server.clear(); },
         {true, {}},
         kRelayerBadSettings,
         "error: cannot send the daily report APP/Logs/Report.xml: no mail server is set (ESMTPSRV)"},
        {"port 0",
         true,
         [](MailSettings& s) { s.port = 0; },
         {true, {}},
         kRelayerBadSettings,
         "error: cannot send the daily report APP/Logs/Report.xml: the mail server port is 0 (ESMTPPORT)"},
    };
    for (const auto& c : cases) {
        TempFolder app;
        DirectoryRegistry hive(app / "registry");
        FakeClock clock(LocalTimePoint(2024, 3, 1, 0, 0, 5));
        MailSettings settings = GoodSettings();
        c.change(settings);
        StoreSettings(hive, settings);
        const fs::path report = app / "Logs" / "Report.xml";
        SetText(hive, "EToSendFile", report.string());
        if (c.writeFile) {
            fs::create_directories(report.parent_path());
            ASSERT_TRUE(ReplaceFile(report, ReportDocument("03/01/2024", kEvent)));
        }
        RecordingMailer mailer;
        mailer.outcome = c.outcome;
        RecordingLog log;

        EXPECT_EQ(RunRelayer({hive, app.Path().string(), mailer, log, clock}), c.exitCode) << c.label;
        std::string expected = c.line;
        expected.replace(expected.find("APP"), 3, app.Path().string());
        EXPECT_EQ(log.lines, std::vector<std::string>{expected}) << c.label;
        EXPECT_EQ(mailer.sent.size(), c.exitCode == kRelayerBadSettings || c.exitCode == kRelayerNoFile ? 0u : 1u)
            << c.label;
        EXPECT_EQ(Text(hive, "EToSendFile"), "") << c.label;
        for (const auto& line : log.lines)
            EXPECT_EQ(line.find(settings.password), std::string::npos) << c.label;

        // The same start again has nothing left to send.
        RecordingLog again;
        EXPECT_EQ(RunRelayer({hive, app.Path().string(), mailer, again, clock}), kRelayerDone) << c.label;
        EXPECT_EQ(again.lines,
                  std::vector<std::string>{"info: nothing to send: neither ESentFile nor EToSendFile names a file"})
            << c.label;
    }
}

TEST(RelayerRun, OnlyFilesOfTheLogsFolderAreMailed)
{
    TempFolder app;
    DirectoryRegistry hive(app / "registry");
    FakeClock clock(LocalTimePoint(2024, 3, 1, 14, 0, 0));
    StoreSettings(hive, GoodSettings());
    fs::create_directories(app / "Logs");
    ASSERT_TRUE(ReplaceFile(app / "secret.txt", "not a log"));
    fs::create_symlink(app / "secret.txt", app / "Logs" / "Report.xml");
    fs::create_directories(app / "Logs" / "Users");
    fs::create_directory_symlink(app.Path(), app / "Logs" / "Users" / "bob");
    const fs::path outside[] = {app / "secret.txt", app / "Logs" / ".." / "secret.txt", app / "Logs" / "Report.xml",
                                app / "Logs" / "Users" / "bob" / "secret.txt"};
    for (const fs::path& file : outside) {
        SetText(hive, "ESentFile", file.string());
        RecordingMailer mailer;
        RecordingLog log;
        EXPECT_EQ(RunRelayer({hive, app.Path().string(), mailer, log, clock}), kRelayerNoFile) << file;
        EXPECT_TRUE(mailer.sent.empty()) << file;
        ASSERT_EQ(log.lines.size(), 1u);
        EXPECT_NE(log.lines[0].find("only files of the Logs folder"), std::string::npos) << log.lines[0];
    }
}

TEST(RelayerRun, TheTestMessageGoesOutWithItsOwnSubject)
{
    TempFolder app;
    DirectoryRegistry hive(app / "registry");
    FakeClock clock(LocalTimePoint(2024, 3, 1, 14, 0, 0));
    StoreSettings(hive, GoodSettings());
    const fs::path testFile = app / "Logs" / "TestEmail.xml";
    fs::create_directories(testFile.parent_path());
    ASSERT_TRUE(ReplaceFile(testFile, ReportDocument("01/01/2024", kEvent)));
    SetText(hive, "ESentFile", testFile.string());
    RecordingMailer mailer;
    RecordingLog log;
    EXPECT_EQ(RunRelayer({hive, app.Path().string(), mailer, log, clock}), kRelayerDone);
    ASSERT_EQ(mailer.sent.size(), 1u);
    EXPECT_EQ(mailer.sent[0].subject, "Ostrel test message");
    EXPECT_EQ(mailer.sent[0].attachmentName, "TestEmail.xml");
    EXPECT_EQ(mailer.sentSettings.password, "pa55 w0rd");
    EXPECT_EQ(log.lines, std::vector<std::string>{"info: sent the test message " + testFile.string() +
                                                  " to alice@example.org through mail.example.org:587"});
}

}  // namespace
}  // namespace ostrel::test
