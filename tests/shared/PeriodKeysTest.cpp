#include "PeriodKeys.h"
#include "ZoneGuard.h"

#include <gtest/gtest.h>


namespace ostrel {
namespace {

using test::ZoneGuard;

struct WeekCase {
    const char* label;
    int year, month, day, hour, minute;
    int week;
};

TEST(PeriodKeys, WeekNumbersCountWholeWeeksFromTheFirstOfJanuary)
{
    ZoneGuard zone("UTC0");
    const WeekCase cases[] = {
        {"1 January", 2026, 1, 1, 0, 0, 1},
        {"7 January, last minute", 2026, 1, 7, 23, 59, 1},
        {"8 January", 2026, 1, 8, 0, 0, 2},
        {"31 December, common year", 2026, 12, 31, 12, 0, 53},
        {"30 December, common year", 2026, 12, 30, 12, 0, 52},
        {"30 December, leap year", 2028, 12, 30, 12, 0, 53},
        {"29 December, leap year", 2028, 12, 29, 12, 0, 52},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WeekNumber(LocalTimePoint(c.year, c.month, c.day, c.hour, c.minute)), c.week) << c.label;
}

TEST(PeriodKeys, SummerTimeShiftsTheWeekStartByAnHour)
{
    // Central European time: 1 January is in winter time, 2 July 2026 in
    // summer time and the first day of week 27 (day 182).
    ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
    const WeekCase cases[] = {
        {"first hour of the week", 2026, 7, 2, 0, 30, 26},
        {"second hour of the week", 2026, 7, 2, 1, 30, 27},
        {"day before, late", 2026, 7, 1, 23, 30, 26},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WeekNumber(LocalTimePoint(c.year, c.month, c.day, c.hour, c.minute)), c.week) << c.label;
}

TEST(PeriodKeys, KeysOfOneInstant)
{
    ZoneGuard zone("UTC0");
    struct Case {
        const char* label;
        Clock::TimePoint when;
        PeriodKeys keys;
    };
    const Case cases[] = {
        {"7 December 2006", LocalTimePoint(2006, 12, 7, 10, 0), {"20061207", "49", "12", "4", "2", "2006"}},
        {"5 March 2007", LocalTimePoint(2007, 3, 5, 10, 0), {"20070305", "10", "03", "1", "1", "2007"}},
        {"30 June 2007", LocalTimePoint(2007, 6, 30, 23, 59), {"20070630", "26", "06", "2", "1", "2007"}},
        {"1 July 2007", LocalTimePoint(2007, 7, 1, 0, 0), {"20070701", "26", "07", "3", "2", "2007"}},
    };
    for (const auto& c : cases) {
        const PeriodKeys keys = PeriodKeysAt(c.when);
        EXPECT_EQ(keys.day, c.keys.day) << c.label;
        EXPECT_EQ(keys.week, c.keys.week) << c.label;
        EXPECT_EQ(keys.month, c.keys.month) << c.label;
        EXPECT_EQ(keys.quarter, c.keys.quarter) << c.label;
        EXPECT_EQ(keys.semester, c.keys.semester) << c.label;
        EXPECT_EQ(keys.year, c.keys.year) << c.label;
    }
}

}  // namespace
}  // namespace ostrel
