#include "ReportPeriod.h"

#include "LogDocument.h"
#include "PeriodKeys.h"

#include <algorithm>
#include <chrono>

namespace ostrel {
namespace {

struct LocalDate {
    int year;
    int month;
    int day;
};

LocalDate DateOf(Clock::TimePoint when)
{
    const std::tm local = LocalTime(when);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

using std::chrono::days;

// A period file of `period` with its key and caption.
ResolvedPeriod File(Period period, std::string key, const std::string& caption)
{
    return {std::string(PeriodPrefix(period)), std::move(key), PeriodCaption(caption)};
}

PeriodSpan Day(Clock::TimePoint when)
{
    const LocalDate date = DateOf(when);
    return {File(Period::Day, PeriodKeysAt(when).day, DayCaption(when)),
            LocalTimePoint(date.year, date.month, date.day), LocalTimePoint(date.year, date.month, date.day + 1)};
}

// Week `week` of `year` as the monitor counts it: whole weeks of seconds
// from 1 January 00:00, the last one cut short by the next 1 January.
PeriodSpan Week(int week, int year, ReportKind kind, const char* sameKindCaption)
{
    const std::string number = std::to_string(week);
    const std::string caption =
        kind == ReportKind::User ? "Week " + number + " of " + std::to_string(year) : std::string(sameKindCaption);
    const Clock::TimePoint yearStart = LocalTimePoint(year, 1, 1);
    const Clock::TimePoint nextYear = LocalTimePoint(year + 1, 1, 1);
    return {File(Period::Week, PeriodKey(Period::Week, week, year), caption), yearStart + days(7 * (week - 1)),
            std::min(yearStart + days(7 * week), nextYear)};
}

PeriodSpan Month(int month, int year)
{
    return {File(Period::Month, PeriodKey(Period::Month, month, year), TwoDigits(month) + "/" + std::to_string(year)),
            LocalTimePoint(year, month, 1), LocalTimePoint(year, month + 1, 1)};
}

PeriodSpan Quarter(int quarter, int year)
{
    return {File(Period::Quarter, PeriodKey(Period::Quarter, quarter, year),
                 "Quarter " + std::to_string(quarter) + "  of " + std::to_string(year)),
            LocalTimePoint(year, 3 * quarter - 2, 1), LocalTimePoint(year, 3 * quarter + 1, 1)};
}

PeriodSpan Semester(int semester, int year)
{
    return {File(Period::Semester, PeriodKey(Period::Semester, semester, year),
                 (semester == 1 ? "1st" : "2nd") + std::string(" Semester of ") + std::to_string(year)),
            LocalTimePoint(year, 6 * semester - 5, 1), LocalTimePoint(year, 6 * semester + 1, 1)};
}

PeriodSpan Year(int year)
{
    return {File(Period::Year, PeriodKey(Period::Year, 0, year), std::to_string(year)), LocalTimePoint(year, 1, 1),
            LocalTimePoint(year + 1, 1, 1)};
}

}  // namespace

std::string ResolvedPeriod::FileName() const
{
    return prefix + key + std::string(kPeriodFileExtension);
}

const std::array<std::string_view, 12>& ReportPeriodNames()
{
    static const std::array<std::string_view, 12> names = {
        "Today",        "Yesterday",    "This week",     "Last week",     "This month", "Last month",
        "This quarter", "Last quarter", "This semester", "Last semester", "This year",  "Last year",
    };
    return names;
}

std::optional<ResolvedPeriod> ResolvePeriod(std::string_view name, ReportKind kind, const Clock& clock)
{
    std::optional<PeriodSpan> span = ResolvePeriodSpan(name, kind, clock);
    if (!span)
        return std::nullopt;
    return std::move(span->period);
}

std::optional<PeriodSpan> ResolvePeriodSpan(std::string_view name, ReportKind kind, const Clock& clock)
{
    const auto& names = ReportPeriodNames();
    size_t index = 0;
    while (index < names.size() && names[index] != name)
        ++index;
    if (index == names.size())
        return std::nullopt;

    // Key and caption of every period come from this one reading, so that
    // they describe the same period even across midnight.
    const Clock::TimePoint now = clock.Now();
    const LocalDate today = DateOf(now);
    const int quarter = (today.month - 1) / 3 + 1;
    const int semester = today.month <= 6 ? 1 : 2;
    switch (index) {
    case 0: return Day(now);
    case 1:
        // Exactly 86,400 seconds back, without a calendar correction: around
        // a daylight-saving change this may be today or two days back.
        return Day(now - std::chrono::seconds(86400));
    case 2: return Week(WeekNumber(now), today.year, kind, "This Week");
    case 3: {
        const int week = WeekNumber(now);
        return week == 1 ? Week(53, today.year - 1, kind, "Last Week") : Week(week - 1, today.year, kind, "Last Week");
    }
    case 4: return Month(today.month, today.year);
    case 5: return today.month == 1 ? Month(12, today.year - 1) : Month(today.month - 1, today.year);
    case 6: return Quarter(quarter, today.year);
    case 7: return quarter == 1 ? Quarter(4, today.year - 1) : Quarter(quarter - 1, today.year);
    case 8: return Semester(semester, today.year);
    case 9: return semester == 1 ? Semester(2, today.year - 1) : Semester(1, today.year);
    case 10: return Year(today.year);
    default: return Year(today.year - 1);
    }
}

}  // namespace ostrel
