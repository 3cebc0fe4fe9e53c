#pragma once

#include "ReportEventTable.h"
#include "ReportEvents.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ostrel {

// Jobs, pages and cost (cents) of some events of a report.
struct ReportTotals {
    std::size_t jobs = 0;
    std::int64_t pages = 0;
    std::int64_t cost = 0;

    void Add(std::string_view pages, std::string_view cost);
    bool operator==(const ReportTotals&) const = default;
};

// The totals of one user or printer.
struct ReportSubtotal {
    std::string name;
    ReportTotals totals;
    bool operator==(const ReportSubtotal&) const = default;
};

ReportTotals TotalsOf(const ReportEventTable& events);

// The totals per user or per printer, by name; one pass and one sort of
// the names, whatever the number of events.
std::vector<ReportSubtotal> SubtotalsByUser(const ReportEventTable& events);
std::vector<ReportSubtotal> SubtotalsByPrinter(const ReportEventTable& events);

// Cents as money with two decimals and thousands separated: "1,234.50".
std::string Money(std::int64_t cents);

// The leading whole number of a text, 0 when it has none; the reports read
// pages and cost this way.
std::int64_t NumberIn(std::string_view text);

}  // namespace ostrel
