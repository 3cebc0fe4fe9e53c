#include "OldLogCleaner.h"

#include "FakeClock.h"
#include "Files.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace ostrel::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

using Names = std::vector<std::string>;

// Noon, so that no daylight-saving change moves the date or the week.
CleanupDate At(int year, int month, int day)
{
    return CleanupDateAt(LocalTimePoint(year, month, day, 12));
}

struct FateCase {
    const char* name;
    LogFileFate fate;
};

void ExpectFates(const CleanupDate& today, const std::vector<FateCase>& cases, const std::string& label)
{
    for (const auto& c : cases)
        EXPECT_EQ(JudgeLogFile(c.name, today), c.fate) << label << ": " << c.name;
}

constexpr auto kKeep = LogFileFate::Keep;
constexpr auto kDelete = LogFileFate::Delete;
constexpr auto kNone = LogFileFate::NotAPeriodFile;

std::string DayFile(int year, int month, int day)
{
    char name[32];
    std::snprintf(name, sizeof name, "d_%04d%02d%02d.xml", year, month, day);
    return name;
}

TEST(OldLogCleanerRules, TheCleanupDate)
{
    struct Case {
        const char* label;
        CleanupDate date;
        CleanupDate expected;
    };
    const Case cases[] = {
        {"1 March, leap year", At(2024, 3, 1), {2024, 3, 1, 9, 29}},
        {"1 March, common year", At(2023, 3, 1), {2023, 3, 1, 9, 28}},
        {"1 January", At(2024, 1, 1), {2024, 1, 1, 1, 31}},
        {"10 March, leap year", At(2024, 3, 10), {2024, 3, 10, 10, 29}},
        {"31 December", At(2023, 12, 31), {2023, 12, 31, 53, 30}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.date.year, c.expected.year) << c.label;
        EXPECT_EQ(c.date.month, c.expected.month) << c.label;
        EXPECT_EQ(c.date.day, c.expected.day) << c.label;
        EXPECT_EQ(c.date.week, c.expected.week) << c.label;
        EXPECT_EQ(c.date.lastDayOfPreviousMonth, c.expected.lastDayOfPreviousMonth) << c.label;
    }
}

TEST(OldLogCleanerRules, OnTheFirstTheFirstAndTheRealLastDayOfThePreviousMonthStay)
{
    struct Case {
        int year, month;
        int yesterday;  // the last day of the month before
    };
    const Case cases[] = {
        {2023, 1, 31},  {2023, 2, 31},  {2023, 3, 28},  {2023, 4, 31},  {2023, 5, 30},  {2023, 6, 31}, {2023, 7, 30},
        {2023, 8, 31},  {2023, 9, 31},  {2023, 10, 30}, {2023, 11, 31}, {2023, 12, 30}, {2024, 1, 31}, {2024, 2, 31},
        {2024, 3, 29},  {2024, 4, 31},  {2024, 5, 30},  {2024, 6, 31},  {2024, 7, 30},  {2024, 8, 31}, {2024, 9, 31},
        {2024, 10, 30}, {2024, 11, 31}, {2024, 12, 30}, {2100, 3, 28},  // divisible by 4, yet a common year
    };
    for (const auto& c : cases) {
        const CleanupDate today = At(c.year, c.month, 1);
        const int previousMonth = c.month == 1 ? 12 : c.month - 1;
        const int previousYear = c.month == 1 ? c.year - 1 : c.year;
        for (int d = 1; d <= 31; ++d) {
            // The month in the name is not consulted: last month's and this month's files alike.
            const LogFileFate fate = d == 1 || d == c.yesterday ? kKeep : kDelete;
            EXPECT_EQ(JudgeLogFile(DayFile(previousYear, previousMonth, d), today), fate)
                << c.year << "-" << c.month << "-01, day file " << d;
            EXPECT_EQ(JudgeLogFile(DayFile(c.year, c.month, d), today), fate)
                << c.year << "-" << c.month << "-01, day file " << d;
        }
    }
}

TEST(OldLogCleanerRules, LaterInTheMonthTodayAndYesterdayStay)
{
    struct Case {
        const char* label;
        CleanupDate today;
        std::set<int> kept;
    };
    std::set<int> fromNine;
    for (int d = 9; d <= 31; ++d)
        fromNine.insert(d);
    const Case cases[] = {
        {"2nd", At(2024, 3, 2), {1, 2}},
        {"2nd of January", At(2024, 1, 2), {1, 2}},
        {"10th", At(2024, 3, 10), fromNine},
        {"31st", At(2024, 7, 31), {30, 31}},
    };
    for (const auto& c : cases)
        for (int d = 1; d <= 31; ++d)
            for (const int year : {2019, 2024})
                EXPECT_EQ(JudgeLogFile(DayFile(year, 11, d), c.today), c.kept.count(d) ? kKeep : kDelete)
                    << c.label << ", day file " << d << " of " << year;
}

TEST(OldLogCleanerRules, WeekFilesOfThisAndThePreviousWeekStay)
{
    ExpectFates(At(2024, 1, 3),
                {{"w_1_2024.xml", kKeep},
                 {"w_53_2023.xml", kKeep},
                 {"w_52_2023.xml", kDelete},
                 {"w_1_2023.xml", kDelete},
                 {"w_53_2022.xml", kDelete},
                 {"w_2_2024.xml", kDelete}},
                "week 1");
    ExpectFates(At(2024, 3, 5),
                {{"w_10_2024.xml", kKeep},
                 {"w_9_2024.xml", kKeep},
                 {"w_9_2023.xml", kDelete},
                 {"w_10_2023.xml", kDelete},
                 {"w_8_2024.xml", kDelete},
                 {"w_11_2024.xml", kDelete}},
                "week 10");
    ExpectFates(At(2023, 12, 31), {{"w_53_2023.xml", kKeep}, {"w_52_2023.xml", kKeep}, {"w_51_2023.xml", kDelete}},
                "week 53");
}

TEST(OldLogCleanerRules, MonthFiles)
{
    ExpectFates(At(2024, 1, 15),
                {{"m_12_2023.xml", kKeep},
                 {"m_01_2024.xml", kKeep},
                 {"m_11_2023.xml", kDelete},
                 {"m_12_2022.xml", kDelete},
                 {"m_06_2024.xml", kKeep}},
                "January");
    ExpectFates(At(2024, 2, 15), {{"m_01_2024.xml", kKeep}, {"m_02_2024.xml", kKeep}, {"m_12_2023.xml", kDelete}},
                "February");
    ExpectFates(At(2024, 7, 15),
                {{"m_05_2024.xml", kDelete},
                 {"m_01_2024.xml", kDelete},
                 {"m_06_2024.xml", kKeep},
                 {"m_07_2024.xml", kKeep},
                 {"m_03_2023.xml", kKeep},
                 {"m_12_2025.xml", kKeep}},
                "July");
}

TEST(OldLogCleanerRules, QuarterAndSemesterFiles)
{
    ExpectFates(At(2024, 2, 15),
                {{"q_1_2024.xml", kKeep},
                 {"q_4_2023.xml", kKeep},
                 {"q_3_2023.xml", kDelete},
                 {"q_1_2023.xml", kDelete},
                 {"q_2_2024.xml", kDelete}},
                "first quarter");
    ExpectFates(
        At(2024, 8, 15),
        {{"q_3_2024.xml", kKeep}, {"q_2_2024.xml", kKeep}, {"q_1_2024.xml", kDelete}, {"q_4_2023.xml", kDelete}},
        "third quarter");
    ExpectFates(At(2024, 3, 15),
                {{"s_1_2024.xml", kKeep},
                 {"s_2_2023.xml", kKeep},
                 {"s_1_2023.xml", kDelete},
                 {"s_2_2022.xml", kDelete},
                 {"s_2_2024.xml", kDelete}},
                "first half-year");
    ExpectFates(
        At(2024, 10, 15),
        {{"s_1_2024.xml", kKeep}, {"s_2_2024.xml", kKeep}, {"s_1_2023.xml", kDelete}, {"s_2_2023.xml", kDelete}},
        "second half-year");
}

TEST(OldLogCleanerRules, YearFilesAndOtherNamesAreNeverDeleted)
{
    ExpectFates(At(2024, 3, 10),
                // Which names are period files at all is the period files' own
                // table (PeriodKeysTest); here, that the cleaner leaves the others.
                {{"y_1999.xml", kKeep},
                 {"y_2024.xml", kKeep},
                 {"Report.xml", kNone},
                 {"settings.xml", kNone},
                 {"old_d_20240101.xml", kNone},
                 {"w_05_2024.xml", kNone},
                 {"d_2024O101.xml", kNone}},
                "10 March");
}

// A Logs tree as the monitor writes it, with user and printer folders
// whose names look like period prefixes.
class OldLogCleanerTest : public ::testing::Test {
protected:
    OldLogCleanerTest() : clock_(LocalTimePoint(2024, 3, 10, 12, 0, 0)) {}

    fs::path Logs() const { return folder_ / "Logs"; }

    void Write(const fs::path& file)
    {
        fs::create_directories(file.parent_path());
        ASSERT_TRUE(ReplaceFile(file, std::string(525, ' ')));
    }

    TempFolder folder_;
    FakeClock clock_;
};

// Due on 10 March 2024 (week 10), whatever folder they are in.
const Names kDue = {"d_20240201.xml", "d_20240308.xml", "m_01_2024.xml", "q_3_2023.xml",
                    "s_1_2023.xml",   "w_10_2023.xml",  "w_8_2024.xml"};
// Kept on 10 March 2024 and on 11 March 2024 at midnight.
const Names kStaying = {"Report.xml",    "d_20240310.xml", "m_02_2024.xml", "m_03_2024.xml",
                        "notes_d_1.xml", "q_1_2024.xml",   "q_4_2023.xml",  "s_1_2024.xml",
                        "s_2_2023.xml",  "w_10_2024.xml",  "w_9_2024.xml",  "y_2023.xml"};

TEST_F(OldLogCleanerTest, PassesEveryTwelveHoursOverTheWholeTree)
{
    const std::vector<fs::path> folders = {Logs(),
                                           Logs() / "Users" / "w_alice",
                                           Logs() / "Users" / "bob d_x",
                                           Logs() / "Users" / "w_alice" / "deeper",
                                           Logs() / "Printers" / "Printer_1",
                                           Logs() / "Printers" / "Printer_w_2"};
    for (const auto& folder : folders) {
        for (const auto& name : kDue)
            Write(folder / name);
        for (const auto& name : kStaying)
            Write(folder / name);
        Write(folder / "d_20240309.xml");  // yesterday
        // Read-only files are deleted all the same.
        Write(folder / "d_20240105.xml");
        fs::permissions(folder / "d_20240105.xml", fs::perms::owner_read | fs::perms::group_read);
        fs::permissions(folder / "w_10_2023.xml", fs::perms::owner_read);
    }

    OldLogCleaner cleaner(clock_, folder_.Path().string());
    cleaner.Start();
    ASSERT_TRUE(clock_.WaitForSleep(1));  // the first pass runs at once
    Names afterFirst = kStaying;
    afterFirst.push_back("d_20240309.xml");
    std::sort(afterFirst.begin(), afterFirst.end());
    for (const auto& folder : folders) {
        Names present;
        for (const auto& name : SortedFileNames(folder))
            if (fs::is_regular_file(folder / name))
                present.push_back(name);
        EXPECT_EQ(present, afterFirst) << folder;
    }

    // Nothing happens before twelve hours have passed.
    Write(Logs() / "w_7_2024.xml");
    clock_.Advance(OldLogCleaner::kInterval - 1s);
    EXPECT_FALSE(clock_.WaitForSleep(2, 200ms));
    EXPECT_TRUE(fs::exists(Logs() / "w_7_2024.xml"));

    // Midnight of 11 March: the second pass reads the clock again.
    clock_.Advance(1s);
    ASSERT_TRUE(clock_.WaitForSleep(2));
    EXPECT_FALSE(fs::exists(Logs() / "w_7_2024.xml"));
    for (const auto& folder : folders) {
        EXPECT_FALSE(fs::exists(folder / "d_20240309.xml")) << folder;
        EXPECT_TRUE(fs::exists(folder / "d_20240310.xml")) << folder;
    }

    EXPECT_TRUE(cleaner.Running());
    EXPECT_EQ(cleaner.Stop(), 0u);  // asleep for twelve hours, yet it stops at once
    EXPECT_FALSE(cleaner.Running());
}

TEST_F(OldLogCleanerTest, LinksAreNeitherFollowedNorDeleted)
{
    TempFolder outside;
    Write(outside / "d_20000101.xml");
    Write(Logs() / "Users" / "carol" / "d_20000102.xml");
    fs::create_directory_symlink(outside.Path(), Logs() / "Users" / "linked");
    fs::create_symlink(outside / "d_20000101.xml", Logs() / "d_19990101.xml");

    const CleanupTally tally = CleanOldLogs(folder_.Path(), clock_.Now());
    EXPECT_EQ(tally.deleted, 1u);
    EXPECT_TRUE(fs::exists(outside / "d_20000101.xml"));
    EXPECT_TRUE(fs::is_symlink(Logs() / "d_19990101.xml"));
    EXPECT_FALSE(fs::exists(Logs() / "Users" / "carol" / "d_20000102.xml"));
}

// A member of the group swaps a folder for a link while the pass runs, or
// puts a link where Logs was: the pass deletes nothing outside the tree.
TEST_F(OldLogCleanerTest, ALinkPlantedDuringOrBeforeThePassLeadsNowhere)
{
    TempFolder outside;
    Write(outside / "d_20000102.xml");
    Write(Logs() / "Users" / "carol" / "d_20000102.xml");
    const CleanupTally swapped =
        CleanOldLogs(folder_.Path(), clock_.Now(), [&](const SafeFolder& folder, const std::string& name) {
            fs::rename(Logs() / "Users" / "carol", Logs() / "Users" / "moved");
            fs::create_directory_symlink(outside.Path(), Logs() / "Users" / "carol");
            return RemoveLogFile(folder, name);
        });
    EXPECT_EQ(swapped.deleted, 1u);
    EXPECT_TRUE(fs::exists(outside / "d_20000102.xml"));
    EXPECT_FALSE(fs::exists(Logs() / "Users" / "moved" / "d_20000102.xml"));

    fs::rename(Logs(), folder_ / "Logs.moved");
    fs::create_directory_symlink(outside.Path(), Logs());
    const CleanupTally linked = CleanOldLogs(folder_.Path(), clock_.Now());
    EXPECT_EQ(linked.periodFiles, 0u);
    EXPECT_TRUE(fs::exists(outside / "d_20000102.xml"));
}

TEST_F(OldLogCleanerTest, AFileThatCannotBeDeletedIsSkipped)
{
    for (const auto& name : kDue)
        Write(Logs() / name);
    const CleanupTally tally =
        CleanOldLogs(folder_.Path(), clock_.Now(), [&](const SafeFolder& folder, const std::string& name) {
            return name != "m_01_2024.xml" && RemoveLogFile(folder, name);
        });
    EXPECT_EQ(tally.periodFiles, kDue.size());
    EXPECT_EQ(tally.undeletable, 1u);
    EXPECT_EQ(tally.deleted, kDue.size() - 1);
    EXPECT_EQ(SortedFileNames(Logs()), Names{"m_01_2024.xml"});
}

TEST_F(OldLogCleanerTest, APassEndsOnTheStopRequest)
{
    for (const auto& name : kDue)
        Write(Logs() / name);
    std::stop_source stop;
    const CleanupTally tally = CleanOldLogs(
        folder_.Path(), clock_.Now(),
        [&](const SafeFolder& folder, const std::string& name) {
            stop.request_stop();
            return RemoveLogFile(folder, name);
        },
        stop.get_token());
    EXPECT_EQ(tally.deleted, 1u);
    EXPECT_EQ(SortedFileNames(Logs()).size(), kDue.size() - 1);
}

TEST_F(OldLogCleanerTest, AMissingLogsFolderIsAnEmptyPass)
{
    const CleanupTally tally = CleanOldLogs(folder_.Path(), clock_.Now());
    EXPECT_EQ(tally.periodFiles, 0u);
    EXPECT_EQ(tally.deleted, 0u);
}

}  // namespace
}  // namespace ostrel::test
