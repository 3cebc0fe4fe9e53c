#include "ReportMailer.h"

#include "FakeClock.h"
#include "FakeProcessLauncher.h"
#include "Files.h"
#include "RegValue.h"
#include "RegistryHive.h"
#include "TempFolder.h"
#include "ZoneGuard.h"

#include <gtest/gtest.h>

#include <optional>

namespace ostrel::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kStylesheet = "https://reports.example/css-js/ostrel.xsl";
const std::string kRecords =
    "\n<event><day>29</day><month>02</month><year>2024</year><hour>10</hour><min>05</min><doc>Budget.ods</doc>"
    "<pages>3</pages><cost>30</cost><printer>Laser</printer><user>alice</user></event>"
    "\n<event><day>29</day><month>02</month><year>2024</year><hour>17</hour><min>40</min><doc>Plan</doc>"
    "<pages>1</pages><cost>10</cost><printer>Laser</printer><user>bob</user></event>";

std::string Blanks(std::size_t count)
{
    return std::string(count, ' ');
}

// The report document of kRecords with `caption`, written out in full.
std::string ExpectedReport(const std::string& caption)
{
    const std::string head = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" ?><?xml-stylesheet href='") +
                             kStylesheet + "' type='text/xsl'?><log><period>" + caption + "</period>";
    return head + Blanks(525 - head.size()) + kRecords + "</log>";
}

class ReportMailerTest : public ::testing::Test {
protected:
    ReportMailerTest() : hive_(folder_ / "registry") {}
    ~ReportMailerTest() override { mailer_.reset(); }

    // Starts the task at `start` and lets its first pass run.
    void StartAt(Clock::TimePoint start)
    {
        clock_ = std::make_unique<FakeClock>(start);
        mailer_ = std::make_unique<ReportMailer>(
            ReportMailerSetup{hive_, *clock_, folder_.Path().string(), launcher_, kStylesheet});
        mailer_->Start();
        ASSERT_TRUE(clock_->WaitForSleep(1));
    }
    // Lets `by` pass and waits until the task sleeps again.
    void Pass(std::chrono::milliseconds by)
    {
        const std::size_t sleeps = clock_->SleepsBegun();
        clock_->Advance(by);
        ASSERT_TRUE(clock_->WaitForSleep(sleeps + 1));
    }

    void SetString(const char* name, const std::string& value)
    {
        RegValueString text(std::string("Software\\Ostrel\\") + name, "", false, hive_);
        text.Set(value);
        text.Write();
    }
    void SetDword(const char* name, std::uint32_t value)
    {
        RegValueDword dword(std::string("Software\\Ostrel\\") + name, 0, false, hive_);
        dword.Set(value);
        dword.Write();
    }
    std::optional<std::string> Stored(const char* name)
    {
        RegValueString text(std::string("Software\\Ostrel\\") + name, "", false, hive_);
        return text.Valid() ? std::optional(text.Get()) : std::nullopt;
    }

    void WriteDayLog(const std::string& day, const std::string& records = kRecords)
    {
        fs::create_directories(folder_ / "Logs");
        ASSERT_TRUE(ReplaceFile(folder_ / "Logs" / ("d_" + day + ".xml"), Blanks(525) + records));
    }
    fs::path Report() const { return folder_ / "Logs" / "Report.xml"; }
    std::string ReportText() const { return ReadFileBytes(Report()).value_or("(missing)"); }
    std::vector<fs::path> MailerStarts() const { return launcher_.Started(); }
    std::vector<fs::path> Mailer() const { return {folder_ / "Relayer"}; }

    TempFolder folder_;
    DirectoryRegistry hive_;
    FakeProcessLauncher launcher_;
    std::unique_ptr<FakeClock> clock_;
    std::unique_ptr<ReportMailer> mailer_;
};

TEST_F(ReportMailerTest, MailsTheDayThatJustEndedOnceAndRemovesTheDocumentAMinuteLater)
{
    SetString("ToSendDay", "20240229");
    SetDword("EmailLog", 1);
    WriteDayLog("20240229");
    StartAt(LocalTimePoint(2024, 2, 29, 23, 59, 0));
    EXPECT_FALSE(fs::exists(Report()));  // the day is not over yet
    EXPECT_TRUE(MailerStarts().empty());

    Pass(60s);  // midnight: 1 March 2024
    EXPECT_EQ(ReportText(), ExpectedReport("03/01/2024"));
    EXPECT_EQ(Stored("EToSendFile"), Report().string());
    EXPECT_EQ(MailerStarts(), Mailer());
    EXPECT_EQ(Stored("ToSendDay"), "20240301");

    // The mailer has a full minute to read the document.
    clock_->Advance(ReportMailer::kRemovalDelay - 1s);
    EXPECT_FALSE(clock_->WaitForSleep(3, 200ms));
    EXPECT_TRUE(fs::exists(Report()));
    Pass(1s);
    EXPECT_FALSE(fs::exists(Report()));
    EXPECT_GE(launcher_.Reaps(), 1);

    // The next two midnights mail nothing: the day was mailed, and 1 March
    // has no log.
    Pass(24h - ReportMailer::kRemovalDelay);
    Pass(24h);
    EXPECT_EQ(MailerStarts().size(), 1u);
    EXPECT_EQ(Stored("ToSendDay"), "20240303");
    EXPECT_FALSE(fs::exists(Report()));
}

TEST_F(ReportMailerTest, WithEmailLogOffTheDocumentStaysAndTheNextDayIsStillConsidered)
{
    SetString("ToSendDay", "20240229");
    WriteDayLog("20240229");
    StartAt(LocalTimePoint(2024, 2, 29, 23, 59, 0));

    Pass(60s);
    EXPECT_EQ(ReportText(), ExpectedReport("03/01/2024"));
    EXPECT_EQ(Stored("EToSendFile"), Report().string());
    EXPECT_TRUE(MailerStarts().empty());
    EXPECT_EQ(Stored("ToSendDay"), "20240301");

    // The switch goes on during 1 March: that day's report is mailed.
    WriteDayLog("20240301");
    SetDword("EmailLog", 1);
    Pass(24h);
    EXPECT_EQ(MailerStarts(), Mailer());
    EXPECT_EQ(ReportText(), ExpectedReport("03/02/2024"));
}

TEST_F(ReportMailerTest, FirstStartWithoutToSendDayNotesToday)
{
    WriteDayLog("20240229");
    SetDword("EmailLog", 1);
    StartAt(LocalTimePoint(2024, 3, 1, 8, 30, 0));
    EXPECT_EQ(Stored("ToSendDay"), "20240301");
    EXPECT_FALSE(fs::exists(Report()));
    EXPECT_FALSE(Stored("EToSendFile"));
    EXPECT_TRUE(MailerStarts().empty());
}

TEST_F(ReportMailerTest, AStartTheDayAfterTheNotedDayMailsAtOnce)
{
    // The monitor was stopped over midnight and started again in the morning.
    SetString("ToSendDay", "20231231");
    WriteDayLog("20231231");
    SetDword("EmailLog", 1);
    StartAt(LocalTimePoint(2024, 1, 1, 9, 15, 0));
    EXPECT_EQ(MailerStarts(), Mailer());
    EXPECT_EQ(ReportText(), ExpectedReport("01/01/2024"));
    EXPECT_EQ(Stored("ToSendDay"), "20240101");
}

TEST_F(ReportMailerTest, ADayWithoutALogMailsNothingAndTheNextDayIsStillMailed)
{
    SetString("ToSendDay", "20240229");
    SetDword("EmailLog", 1);
    StartAt(LocalTimePoint(2024, 2, 29, 23, 59, 0));
    Pass(60s);
    EXPECT_FALSE(fs::exists(Report()));
    EXPECT_FALSE(Stored("EToSendFile"));
    EXPECT_TRUE(MailerStarts().empty());
    EXPECT_EQ(Stored("ToSendDay"), "20240301");

    WriteDayLog("20240301");
    Pass(24h);
    EXPECT_EQ(MailerStarts(), Mailer());
    EXPECT_EQ(ReportText(), ExpectedReport("03/02/2024"));
}

TEST_F(ReportMailerTest, NoReportWhenTheLogCannotBeReadOrTheDocumentCannotBeWritten)
{
    struct Case {
        const char* label;
        bool dayLogUnreadable;  // a folder where the log should be
        bool reportUnwritable;  // a folder, not empty, where the document goes
    };
    const Case cases[] = {{"day log cannot be read", true, false}, {"document cannot be written", false, true}};
    for (const auto& c : cases) {
        TempFolder app;
        DirectoryRegistry hive(app / "registry");
        FakeProcessLauncher launcher;
        FakeClock clock(LocalTimePoint(2024, 3, 1, 0, 0, 30));
        RegValueString toSendDay("Software\\Ostrel\\ToSendDay", "", false, hive);
        toSendDay.Set("20240229");
        RegValueDword emailLog("Software\\Ostrel\\EmailLog", 0, false, hive);
        emailLog.Set(1);
        fs::create_directories(app / "Logs");
        // Yesterday's document, already mailed: it must not be mailed again.
        ASSERT_TRUE(ReplaceFile(app / "Logs" / "Report.xml", "old report"));
        if (c.dayLogUnreadable)
            fs::create_directories(app / "Logs" / "d_20240229.xml" / "inside");
        else
            ASSERT_TRUE(ReplaceFile(app / "Logs" / "d_20240229.xml", Blanks(525) + kRecords));
        if (c.reportUnwritable) {
            fs::remove(app / "Logs" / "Report.xml");
            fs::create_directories(app / "Logs" / "Report.xml" / "inside");
        }

        ReportMailer mailer(ReportMailerSetup{hive, clock, app.Path().string(), launcher, kStylesheet});
        mailer.Start();
        ASSERT_TRUE(clock.WaitForSleep(1)) << c.label;
        mailer.Stop();
        EXPECT_TRUE(launcher.Started().empty()) << c.label;
        EXPECT_FALSE(RegValueString("Software\\Ostrel\\EToSendFile", "", false, hive).Valid()) << c.label;
        if (!c.reportUnwritable) {
            EXPECT_EQ(ReadFileBytes(app / "Logs" / "Report.xml"), "old report") << c.label;
        }
        EXPECT_EQ(RegValueString("Software\\Ostrel\\ToSendDay", "", false, hive).Get(), "20240301") << c.label;
    }
}

// A member of the group links yesterday's log to a secret, or the document
// to a file outside: the root task copies no secret and writes nothing
// outside the tree, and its document is not for others to read.
TEST_F(ReportMailerTest, LinksPlantedInLogsCopyNoSecretAndWriteNothingOutside)
{
    TempFolder outside;
    ASSERT_TRUE(ReplaceFile(outside / "secret", "root's secret", 0600));
    ASSERT_TRUE(ReplaceFile(outside / "victim", "untouched", 0644));
    fs::create_directories(folder_ / "Logs");
    fs::create_symlink(outside / "secret", folder_ / "Logs" / "d_20240229.xml");
    SetString("ToSendDay", "20240229");
    SetDword("EmailLog", 1);
    StartAt(LocalTimePoint(2024, 3, 1, 0, 0, 30));
    EXPECT_FALSE(fs::exists(Report()));
    EXPECT_FALSE(Stored("EToSendFile"));
    EXPECT_TRUE(MailerStarts().empty());
    mailer_.reset();

    // The next day: a real log, and the document a link to a file outside.
    WriteDayLog("20240301");
    fs::create_symlink(outside / "victim", Report());
    SetString("ToSendDay", "20240301");
    StartAt(LocalTimePoint(2024, 3, 2, 0, 0, 30));
    EXPECT_EQ(ReadFileBytes(outside / "victim"), "untouched");
    EXPECT_EQ(ReadFileBytes(outside / "secret"), "root's secret");
    ASSERT_FALSE(fs::is_symlink(Report()));
    EXPECT_EQ(ReportText(), ExpectedReport("03/02/2024"));
    EXPECT_EQ(fs::status(Report()).permissions(), fs::perms(0640));
    EXPECT_EQ(MailerStarts(), Mailer());
}

TEST_F(ReportMailerTest, DaysOf23And25HoursHaveOneYesterdayAndOneMidnight)
{
    ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
    SetDword("EmailLog", 1);

    // 31 March 2024 lasts 23 hours: 24 hours before the next midnight lie
    // on 30 March, yet the day that just ended is 31 March.
    SetString("ToSendDay", "20240331");
    WriteDayLog("20240331");
    StartAt(LocalTimePoint(2024, 3, 31, 0, 0, 0));
    Pass(23h);
    EXPECT_EQ(Stored("ToSendDay"), "20240401");
    EXPECT_EQ(MailerStarts().size(), 1u);
    EXPECT_EQ(ReportText(), ExpectedReport("04/01/2024"));
    mailer_.reset();

    // 27 October 2024 lasts 25 hours: no pass before its real end.
    SetString("ToSendDay", "20241027");
    WriteDayLog("20241027");
    StartAt(LocalTimePoint(2024, 10, 27, 0, 0, 0));
    clock_->Advance(24h);
    EXPECT_FALSE(clock_->WaitForSleep(2, 200ms));
    Pass(1h);
    EXPECT_EQ(Stored("ToSendDay"), "20241028");
    EXPECT_EQ(MailerStarts().size(), 2u);
    EXPECT_EQ(ReportText(), ExpectedReport("10/28/2024"));
}

TEST_F(ReportMailerTest, StopsAtOnceWhileWaiting)
{
    SetString("ToSendDay", "20240229");
    SetDword("EmailLog", 1);
    WriteDayLog("20240229");
    StartAt(LocalTimePoint(2024, 3, 1, 0, 0, 5));  // asleep in the minute before the removal
    EXPECT_TRUE(mailer_->Running());
    EXPECT_EQ(mailer_->Stop(), 0u);
    EXPECT_TRUE(fs::exists(Report()));  // the mailer may still be reading it

    mailer_.reset();
    StartAt(LocalTimePoint(2024, 3, 1, 12, 0, 0));  // asleep until midnight
    EXPECT_EQ(mailer_->Stop(), 0u);
}

TEST(DailyReportDocument, HeaderAndCaptionOverTheLeadingBlanks)
{
    const std::string head = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" ?><?xml-stylesheet href='") +
                             kStylesheet + "' type='text/xsl'?><log><period>10/28/2024</period>";
    struct Case {
        const char* label;
        std::string dayLog;
        std::string document;
    };
    const Case cases[] = {
        {"the 525 blanks of every log", Blanks(525) + kRecords, head + Blanks(525 - head.size()) + kRecords + "</log>"},
        {"a log without records", Blanks(525), head + Blanks(525 - head.size()) + "</log>"},
        {"room for the header exactly", Blanks(head.size()) + kRecords, head + kRecords + "</log>"},
        // Too short a run: the records are kept whole after the header.
        {"a short blank run", Blanks(20) + kRecords, head + kRecords + "</log>"},
        {"no blank run", kRecords, head + kRecords + "</log>"},
        {"an empty file", "", head + "</log>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BuildDailyReport(c.dayLog, kStylesheet, "10/28/2024"), c.document) << c.label;
}

TEST(DailyReportDocument, CaptionIsTheMonthDayAndYearOfTheBuild)
{
    EXPECT_EQ(ReportCaption(LocalTimePoint(2024, 3, 1, 0, 0, 5)), "03/01/2024");
    EXPECT_EQ(ReportCaption(LocalTimePoint(2025, 12, 31, 23, 59, 59)), "12/31/2025");
    EXPECT_EQ(ReportCaption(LocalTimePoint(2026, 1, 9, 12, 0, 0)), "01/09/2026");
}

TEST(DailyReportDocument, OnlyAStylesheetAddressThatFitsIsUsed)
{
    const std::string fallback = DefaultReportStylesheet();
    EXPECT_TRUE(fallback.starts_with("http"));
    EXPECT_TRUE(fallback.ends_with("/css-js/ostrel.xsl"));
    struct Case {
        const char* label;
        std::string address;
        std::string used;
    };
    const Case cases[] = {
        {"an ordinary address", kStylesheet, kStylesheet},
        {"400 characters", "http://h/" + std::string(391, 'a'), "http://h/" + std::string(391, 'a')},
        {"401 characters", "http://h/" + std::string(392, 'a'), fallback},
        {"empty", "", fallback},
        {"an apostrophe", "http://h/a'b.xsl", fallback},
        {"an instruction end", "http://h/a?>b.xsl", fallback},
        {"an ampersand", "http://h/a.xsl?x=1&y=2", fallback},
        {"a space", "http://h/a b.xsl", fallback},
        {"a line feed", "http://h/a\nb.xsl", fallback},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UsableReportStylesheet(c.address), c.used) << c.label;
}

}  // namespace
}  // namespace ostrel::test
