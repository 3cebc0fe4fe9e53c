#pragma once

#include "ReportSource.h"
#include "SqlDatabase.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// Reports from the central store that every print server feeds, read
// through the view ostrel_jobs as the reader role sees it. A period
// becomes the span of recording instants the monitor would file under it
// (ResolvePeriodSpan, in the zone of the one who asks); the printer, the
// user and the server are parameters of one fixed query. The database adds
// up the totals and subtotals; the jobs arrive one at a time, in the order
// they were recorded, and are held once. Dates and times are shown in the
// asker's zone; when a job's server recorded another local time for it,
// the caption says in which zone the times are.

// Which servers a report takes in: one by its display name, or all.
using ServerChoice = std::optional<std::string>;

class CentralReportSource final : public ReportSource {
public:
    // `connection` outlives the source.
    CentralReportSource(SqlConnection& connection, ServerChoice server)
        : connection_(connection), server_(std::move(server))
    {
    }
    ReportResult<Report> Fetch(const ReportRequest& request, const Clock& clock) override;

private:
    SqlConnection& connection_;
    ServerChoice server_;
};

// What a streamed report knows besides its jobs.
struct CentralReportHead {
    std::string caption;
};

// The jobs of a request handed to `onJob` one at a time (the texts live
// for the call only); no totals are asked for. ostrel-report writes its
// CSV this way without holding the jobs. Fails with the message to show;
// a period without jobs is kReportMissing.
ReportResult<CentralReportHead> StreamCentralReport(SqlConnection& connection, const ReportRequest& request,
                                                    const ServerChoice& server, const Clock& clock,
                                                    const std::function<void(const ReportEventTable::Fields&)>& onJob);

// The names the reports page offers for a choice of servers, sorted: the
// servers' display names, and the printers and users with jobs on the
// chosen servers.
ReportResult<std::vector<std::string>> CentralServerNames(SqlConnection& connection);
ReportResult<std::vector<std::string>> CentralPrinterNames(SqlConnection& connection, const ServerChoice& server);
ReportResult<std::vector<std::string>> CentralUserNames(SqlConnection& connection, const ServerChoice& server);

// The message for a centre that cannot be reached, with the reason.
std::string CentralUnreachable(std::string_view reason);
// The message for a request that failed on `connection`: unreachable when
// the session was lost, else the server's own reason.
std::string CentralFailed(const SqlConnection& connection, std::string_view reason);

}  // namespace ostrel
