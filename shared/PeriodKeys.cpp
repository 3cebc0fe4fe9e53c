#include "PeriodKeys.h"

#include <algorithm>
#include <cstdint>

namespace ostrel {
namespace {

bool AllDigits(std::string_view text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

int Number(std::string_view digits)
{
    int value = 0;
    for (const char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

// Whether `number` is written as PeriodKey writes it for `period`.
bool ValidNumber(Period period, std::string_view number)
{
    switch (period) {
    case Period::Week: return number.size() <= 2 && number[0] != '0';  // as "%d" writes it
    case Period::Month: return number.size() == 2;
    case Period::Quarter: return number.size() == 1 && number[0] >= '1' && number[0] <= '4';
    case Period::Semester: return number == "1" || number == "2";
    default: return false;
    }
}

}  // namespace

int WeekNumber(Clock::TimePoint now)
{
    const std::tm local = LocalTime(now);
    const Clock::TimePoint yearStart = LocalTimePoint(local.tm_year + 1900, 1, 1);
    const auto seconds =
        static_cast<std::int32_t>(std::chrono::duration_cast<std::chrono::seconds>(now - yearStart).count());
    return seconds / 3600 / 24 / 7 + 1;
}

std::string TwoDigits(int value)
{
    return (value < 10 ? "0" : "") + std::to_string(value);
}

std::string DayCaption(Clock::TimePoint now)
{
    const std::tm local = LocalTime(now);
    return TwoDigits(local.tm_mon + 1) + "/" + TwoDigits(local.tm_mday) + "/" + std::to_string(local.tm_year + 1900);
}

PeriodKeys PeriodKeysAt(Clock::TimePoint now)
{
    const std::tm local = LocalTime(now);
    const int year = local.tm_year + 1900;
    const int month = local.tm_mon + 1;
    return PeriodKeys{
        DayKey(year, month, local.tm_mday),  std::to_string(WeekNumber(now)), TwoDigits(month),
        std::to_string((month - 1) / 3 + 1), month <= 6 ? "1" : "2",          std::to_string(year),
    };
}

std::string_view PeriodPrefix(Period period)
{
    static constexpr std::array<std::string_view, 6> kPrefixes = {"d_", "w_", "m_", "q_", "s_", "y_"};
    return kPrefixes[static_cast<size_t>(period)];
}

std::string DayKey(int year, int month, int day)
{
    return std::to_string(year) + TwoDigits(month) + TwoDigits(day);
}

std::string PeriodKey(Period period, int number, int year)
{
    if (period == Period::Year)
        return std::to_string(year);
    return (period == Period::Month ? TwoDigits(number) : std::to_string(number)) + "_" + std::to_string(year);
}

std::string PeriodFileName(Period period, std::string_view key)
{
    return std::string(PeriodPrefix(period)) + std::string(key) + std::string(kPeriodFileExtension);
}

std::array<std::string, 6> PeriodFileNames(const PeriodKeys& keys)
{
    return {
        PeriodFileName(Period::Day, keys.day),
        PeriodFileName(Period::Week, keys.week + "_" + keys.year),
        PeriodFileName(Period::Month, keys.month + "_" + keys.year),
        PeriodFileName(Period::Quarter, keys.quarter + "_" + keys.year),
        PeriodFileName(Period::Semester, keys.semester + "_" + keys.year),
        PeriodFileName(Period::Year, keys.year),
    };
}

std::optional<PeriodFile> ParsePeriodFileName(std::string_view name)
{
    if (name.size() < 2 || name[1] != '_' || !name.ends_with(kPeriodFileExtension))
        return std::nullopt;
    const auto period =
        std::find_if(kPeriods.begin(), kPeriods.end(), [&](Period p) { return PeriodPrefix(p) == name.substr(0, 2); });
    if (period == kPeriods.end())
        return std::nullopt;
    const std::string_view key = name.substr(2, name.size() - 2 - kPeriodFileExtension.size());
    switch (*period) {
    case Period::Day:
        // Eight digits, the day of the month in the last two.
        if (key.size() != 8 || !AllDigits(key))
            return std::nullopt;
        return PeriodFile{Period::Day, Number(key.substr(6, 2)), Number(key.substr(0, 4))};
    case Period::Year:
        if (key.size() != 4 || !AllDigits(key))
            return std::nullopt;
        return PeriodFile{Period::Year, 0, Number(key)};
    default: {
        // The number, "_", a four-digit year.
        if (key.size() < 1 + 1 + 4 || key[key.size() - 5] != '_')
            return std::nullopt;
        const std::string_view number = key.substr(0, key.size() - 5);
        const std::string_view year = key.substr(key.size() - 4);
        if (!AllDigits(number) || !AllDigits(year) || !ValidNumber(*period, number))
            return std::nullopt;
        return PeriodFile{*period, Number(number), Number(year)};
    }
    }
}

std::string UserLogsFolder(std::string_view userFolder)
{
    return "Logs/Users" + (userFolder.empty() ? std::string() : "/" + std::string(userFolder));
}

std::string PrinterLogsFolder(std::string_view printerFolder)
{
    return "Logs/Printers" + (printerFolder.empty() ? std::string() : "/" + std::string(printerFolder));
}

}  // namespace ostrel
