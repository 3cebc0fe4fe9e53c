#include "PeriodKeys.h"
#include "ZoneGuard.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <utility>

namespace ostrel {
namespace {

using test::ZoneGuard;

// Central European time: 1 January is in winter time, 2 July 2026 in
// summer time and the first day of week 27 (day 182), so summer time shifts
// the week's start by an hour.
constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

TEST(PeriodKeys, WeekNumbersCountWholeWeeksFromTheFirstOfJanuary)
{
    struct WeekCase {
        const char* label;
        const char* zone;
        int year, month, day, hour, minute;
        int week;
    };
    const WeekCase cases[] = {
        {"1 January", "UTC0", 2026, 1, 1, 0, 0, 1},
        {"7 January, last minute", "UTC0", 2026, 1, 7, 23, 59, 1},
        {"8 January", "UTC0", 2026, 1, 8, 0, 0, 2},
        {"31 December, common year", "UTC0", 2026, 12, 31, 12, 0, 53},
        {"30 December, common year", "UTC0", 2026, 12, 30, 12, 0, 52},
        {"30 December, leap year", "UTC0", 2028, 12, 30, 12, 0, 53},
        {"29 December, leap year", "UTC0", 2028, 12, 29, 12, 0, 52},
        {"summer time: first hour of the week", kCentralEurope, 2026, 7, 2, 0, 30, 26},
        {"summer time: second hour of the week", kCentralEurope, 2026, 7, 2, 1, 30, 27},
        {"summer time: day before, late", kCentralEurope, 2026, 7, 1, 23, 30, 26},
    };
    for (const auto& c : cases) {
        ZoneGuard zone(c.zone);
        EXPECT_EQ(WeekNumber(LocalTimePoint(c.year, c.month, c.day, c.hour, c.minute)), c.week) << c.label;
    }
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

TEST(PeriodKeys, TheSixFileNamesOfOneInstant)
{
    ZoneGuard zone("UTC0");
    const std::array<std::string, 6> names = {"d_20061207.xml", "w_49_2006.xml", "m_12_2006.xml",
                                              "q_4_2006.xml",   "s_2_2006.xml",  "y_2006.xml"};
    EXPECT_EQ(PeriodFileNames(PeriodKeysAt(LocalTimePoint(2006, 12, 7, 10, 0))), names);
}

// Every period file name, built from its period and key and taken apart
// again; names the writer never gives are no period file.
TEST(PeriodKeys, FileNamesAreBuiltAndTakenApartAlike)
{
    struct Case {
        const char* name;
        std::optional<PeriodFile> parsed;  // number: day of the month, week, ..., 0 for a year
        const char* key = nullptr;         // the key between prefix and extension, for the names we build
    };
    using P = Period;
    const Case cases[] = {
        {"d_20061207.xml", PeriodFile{P::Day, 7, 2006}, "20061207"},
        {"d_20240229.xml", PeriodFile{P::Day, 29, 2024}, "20240229"},
        {"w_49_2006.xml", PeriodFile{P::Week, 49, 2006}, "49_2006"},
        {"w_1_2024.xml", PeriodFile{P::Week, 1, 2024}, "1_2024"},
        {"w_53_2023.xml", PeriodFile{P::Week, 53, 2023}, "53_2023"},
        {"m_12_2006.xml", PeriodFile{P::Month, 12, 2006}, "12_2006"},
        {"m_01_2024.xml", PeriodFile{P::Month, 1, 2024}, "01_2024"},
        {"q_4_2006.xml", PeriodFile{P::Quarter, 4, 2006}, "4_2006"},
        {"q_1_2024.xml", PeriodFile{P::Quarter, 1, 2024}, "1_2024"},
        {"s_2_2006.xml", PeriodFile{P::Semester, 2, 2006}, "2_2006"},
        {"s_1_2024.xml", PeriodFile{P::Semester, 1, 2024}, "1_2024"},
        {"y_2006.xml", PeriodFile{P::Year, 0, 2006}, "2006"},
        {"y_1999.xml", PeriodFile{P::Year, 0, 1999}, "1999"},
        // Other files of the Logs tree, and names that hold a prefix
        // without being written by the monitor.
        {"Report.xml", std::nullopt},
        {"DisplayReport.xml", std::nullopt},
        {"TestEmail.xml", std::nullopt},
        {"printers.xsl", std::nullopt},
        {"settings.xml", std::nullopt},
        {"old_d_20240101.xml", std::nullopt},
        {"ward_notes.xml", std::nullopt},
        {"d_20240101.xml.bak", std::nullopt},
        {"d_2024010.xml", std::nullopt},
        {"d_2024O101.xml", std::nullopt},
        {"D_20240101.xml", std::nullopt},
        {"w_05_2024.xml", std::nullopt},
        {"w_0_2024.xml", std::nullopt},
        {"w_100_2024.xml", std::nullopt},
        {"w__2024.xml", std::nullopt},
        {"m_3_2024.xml", std::nullopt},
        {"q_5_2023.xml", std::nullopt},
        {"s_3_2023.xml", std::nullopt},
        {"s_1_23.xml", std::nullopt},
        {"y_24.xml", std::nullopt},
        {"d_.xml", std::nullopt},
        {"w_", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParsePeriodFileName(c.name), c.parsed) << c.name;
        if (!c.parsed)
            continue;
        EXPECT_EQ(PeriodFileName(c.parsed->period, c.key), c.name);
        if (c.parsed->period == P::Day)
            EXPECT_EQ(DayKey(c.parsed->year, std::stoi(std::string(c.key).substr(4, 2)), c.parsed->number), c.key);
        else
            EXPECT_EQ(PeriodKey(c.parsed->period, c.parsed->number, c.parsed->year), c.key) << c.name;
    }
}

TEST(PeriodKeys, FoldersOfTheLogsTree)
{
    const std::pair<std::string, std::string> cases[] = {
        {UserLogsFolder("maria"), "Logs/Users/maria"},
        {UserLogsFolder(""), "Logs/Users"},
        {PrinterLogsFolder("Printer_2"), "Logs/Printers/Printer_2"},
        {PrinterLogsFolder(""), "Logs/Printers"},
        {std::string(kLogsFolder), "Logs"},
    };
    for (const auto& [built, expected] : cases)
        EXPECT_EQ(built, expected);
}

}  // namespace
}  // namespace ostrel
