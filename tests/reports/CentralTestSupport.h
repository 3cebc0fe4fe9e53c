#pragma once

#include "Clock.h"
#include "ReportEventTable.h"
#include "SqlDatabase.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::test {

// A job as one server's monitor forwarded it to the central store.
struct CentralJob {
    std::string server;
    std::string printer;
    std::string user;
    std::string document;
    std::int64_t pages = 0;
    std::int64_t cost = 0;
    Clock::TimePoint submitted;
    Clock::TimePoint recorded;
    // The record's own date and time, in its server's zone: year, month,
    // day, hour, minute as the period files hold them.
    std::array<std::string, 5> local;
};

// A site of three print servers: "north" and "south" in the local zone of
// the test, "east" five hours behind UTC and joined at `eastJoined`. The
// printer "Laser" is on north and on south. `count` jobs recorded from
// `from` to `to`, in order, made the same way every time.
std::vector<CentralJob> MakeSite(std::size_t count, Clock::TimePoint from, Clock::TimePoint to,
                                 Clock::TimePoint eastJoined);

// Registers the servers and inserts the jobs directly, as the
// administrator; each server's records numbered from 1.
void InsertJobs(SqlConnection& administrator, const std::vector<CentralJob>& jobs);

// The row a report should show for a job, its fields in the table's
// order: the submission time in the local zone of the test.
using CentralRow = std::array<std::string, ReportEventTable::FieldCount>;
CentralRow RowOf(const CentralJob& job);

}  // namespace ostrel::test
