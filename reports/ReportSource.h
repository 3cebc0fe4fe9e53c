#pragma once

#include "Clock.h"
#include "ReportDocument.h"
#include "ReportEventTable.h"
#include "ReportResult.h"
#include "ReportSummary.h"

#include <string>
#include <vector>

namespace ostrel {

// A report ready for a viewer or a command: its jobs in the order they
// were recorded, their totals, and the subtotals the viewer shows.
struct Report {
    ReportKind kind = ReportKind::Aggregated;
    std::string caption;  // the whole period element
    ReportEventTable events;
    // Whether the jobs carry their server, as those of the central store do.
    bool servers = false;
    ReportTotals totals;
    std::vector<ReportSubtotal> byUser;
    std::vector<ReportSubtotal> byPrinter;
    std::vector<ReportSubtotal> byServer;  // empty unless `servers`
    // The report document as it was read from a period file; empty for
    // jobs that came from elsewhere (ReportDocumentOf builds theirs).
    std::string document;
};

// Where the jobs of a report come from: this machine's period files, or
// the central store all print servers feed. The console and ostrel-report
// show either the same way.
class ReportSource {
public:
    virtual ~ReportSource() = default;

    // The report of a request, its period resolved from one reading of
    // `clock`. Fails with the message to show instead.
    virtual ReportResult<Report> Fetch(const ReportRequest& request, const Clock& clock) = 0;
};

// The period files under an application folder's Logs, as they always
// were: the document is the period file's own bytes with the header of
// its kind, and the totals are added up here.
class PeriodFileSource final : public ReportSource {
public:
    explicit PeriodFileSource(std::string appFolder) : appFolder_(std::move(appFolder)) {}
    ReportResult<Report> Fetch(const ReportRequest& request, const Clock& clock) override;

private:
    std::string appFolder_;
};

// A report of the machine's own kind made from its document's bytes: the
// jobs read from it (none when it cannot be read: its stylesheet then says
// what is wrong with it), added up here.
Report ReportFromDocument(std::string document, ReportKind kind);

// The report document of a report: its own when it was read from a period
// file; otherwise one built from its jobs, with the header of its kind,
// its caption, and one event element per job with the children of the
// machine's own records and, for jobs that carry it, a server element.
std::string ReportDocumentOf(const Report& report);
std::string ReportDocumentOf(ReportKind kind, std::string_view caption, const ReportEventTable& events, bool servers);

// The document's head alone (header, caption, "</log>"), which is all a
// viewer that shows the jobs in tables of its own renders.
std::string ReportDocumentHead(const Report& report);

// Appends one job as the event element of a report document. The texts
// are escaped as XML text.
void AppendEventElement(std::string& document, const ReportEventTable::Fields& fields, bool servers);

}  // namespace ostrel
