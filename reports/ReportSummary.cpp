#include "ReportSummary.h"

#include <cstdlib>
#include <map>

namespace ostrel {

namespace {

std::vector<ReportSubtotal> SubtotalsBy(const std::vector<ReportEvent>& events, std::string ReportEvent::*field)
{
    std::map<std::string, ReportTotals> byName;
    for (const ReportEvent& event : events)
        byName[event.*field].Add(event);
    std::vector<ReportSubtotal> rows;
    rows.reserve(byName.size());
    for (auto& [name, totals] : byName)
        rows.push_back({name, totals});
    return rows;
}

} // namespace

std::int64_t NumberIn(const std::string& text)
{
    return std::strtoll(text.c_str(), nullptr, 10);
}

void ReportTotals::Add(const ReportEvent& event)
{
    ++jobs;
    pages += NumberIn(event.pages);
    cost += NumberIn(event.cost);
}

ReportTotals TotalsOf(const std::vector<ReportEvent>& events)
{
    ReportTotals totals;
    for (const ReportEvent& event : events)
        totals.Add(event);
    return totals;
}

std::vector<ReportSubtotal> SubtotalsByUser(const std::vector<ReportEvent>& events)
{
    return SubtotalsBy(events, &ReportEvent::user);
}

std::vector<ReportSubtotal> SubtotalsByPrinter(const std::vector<ReportEvent>& events)
{
    return SubtotalsBy(events, &ReportEvent::printer);
}

std::string Money(std::int64_t cents)
{
    const bool negative = cents < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
    std::string whole = std::to_string(magnitude / 100);
    for (int at = static_cast<int>(whole.size()) - 3; at > 0; at -= 3)
        whole.insert(static_cast<std::size_t>(at), ",");
    const std::uint64_t fraction = magnitude % 100;
    return (negative ? "-" : "") + whole + "." + (fraction < 10 ? "0" : "") + std::to_string(fraction);
}

} // namespace ostrel
