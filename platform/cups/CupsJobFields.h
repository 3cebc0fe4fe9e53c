#pragma once

#include "Spooler.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::cups {

// IPP job-state values.
namespace ipp_job_state {
inline constexpr int kPending = 3;
inline constexpr int kHeld = 4;
inline constexpr int kProcessing = 5;
inline constexpr int kStopped = 6;
inline constexpr int kCanceled = 7;
inline constexpr int kAborted = 8;
inline constexpr int kCompleted = 9;
}  // namespace ipp_job_state

// What CUPS told us about one job, from a job listing or an event. An event
// carries only some attributes, so each one may be missing.
struct JobAttributes {
    std::uint32_t id = 0;
    std::optional<int> state;
    std::optional<std::vector<std::string>> reasons;
    std::optional<std::string> name;
    std::optional<std::string> user;
    std::optional<std::string> printerMessage;
    std::optional<std::string> printerUri;
    std::optional<std::uint32_t> impressions;
    std::optional<std::uint32_t> impressionsCompleted;
    std::optional<std::int64_t> createdAt;  // seconds since the epoch
    std::optional<std::int64_t> completedAt;

    // Takes every attribute `newer` has; keeps the others.
    void MergeFrom(const JobAttributes& newer);
};

bool IsTerminalState(int state);

// The job status bits for a CUPS job state and its reasons. Never exactly
// kUserIntervention (0x400), which the monitor reads as "finished".
std::uint32_t StatusBits(int state, const std::vector<std::string>& reasons);

// The printer's message when it has one, else the reasons, "none" left out.
std::string StatusText(const std::vector<std::string>& reasons, const std::string& printerMessage);

SpoolerTime LocalSpoolerTime(std::time_t when);

// The job as the monitor sees it. While the job is active the total is the
// larger of what was announced and what was counted so far; once it is done
// the total is exactly what the filters counted (copies included), since
// that is what went to paper.
SpoolerJob ToSpoolerJob(const JobAttributes& job);

// The data entries that turn `before` into `after`; every field when
// `before` is absent.
std::vector<NotifyEntry> ChangedFields(const std::optional<SpoolerJob>& before, const SpoolerJob& after);

// The queue name at the end of a printer or class URI, e.g.
// "ipp://host/printers/laser" -> "laser". Nothing for other URIs.
std::optional<std::string> QueueNameFromUri(std::string_view uri);

// Whether CUPS could know a queue by this name: not empty, at most 127
// bytes, no spaces, control characters, '/', '#', '?' or '\\'.
bool PlausibleQueueName(std::string_view name);

}  // namespace ostrel::cups
