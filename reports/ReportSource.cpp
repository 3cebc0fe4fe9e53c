#include "ReportSource.h"

namespace ostrel {
namespace {

void AppendEscaped(std::string& out, std::string_view text)
{
    for (char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        default: out += c;
        }
    }
}

// One reading of a clock, for two steps that must agree on the period.
class ReadingOf final : public Clock {
public:
    explicit ReadingOf(const Clock& clock) : now_(clock.Now()) {}
    TimePoint Now() const override { return now_; }
    bool SleepFor(std::chrono::milliseconds, std::stop_token) override { return false; }

private:
    TimePoint now_;
};

}  // namespace

ReportResult<Report> PeriodFileSource::Fetch(const ReportRequest& request, const Clock& clock)
{
    const ReadingOf now(clock);
    ReportResult<std::string> document = PrepareReport(appFolder_, request, now);
    if (!document)
        return ReportResult<Report>::Failure(document.Error());
    Report report = ReportFromDocument(std::move(*document), request.subject.kind);
    if (const std::optional<ResolvedPeriod> period = ResolvePeriod(request.period, request.subject.kind, now))
        report.caption = period->caption;
    return report;
}

Report ReportFromDocument(std::string document, ReportKind kind)
{
    Report report;
    report.kind = kind;
    report.document = std::move(document);
    ReportResult<ReportEventTable> events = ReportEventTable::Read(report.document);
    if (events)
        report.events = std::move(*events);
    report.totals = TotalsOf(report.events);
    if (kind != ReportKind::User)
        report.byUser = SubtotalsByUser(report.events);
    if (kind != ReportKind::Printer)
        report.byPrinter = SubtotalsByPrinter(report.events);
    return report;
}

void AppendEventElement(std::string& document, const ReportEventTable::Fields& fields, bool servers)
{
    document += "\n<event>";
    const int count = servers ? ReportEventTable::FieldCount : ReportEventTable::Server;
    for (int field = 0; field < count; ++field) {
        const char* name = ReportEventTable::Name(static_cast<ReportEventTable::Field>(field));
        document += '<';
        document += name;
        document += '>';
        AppendEscaped(document, fields[static_cast<std::size_t>(field)]);
        document += "</";
        document += name;
        document += '>';
    }
    document += "</event>";
}

std::string ReportDocumentHead(const Report& report)
{
    return ReportHeader(report.kind) + report.caption + "</log>";
}

std::string ReportDocumentOf(const Report& report)
{
    if (!report.document.empty())
        return report.document;
    return ReportDocumentOf(report.kind, report.caption, report.events, report.servers);
}

std::string ReportDocumentOf(ReportKind kind, std::string_view caption, const ReportEventTable& events, bool servers)
{
    std::string document = ReportHeader(kind) + std::string(caption);
    ReportEventTable::Fields fields;
    for (std::size_t row = 0; row < events.Rows(); ++row) {
        for (std::size_t field = 0; field < ReportEventTable::FieldCount; ++field)
            fields[field] = events.Text(row, static_cast<ReportEventTable::Field>(field));
        AppendEventElement(document, fields, servers);
    }
    return document + "</log>";
}

}  // namespace ostrel
