#include "FakeClock.h"
#include "PeriodKeys.h"
#include "ReportPeriod.h"
#include "ReportTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace ostrel {
namespace {

using test::ZoneGuard;
using namespace std::chrono_literals;

// A clock that counts its readings and can move one second ahead after
// each, so that a second reading would tell another time.
class CountingClock final : public Clock {
public:
    explicit CountingClock(TimePoint start, bool stepping = false) : now_(start), stepping_(stepping) {}

    TimePoint Now() const override
    {
        ++reads_;
        const TimePoint now = now_;
        if (stepping_)
            now_ += 1s;
        return now;
    }
    bool SleepFor(std::chrono::milliseconds, std::stop_token) override { return true; }
    int Reads() const { return reads_; }

private:
    mutable TimePoint now_;
    bool stepping_;
    mutable int reads_ = 0;
};

struct LocalInstant {
    int year, month, day, hour, minute;
    Clock::TimePoint At() const { return LocalTimePoint(year, month, day, hour, minute); }
};

struct PeriodCase {
    const char* label;
    LocalInstant now;
    const char* name;
    ReportKind kind;
    ResolvedPeriod expected;
};

std::optional<ResolvedPeriod> Resolve(const char* name, ReportKind kind, Clock::TimePoint now)
{
    FakeClock clock(now);
    return ResolvePeriod(name, kind, clock);
}

void ExpectCases(const std::vector<PeriodCase>& cases)
{
    for (const PeriodCase& c : cases) {
        const auto resolved = Resolve(c.name, c.kind, c.now.At());
        ASSERT_TRUE(resolved.has_value()) << c.label;
        EXPECT_EQ(resolved->prefix, c.expected.prefix) << c.label;
        EXPECT_EQ(resolved->key, c.expected.key) << c.label;
        EXPECT_EQ(resolved->caption, c.expected.caption) << c.label;
    }
}

constexpr auto P = ReportKind::Printer;
constexpr auto U = ReportKind::User;
constexpr auto A = ReportKind::Aggregated;

TEST(ReportPeriod, NamesInTheOrderOfThePeriodList)
{
    const std::vector<std::string_view> expected = {"Today",         "Yesterday",     "This week",    "Last week",
                                                    "This month",    "Last month",    "This quarter", "Last quarter",
                                                    "This semester", "Last semester", "This year",    "Last year"};
    EXPECT_EQ(std::vector<std::string_view>(ReportPeriodNames().begin(), ReportPeriodNames().end()), expected);
}

TEST(ReportPeriod, EveryPeriodOnAnOrdinaryDay)
{
    ZoneGuard zone("UTC0");
    const LocalInstant day{2006, 12, 7, 10, 0};
    ExpectCases({
        {"today", day, "Today", P, {"d_", "20061207", "<period>12/07/2006</period>"}},
        {"yesterday", day, "Yesterday", P, {"d_", "20061206", "<period>12/06/2006</period>"}},
        {"this week, printer", day, "This week", P, {"w_", "49_2006", "<period>This Week</period>"}},
        {"this week, aggregated", day, "This week", A, {"w_", "49_2006", "<period>This Week</period>"}},
        {"this week, user", day, "This week", U, {"w_", "49_2006", "<period>Week 49 of 2006</period>"}},
        {"last week, printer", day, "Last week", P, {"w_", "48_2006", "<period>Last Week</period>"}},
        {"last week, aggregated", day, "Last week", A, {"w_", "48_2006", "<period>Last Week</period>"}},
        {"last week, user", day, "Last week", U, {"w_", "48_2006", "<period>Week 48 of 2006</period>"}},
        {"this month", day, "This month", P, {"m_", "12_2006", "<period>12/2006</period>"}},
        {"last month", day, "Last month", P, {"m_", "11_2006", "<period>11/2006</period>"}},
        {"this quarter", day, "This quarter", P, {"q_", "4_2006", "<period>Quarter 4  of 2006</period>"}},
        {"last quarter", day, "Last quarter", P, {"q_", "3_2006", "<period>Quarter 3  of 2006</period>"}},
        {"this semester", day, "This semester", P, {"s_", "2_2006", "<period>2nd Semester of 2006</period>"}},
        {"last semester", day, "Last semester", P, {"s_", "1_2006", "<period>1st Semester of 2006</period>"}},
        {"this year", day, "This year", P, {"y_", "2006", "<period>2006</period>"}},
        {"last year", day, "Last year", P, {"y_", "2005", "<period>2005</period>"}},
    });
}

TEST(ReportPeriod, RollOversAtTheStartOfTheYear)
{
    ZoneGuard zone("UTC0");
    const LocalInstant first{2006, 1, 1, 0, 0};
    const LocalInstant seventh{2006, 1, 7, 23, 59};
    const LocalInstant eighth{2006, 1, 8, 0, 0};
    ExpectCases({
        {"1 Jan: today", first, "Today", P, {"d_", "20060101", "<period>01/01/2006</period>"}},
        {"1 Jan: yesterday is last year's", first, "Yesterday", P, {"d_", "20051231", "<period>12/31/2005</period>"}},
        {"1 Jan: week 1", first, "This week", U, {"w_", "1_2006", "<period>Week 1 of 2006</period>"}},
        {"1 Jan: last week is 53 of last year", first, "Last week", P, {"w_", "53_2005", "<period>Last Week</period>"}},
        {"1 Jan: last week, user", first, "Last week", U, {"w_", "53_2005", "<period>Week 53 of 2005</period>"}},
        {"1 Jan: this month", first, "This month", P, {"m_", "01_2006", "<period>01/2006</period>"}},
        {"1 Jan: last month is December", first, "Last month", P, {"m_", "12_2005", "<period>12/2005</period>"}},
        {"1 Jan: this quarter", first, "This quarter", P, {"q_", "1_2006", "<period>Quarter 1  of 2006</period>"}},
        {"1 Jan: last quarter", first, "Last quarter", P, {"q_", "4_2005", "<period>Quarter 4  of 2005</period>"}},
        {"1 Jan: this semester", first, "This semester", P, {"s_", "1_2006", "<period>1st Semester of 2006</period>"}},
        {"1 Jan: last semester", first, "Last semester", U, {"s_", "2_2005", "<period>2nd Semester of 2005</period>"}},
        {"1 Jan: this year", first, "This year", A, {"y_", "2006", "<period>2006</period>"}},
        {"1 Jan: last year", first, "Last year", A, {"y_", "2005", "<period>2005</period>"}},
        {"7 Jan: still week 1", seventh, "This week", U, {"w_", "1_2006", "<period>Week 1 of 2006</period>"}},
        {"7 Jan: last week", seventh, "Last week", U, {"w_", "53_2005", "<period>Week 53 of 2005</period>"}},
        {"8 Jan: week 2", eighth, "This week", U, {"w_", "2_2006", "<period>Week 2 of 2006</period>"}},
        {"8 Jan: last week is week 1", eighth, "Last week", U, {"w_", "1_2006", "<period>Week 1 of 2006</period>"}},
        {"8 Jan: last week, printer", eighth, "Last week", P, {"w_", "1_2006", "<period>Last Week</period>"}},
    });
}

TEST(ReportPeriod, RollOversAtTheEndOfTheYear)
{
    ZoneGuard zone("UTC0");
    ExpectCases({
        {"31 Dec, common year: week 53",
         {2006, 12, 31, 12, 0},
         "This week",
         U,
         {"w_", "53_2006", "<period>Week 53 of 2006</period>"}},
        {"31 Dec, common year: last week",
         {2006, 12, 31, 12, 0},
         "Last week",
         U,
         {"w_", "52_2006", "<period>Week 52 of 2006</period>"}},
        {"30 Dec, common year: week 52",
         {2006, 12, 30, 12, 0},
         "This week",
         P,
         {"w_", "52_2006", "<period>This Week</period>"}},
        {"31 Dec, common year: today",
         {2006, 12, 31, 23, 59},
         "Today",
         P,
         {"d_", "20061231", "<period>12/31/2006</period>"}},
        {"30 Dec, leap year: week 53",
         {2008, 12, 30, 0, 0},
         "This week",
         U,
         {"w_", "53_2008", "<period>Week 53 of 2008</period>"}},
        {"31 Dec, leap year: week 53",
         {2008, 12, 31, 23, 59},
         "This week",
         U,
         {"w_", "53_2008", "<period>Week 53 of 2008</period>"}},
        {"29 Dec, leap year: week 52",
         {2008, 12, 29, 23, 59},
         "This week",
         U,
         {"w_", "52_2008", "<period>Week 52 of 2008</period>"}},
        {"31 Dec, leap year: last week",
         {2008, 12, 31, 12, 0},
         "Last week",
         U,
         {"w_", "52_2008", "<period>Week 52 of 2008</period>"}},
        {"31 Dec: last semester is the first half",
         {2008, 12, 31, 12, 0},
         "Last semester",
         P,
         {"s_", "1_2008", "<period>1st Semester of 2008</period>"}},
    });
}

TEST(ReportPeriod, MonthsQuartersAndSemestersRollOver)
{
    ZoneGuard zone("UTC0");
    ExpectCases({
        {"March: last month is February",
         {2007, 3, 15, 9, 0},
         "Last month",
         P,
         {"m_", "02_2007", "<period>02/2007</period>"}},
        {"March: this month has two digits",
         {2007, 3, 15, 9, 0},
         "This month",
         P,
         {"m_", "03_2007", "<period>03/2007</period>"}},
        {"March: last quarter is last year's fourth",
         {2007, 3, 15, 9, 0},
         "Last quarter",
         P,
         {"q_", "4_2006", "<period>Quarter 4  of 2006</period>"}},
        {"1 March of a leap year: yesterday is 29 February",
         {2008, 3, 1, 9, 0},
         "Yesterday",
         P,
         {"d_", "20080229", "<period>02/29/2008</period>"}},
        {"1 March 2006: week 9 without a leading zero",
         {2006, 3, 1, 9, 0},
         "This week",
         U,
         {"w_", "9_2006", "<period>Week 9 of 2006</period>"}},
        {"5 March 2006: day key with two-digit month and day",
         {2006, 3, 5, 9, 0},
         "Today",
         P,
         {"d_", "20060305", "<period>03/05/2006</period>"}},
        {"April: last quarter is the first",
         {2007, 4, 10, 9, 0},
         "Last quarter",
         P,
         {"q_", "1_2007", "<period>Quarter 1  of 2007</period>"}},
        {"April: this quarter",
         {2007, 4, 10, 9, 0},
         "This quarter",
         P,
         {"q_", "2_2007", "<period>Quarter 2  of 2007</period>"}},
        {"April: last semester is last year's second",
         {2007, 4, 10, 9, 0},
         "Last semester",
         A,
         {"s_", "2_2006", "<period>2nd Semester of 2006</period>"}},
        {"April: this semester",
         {2007, 4, 10, 9, 0},
         "This semester",
         A,
         {"s_", "1_2007", "<period>1st Semester of 2007</period>"}},
        {"July: this semester",
         {2007, 7, 5, 9, 0},
         "This semester",
         P,
         {"s_", "2_2007", "<period>2nd Semester of 2007</period>"}},
        {"July: last semester",
         {2007, 7, 5, 9, 0},
         "Last semester",
         P,
         {"s_", "1_2007", "<period>1st Semester of 2007</period>"}},
        {"July: last quarter",
         {2007, 7, 5, 9, 0},
         "Last quarter",
         P,
         {"q_", "2_2007", "<period>Quarter 2  of 2007</period>"}},
        {"July: this quarter",
         {2007, 7, 5, 9, 0},
         "This quarter",
         P,
         {"q_", "3_2007", "<period>Quarter 3  of 2007</period>"}},
        {"July: last month", {2007, 7, 5, 9, 0}, "Last month", P, {"m_", "06_2007", "<period>06/2007</period>"}},
        {"October: last quarter",
         {2007, 10, 1, 0, 0},
         "Last quarter",
         P,
         {"q_", "3_2007", "<period>Quarter 3  of 2007</period>"}},
    });
}

TEST(ReportPeriod, OnlyTheWeekCaptionsDependOnTheKind)
{
    ZoneGuard zone("UTC0");
    for (const LocalInstant now : {LocalInstant{2006, 1, 1, 0, 0}, LocalInstant{2007, 7, 5, 9, 0}}) {
        for (std::string_view name : ReportPeriodNames()) {
            const std::string text(name);
            const auto printer = Resolve(text.c_str(), P, now.At());
            const auto aggregated = Resolve(text.c_str(), A, now.At());
            const auto user = Resolve(text.c_str(), U, now.At());
            ASSERT_TRUE(printer && aggregated && user) << text;
            EXPECT_EQ(*printer, *aggregated) << text;
            EXPECT_EQ(user->prefix + user->key, printer->prefix + printer->key) << text;
            const bool week = name == "This week" || name == "Last week";
            EXPECT_EQ(user->caption == printer->caption, !week) << text;
        }
    }
}

TEST(ReportPeriod, FileNameJoinsPrefixKeyAndExtension)
{
    ZoneGuard zone("UTC0");
    const Clock::TimePoint now = LocalTimePoint(2006, 12, 7, 10, 0);
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"Today", "d_20061207.xml"},      {"This week", "w_49_2006.xml"},    {"This month", "m_12_2006.xml"},
        {"This quarter", "q_4_2006.xml"}, {"This semester", "s_2_2006.xml"}, {"This year", "y_2006.xml"},
    };
    for (const auto& [name, file] : cases)
        EXPECT_EQ(Resolve(name, P, now)->FileName(), file) << name;
}

TEST(ReportPeriod, YesterdayIsExactlyOneDayOfSecondsBack)
{
    ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
    ExpectCases({
        {"after the night the clocks went forward: two days back",
         {2026, 3, 30, 0, 30},
         "Yesterday",
         P,
         {"d_", "20260328", "<period>03/28/2026</period>"}},
        {"late on the day the clocks went back: the same day",
         {2026, 10, 25, 23, 30},
         "Yesterday",
         P,
         {"d_", "20261025", "<period>10/25/2026</period>"}},
        {"an ordinary summer night",
         {2026, 7, 10, 0, 30},
         "Yesterday",
         P,
         {"d_", "20260709", "<period>07/09/2026</period>"}},
    });
}

TEST(ReportPeriod, SummerTimeMovesTheWeekStartAsTheMonitorDoes)
{
    {
        // 1 January in winter time, 2 July 2026 (day 182, first of week 27) in summer time.
        ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
        ExpectCases({
            {"first hour of week 27 still reads 26",
             {2026, 7, 2, 0, 30},
             "This week",
             U,
             {"w_", "26_2026", "<period>Week 26 of 2026</period>"}},
            {"second hour of week 27",
             {2026, 7, 2, 1, 30},
             "This week",
             U,
             {"w_", "27_2026", "<period>Week 27 of 2026</period>"}},
            {"first hour: last week is 25",
             {2026, 7, 2, 0, 30},
             "Last week",
             U,
             {"w_", "25_2026", "<period>Week 25 of 2026</period>"}},
        });
    }
    {
        // 1 January in summer time, July in winter time.
        ZoneGuard zone("AEST-10AEDT,M10.1.0,M4.1.0/3");
        ExpectCases({
            {"last hour of week 26 reads 27",
             {2026, 7, 1, 23, 30},
             "This week",
             U,
             {"w_", "27_2026", "<period>Week 27 of 2026</period>"}},
            {"the hour before it",
             {2026, 7, 1, 22, 30},
             "This week",
             U,
             {"w_", "26_2026", "<period>Week 26 of 2026</period>"}},
        });
    }
}

TEST(ReportPeriod, WeekKeysAgreeWithTheMonitorsKeysAllYear)
{
    for (const char* zoneName : {"UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "AEST-10AEDT,M10.1.0,M4.1.0/3"}) {
        ZoneGuard zone(zoneName);
        const Clock::TimePoint start = LocalTimePoint(2028, 1, 1, 0, 0);
        const Clock::TimePoint end = LocalTimePoint(2029, 1, 1, 0, 0);
        // Every 50 minutes, so that every hour of the day is met.
        for (Clock::TimePoint now = start; now < end; now += 50min) {
            const PeriodKeys keys = PeriodKeysAt(now);
            const auto week = Resolve("This week", P, now);
            const auto day = Resolve("Today", P, now);
            const auto month = Resolve("This month", P, now);
            ASSERT_EQ(week->key, keys.week + "_" + keys.year) << zoneName;
            ASSERT_EQ(day->key, keys.day) << zoneName;
            ASSERT_EQ(month->key, keys.month + "_" + keys.year) << zoneName;
        }
    }
}

// The file of a prefix the monitor writes a record of `when` to.
std::string FileOf(const PeriodKeys& keys, const std::string& prefix)
{
    if (prefix == "d_")
        return prefix + keys.day + ".xml";
    if (prefix == "y_")
        return prefix + keys.year + ".xml";
    const std::string& key = prefix == "w_"   ? keys.week
                             : prefix == "m_" ? keys.month
                             : prefix == "q_" ? keys.quarter
                                              : keys.semester;
    return prefix + key + "_" + keys.year + ".xml";
}

TEST(ReportPeriod, SpansHoldExactlyTheInstantsTheMonitorFilesUnderThePeriod)
{
    for (const char* zoneName : {"UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "AEST-10AEDT,M10.1.0,M4.1.0/3"}) {
        ZoneGuard zone(zoneName);
        for (const LocalInstant at : {LocalInstant{2028, 1, 3, 9, 0}, LocalInstant{2026, 7, 2, 0, 30},
                                      LocalInstant{2026, 12, 31, 23, 30}, LocalInstant{2026, 3, 29, 12, 0}}) {
            FakeClock clock(at.At());
            std::vector<PeriodSpan> spans;
            std::vector<Clock::TimePoint> instants;
            for (std::string_view name : ReportPeriodNames()) {
                spans.push_back(*ResolvePeriodSpan(name, A, clock));
                EXPECT_EQ(spans.back().period, *ResolvePeriod(name, A, clock));
                for (const Clock::TimePoint edge : {spans.back().from, spans.back().to})
                    for (const auto step : {-1s, 0s})
                        instants.push_back(edge + step);
            }
            for (Clock::TimePoint when = at.At() - 400 * 24h; when < at.At() + 24h; when += 47min)
                instants.push_back(when);
            for (const Clock::TimePoint when : instants) {
                const PeriodKeys keys = PeriodKeysAt(when);
                for (const PeriodSpan& span : spans)
                    ASSERT_EQ(when >= span.from && when < span.to,
                              FileOf(keys, span.period.prefix) == span.period.FileName())
                        << zoneName << " " << span.period.FileName() << " at "
                        << std::chrono::system_clock::to_time_t(when);
            }
        }
    }
}

TEST(ReportPeriod, NamesOutsideTheListResolveToNothing)
{
    ZoneGuard zone("UTC0");
    for (const char* name : {"today", "TODAY", "This Week", "last year", "Today ", " Today", "", "Tomorrow",
                             "This week\n", "Last  year"}) {
        CountingClock clock(LocalTimePoint(2006, 12, 7, 10, 0));
        for (ReportKind kind : {P, U, A})
            EXPECT_FALSE(ResolvePeriod(name, kind, clock).has_value()) << "'" << name << "'";
        EXPECT_EQ(clock.Reads(), 0) << "'" << name << "'";
    }
}

TEST(ReportPeriod, ReadsTheClockOnceSoKeyAndCaptionTellTheSamePeriod)
{
    ZoneGuard zone("UTC0");
    // One second before the year ends; every reading moves the clock on.
    const Clock::TimePoint lastSecond = LocalTimePoint(2006, 12, 31, 23, 59, 59);
    for (std::string_view name : ReportPeriodNames()) {
        for (ReportKind kind : {P, U, A}) {
            CountingClock clock(lastSecond, true);
            const auto stepping = ResolvePeriod(name, kind, clock);
            EXPECT_EQ(clock.Reads(), 1) << name;
            FakeClock still(lastSecond);
            EXPECT_EQ(stepping, ResolvePeriod(name, kind, still)) << name;
        }
    }
}

}  // namespace
}  // namespace ostrel
