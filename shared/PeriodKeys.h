#pragma once

#include "Clock.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// Period files: their keys, names and folders, built and taken apart here
// alone, so that the monitor's writer and cleaner, the daily report and the
// reports always agree.

// The keys that name the period log files of one instant, all from one
// reading of the local date: "20061207", "49", "12", "4", "2", "2006".
struct PeriodKeys {
    std::string day;       // year, month and day: eight digits
    std::string week;      // 1 to 53, no leading zero
    std::string month;     // two digits
    std::string quarter;   // 1 to 4
    std::string semester;  // 1 or 2
    std::string year;
};

PeriodKeys PeriodKeysAt(Clock::TimePoint now);

// The week of the year of `now`: whole seconds since 1 January 00:00 local
// time (daylight saving as the platform decides for each of the two
// instants), in whole days, in whole weeks, plus one. Weeks do not follow
// weekdays: 1 to 7 January are week 1, 31 December is week 53. The monitor
// and the console both number weeks here, so that they always agree.
int WeekNumber(Clock::TimePoint now);

// "05" for 5, "12" for 12.
std::string TwoDigits(int value);

// The six periods a record is logged under, in the order of their files.
enum class Period { Day, Week, Month, Quarter, Semester, Year };
inline constexpr std::array<Period, 6> kPeriods = {Period::Day,     Period::Week,     Period::Month,
                                                   Period::Quarter, Period::Semester, Period::Year};

// The prefix of a period file's name: "d_", "w_", "m_", "q_", "s_", "y_".
std::string_view PeriodPrefix(Period period);

// The key of a day: year, month and day, eight digits ("20061207").
std::string DayKey(int year, int month, int day);
// The key of any other period: "49_2006" for week 49, "12_2006" for the
// month (two digits), "4_2006", "2_2006" for quarter and semester, "2006"
// for the year (`number` unused).
std::string PeriodKey(Period period, int number, int year);

// A period file's name: prefix, key, ".xml".
inline constexpr std::string_view kPeriodFileExtension = ".xml";
std::string PeriodFileName(Period period, std::string_view key);

// The six file names of one instant, in the order of kPeriods.
std::array<std::string, 6> PeriodFileNames(const PeriodKeys& keys);

// A period file name taken apart. `number` is the day of the month for a
// day file, the week, month, quarter or semester for the others, 0 for a
// year file.
struct PeriodFile {
    Period period = Period::Day;
    int number = 0;
    int year = 0;
    bool operator==(const PeriodFile&) const = default;
};

// Only names of exactly the form PeriodFileName gives: a week without a
// leading zero, a month of two digits, a quarter 1 to 4, a semester 1 or 2,
// a four-digit year, a day key of eight digits. Anything else is no period
// file ("Report.xml", "old_d_20240101.xml", "w_05_2024.xml").
std::optional<PeriodFile> ParsePeriodFileName(std::string_view name);

// The folders of the Logs tree, relative to the application folder, as
// SafeFolder takes them: "Logs", "Logs/Users/<user folder>",
// "Logs/Printers/<printer folder>". An empty folder name is the Users or
// Printers folder itself. The names come from UserFolderName and
// PrinterFolderName.
inline constexpr std::string_view kLogsFolder = "Logs";
std::string UserLogsFolder(std::string_view userFolder);
std::string PrinterLogsFolder(std::string_view printerFolder);

// The local date of `now` as a day's report is captioned: "03/01/2024".
std::string DayCaption(Clock::TimePoint now);

}  // namespace ostrel
