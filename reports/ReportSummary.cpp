#include "ReportSummary.h"

#include <climits>
#include <cstdint>
#include <map>

namespace ostrel {

namespace {

std::vector<ReportSubtotal> SubtotalsBy(const ReportEventTable& events, ReportEventTable::Field field)
{
    std::map<std::string, ReportTotals, std::less<>> byName;
    for (std::size_t row = 0; row < events.Rows(); ++row) {
        const std::string_view name = events.Text(row, field);
        auto at = byName.find(name);
        if (at == byName.end())
            at = byName.emplace(std::string(name), ReportTotals{}).first;
        at->second.Add(events.Text(row, ReportEventTable::Pages), events.Text(row, ReportEventTable::Cost));
    }
    std::vector<ReportSubtotal> rows;
    rows.reserve(byName.size());
    for (auto& [name, totals] : byName)
        rows.push_back({name, totals});
    return rows;
}

}  // namespace

std::int64_t NumberIn(std::string_view text)
{
    // As strtoll reads it: blanks, a sign, digits; no number is 0.
    std::size_t at = text.find_first_not_of(" \t\n\r");
    if (at == std::string_view::npos)
        return 0;
    bool negative = false;
    if (text[at] == '-' || text[at] == '+')
        negative = text[at++] == '-';
    std::int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        if (value > (INT64_MAX - 9) / 10)
            return negative ? INT64_MIN : INT64_MAX;
        value = value * 10 + (text[at] - '0');
    }
    return negative ? -value : value;
}

namespace {

// Sums stop at the limits, as NumberIn does, so that a damaged file's huge
// numbers never overflow.
std::int64_t SaturatedSum(std::int64_t a, std::int64_t b)
{
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? INT64_MAX : INT64_MIN;
    return sum;
}

}  // namespace

void ReportTotals::Add(std::string_view pagesText, std::string_view costText)
{
    ++jobs;
    pages = SaturatedSum(pages, NumberIn(pagesText));
    cost = SaturatedSum(cost, NumberIn(costText));
}

ReportTotals TotalsOf(const ReportEventTable& events)
{
    ReportTotals totals;
    for (std::size_t row = 0; row < events.Rows(); ++row)
        totals.Add(events.Text(row, ReportEventTable::Pages), events.Text(row, ReportEventTable::Cost));
    return totals;
}

std::vector<ReportSubtotal> SubtotalsByUser(const ReportEventTable& events)
{
    return SubtotalsBy(events, ReportEventTable::User);
}

std::vector<ReportSubtotal> SubtotalsByPrinter(const ReportEventTable& events)
{
    return SubtotalsBy(events, ReportEventTable::Printer);
}

std::string Money(std::int64_t cents)
{
    const bool negative = cents < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
    std::string whole = std::to_string(magnitude / 100);
    for (int at = static_cast<int>(whole.size()) - 3; at > 0; at -= 3)
        whole.insert(static_cast<std::size_t>(at), ",");
    const std::uint64_t fraction = magnitude % 100;
    return (negative ? "-" : "") + whole + "." + (fraction < 10 ? "0" : "") + std::to_string(fraction);
}

}  // namespace ostrel
