#pragma once

#include "Clock.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// The three kinds of report: one printer, one user, the whole machine.
enum class ReportKind { Printer, User, Aggregated };

// The twelve period names, in the order the reports page offers them.
const std::array<std::string_view, 12>& ReportPeriodNames();

// Which period file a report shows and how its document names the period.
struct ResolvedPeriod {
    std::string prefix;   // "d_", "w_", "m_", "q_", "s_" or "y_"
    std::string key;      // "20061207", "49_2006", "12_2006", ...
    std::string caption;  // a whole period element: "<period>12/07/2006</period>"

    // The period file's name inside its folder: prefix, key, ".xml".
    std::string FileName() const;

    bool operator==(const ResolvedPeriod&) const = default;
};

// Resolves a period name for a report kind from one reading of `clock`,
// taken as local time. The name must match one of ReportPeriodNames()
// exactly (case included); any other name resolves to nothing. The kind
// only changes the captions of the two week periods. Week numbers come
// from the monitor's own rule (WeekNumber), so a report always finds the
// file the monitor wrote.
std::optional<ResolvedPeriod> ResolvePeriod(std::string_view name, ReportKind kind, const Clock& clock);

// A period as a span of time, for a store that keeps instants rather than
// period files: the jobs recorded from `from` (included) to `to` (not
// included) are exactly those the monitor of a machine in the local zone
// files under `period`. Weeks follow the monitor's rule to the second.
struct PeriodSpan {
    ResolvedPeriod period;
    Clock::TimePoint from;
    Clock::TimePoint to;
};

// As ResolvePeriod, with the span of the period, from the same one reading
// of `clock` in the local zone.
std::optional<PeriodSpan> ResolvePeriodSpan(std::string_view name, ReportKind kind, const Clock& clock);

}  // namespace ostrel
