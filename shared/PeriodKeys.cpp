#include "PeriodKeys.h"

#include <cstdint>

namespace ostrel {

int WeekNumber(Clock::TimePoint now)
{
    const std::tm local = LocalTime(now);
    const Clock::TimePoint yearStart = LocalTimePoint(local.tm_year + 1900, 1, 1);
    const auto seconds = static_cast<std::int32_t>(
        std::chrono::duration_cast<std::chrono::seconds>(now - yearStart).count());
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
        std::to_string(year) + TwoDigits(month) + TwoDigits(local.tm_mday),
        std::to_string(WeekNumber(now)),
        TwoDigits(month),
        std::to_string((month - 1) / 3 + 1),
        month <= 6 ? "1" : "2",
        std::to_string(year),
    };
}

}  // namespace ostrel
