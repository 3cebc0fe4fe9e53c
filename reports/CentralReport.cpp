#include "CentralReport.h"

#include "LogDocument.h"
#include "PeriodKeys.h"
#include "SafeText.h"
#include "SettingsDocument.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>

namespace ostrel {
namespace {

// A message of ours with libpq's or the server's reason, on one line.
std::string CentralMessage(std::string_view what, std::string_view reason)
{
    std::string message(what);
    message += reason;
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    return message;
}

// The one filter of every central query: $1 and $2 the span of recording
// instants, $3 the server's display name, $4 the printer, $5 the user,
// each NULL for any.
constexpr const char* kFilter =
    " FROM ostrel_jobs"
    " WHERE recorded_at >= $1::timestamptz AND recorded_at < $2::timestamptz"
    " AND ($3::text IS NULL OR server = $3::text)"
    " AND ($4::text IS NULL OR printer = $4::text)"
    " AND ($5::text IS NULL OR username = $5::text)";

// Every total in one pass: the whole report, then per user, per printer
// and per server, told apart by the GROUPING bits (7, 3, 5, 6); the last
// column is the bytes of text the jobs will take.
const std::string kTotals = std::string(
                                "SELECT GROUPING(username, printer, server), username, printer, server, count(*), "
                                "coalesce(sum(pages), 0), coalesce(sum(cost), 0), "
                                "coalesce(sum(octet_length(document) + octet_length(printer) + octet_length(username) "
                                "+ octet_length(server) + octet_length(pages::text) + octet_length(cost::text)), 0)") +
                            kFilter + " GROUP BY GROUPING SETS ((), (username), (printer), (server))";

constexpr int kWhole = 7, kPerUser = 3, kPerPrinter = 5, kPerServer = 6;

// The jobs in the order they were recorded, each with the instant it was
// submitted and the local date and time its own server recorded for it.
const std::string kJobs =
    std::string(
        "SELECT floor(extract(epoch FROM submitted_at))::bigint, document, pages, cost, printer, username, "
        "server, local_year, local_month, local_day, local_hour, local_minute") +
    kFilter + " ORDER BY recorded_at, server, record_sequence";

std::string UtcText(Clock::TimePoint when)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d+00", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

// A name as the monitors record it, so that a typed name finds its jobs.
SqlValue RecordedName(const std::string& name)
{
    return SanitizeXmlText(StripXmlSpecials(name));
}

std::string ValueOf(const SqlRow& row, std::size_t column)
{
    return column < row.size() && row[column] ? *row[column] : std::string();
}

// Local dates and times of submission instants in the asker's zone. Every
// zone's offset, and every change of it, falls on a quarter of an hour of
// UTC, so one conversion serves a whole quarter hour of jobs.
class LocalFields {
public:
    struct Texts {
        std::string day, month, year, hour, min;
    };

    const Texts& At(std::int64_t epoch)
    {
        const std::int64_t quarter = epoch - ((epoch % 900) + 900) % 900;
        if (quarter != quarter_) {
            quarter_ = quarter;
            const auto seconds = static_cast<std::time_t>(quarter);
            localtime_r(&seconds, &start_);
            texts_.day = TwoDigits(start_.tm_mday);
            texts_.month = TwoDigits(start_.tm_mon + 1);
            texts_.year = std::to_string(start_.tm_year + 1900);
            texts_.hour = TwoDigits(start_.tm_hour);
            minute_ = -1;
        }
        const int minute = start_.tm_min + static_cast<int>((epoch - quarter) / 60);
        if (minute != minute_) {
            minute_ = minute;
            texts_.min = TwoDigits(minute);
        }
        return texts_;
    }

private:
    std::int64_t quarter_ = -1;
    std::tm start_{};
    int minute_ = -1;
    Texts texts_;
};

struct Outcome {
    CentralReportHead head;
    ReportTotals totals;
    std::vector<ReportSubtotal> byUser, byPrinter, byServer;
    std::size_t textBytes = 0;
};

// One report's queries in one read-only snapshot, so that the totals are
// those of the jobs that follow them.
class CentralQuery {
public:
    CentralQuery(SqlConnection& connection, const ReportRequest& request, const ServerChoice& server,
                 const PeriodSpan& span)
        : connection_(connection)
    {
        const ReportSubject& subject = request.subject;
        parameters_ = {UtcText(span.from), UtcText(span.to), server,
                       subject.kind == ReportKind::Printer ? RecordedName(subject.name) : SqlValue(),
                       subject.kind == ReportKind::User ? RecordedName(subject.name) : SqlValue()};
    }

    ~CentralQuery()
    {
        if (open_)
            connection_.Run("ROLLBACK");
    }

    std::optional<std::string> Begin()
    {
        SqlAnswer answer = connection_.Run("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
        open_ = answer.Ok();
        return answer.error;
    }

    std::optional<std::string> Totals(Outcome& outcome)
    {
        SqlAnswer answer = connection_.Run(kTotals, parameters_);
        if (!answer.Ok())
            return answer.error;
        for (const SqlRow& row : answer.rows) {
            ReportTotals totals;
            totals.jobs = static_cast<std::size_t>(NumberIn(ValueOf(row, 4)));
            totals.pages = NumberIn(ValueOf(row, 5));
            totals.cost = NumberIn(ValueOf(row, 6));
            switch (NumberIn(ValueOf(row, 0))) {
            case kWhole:
                outcome.totals = totals;
                outcome.textBytes = static_cast<std::size_t>(NumberIn(ValueOf(row, 7)));
                break;
            case kPerUser: outcome.byUser.push_back({ValueOf(row, 1), totals}); break;
            case kPerPrinter: outcome.byPrinter.push_back({ValueOf(row, 2), totals}); break;
            case kPerServer: outcome.byServer.push_back({ValueOf(row, 3), totals}); break;
            default: break;
            }
        }
        // In byte order of the names, as the machine's own subtotals.
        for (auto* rows : {&outcome.byUser, &outcome.byPrinter, &outcome.byServer})
            std::sort(rows->begin(), rows->end(), [](const auto& a, const auto& b) { return a.name < b.name; });
        return std::nullopt;
    }

    // Hands on every job; true in `zonesDiffer` when a server recorded
    // another local time for a job than the asker's zone gives it.
    std::optional<std::string> Jobs(const std::function<void(const ReportEventTable::Fields&)>& onJob,
                                    bool& zonesDiffer)
    {
        LocalFields local;
        SqlAnswer answer = connection_.Stream(kJobs, parameters_, [&](const SqlRow& row) {
            const auto text = [&](std::size_t column) -> std::string_view {
                return column < row.size() && row[column] ? std::string_view(*row[column]) : std::string_view();
            };
            ReportEventTable::Fields fields{text(9), text(8), text(7), text(10), text(11), text(1),
                                            text(2), text(3), text(4), text(5),  text(6)};
            std::int64_t epoch = 0;
            const std::string_view submitted = text(0);
            if (!submitted.empty() &&
                std::from_chars(submitted.data(), submitted.data() + submitted.size(), epoch).ec == std::errc()) {
                const LocalFields::Texts& shown = local.At(epoch);
                zonesDiffer = zonesDiffer || shown.hour != fields[ReportEventTable::Hour] ||
                              shown.min != fields[ReportEventTable::Min];
                fields[ReportEventTable::Day] = shown.day;
                fields[ReportEventTable::Month] = shown.month;
                fields[ReportEventTable::Year] = shown.year;
                fields[ReportEventTable::Hour] = shown.hour;
                fields[ReportEventTable::Min] = shown.min;
            }
            onJob(fields);
            return true;
        });
        return answer.error;
    }

    std::optional<std::string> Commit()
    {
        open_ = false;
        return connection_.Run("COMMIT").error;
    }

private:
    SqlConnection& connection_;
    std::vector<SqlValue> parameters_;
    bool open_ = false;
};

// The caption of a period whose times are not all those of their servers.
std::string ZoneCaption(const std::string& caption, Clock::TimePoint now)
{
    const std::tm local = LocalTime(now);
    const long offset = local.tm_gmtoff / 60;
    char utc[48];
    std::snprintf(utc, sizeof utc, "UTC%c%02ld:%02ld", offset < 0 ? '-' : '+', std::labs(offset) / 60,
                  std::labs(offset) % 60);
    // A zone's own abbreviation when it has one ("CET"), its offset always.
    const std::string name = local.tm_zone ? local.tm_zone : "";
    const bool named = !name.empty() && name[0] != '+' && name[0] != '-' && name != "UTC" && name != "GMT";
    const std::string zone = " (times in this machine's zone, " + (named ? name + ", " : std::string()) + utc + ")";
    const std::size_t end = caption.rfind("</period>");
    if (end == std::string::npos)
        return caption;
    return caption.substr(0, end) + zone + caption.substr(end);
}

// The report of a request: its totals first when `onTotals` wants them
// (then a period without jobs ends there), the jobs after them.
ReportResult<Outcome> RunReport(SqlConnection& connection, const ReportRequest& request, const ServerChoice& server,
                                const Clock& clock, const std::function<void(const Outcome&)>& onTotals,
                                const std::function<void(const ReportEventTable::Fields&)>& onJob)
{
    using Result = ReportResult<Outcome>;
    const Clock::TimePoint now = clock.Now();
    struct Reading final : Clock {
        TimePoint at;
        TimePoint Now() const override { return at; }
        bool SleepFor(std::chrono::milliseconds, std::stop_token) override { return false; }
    } reading;
    reading.at = now;
    const std::optional<PeriodSpan> span = ResolvePeriodSpan(request.period, request.subject.kind, reading);
    if (!span)
        return Result::Failure(std::string(report_message::kReportMissing));
    CentralQuery query(connection, request, server, *span);
    Outcome outcome;
    std::optional<std::string> error = query.Begin();
    if (!error && onTotals)
        error = query.Totals(outcome);
    if (error)
        return Result::Failure(CentralFailed(connection, *error));
    if (onTotals) {
        if (outcome.totals.jobs == 0)
            return Result::Failure(std::string(report_message::kReportMissing));
        onTotals(outcome);
    }
    bool zonesDiffer = false;
    std::size_t jobs = 0;
    error = query.Jobs(
        [&](const ReportEventTable::Fields& fields) {
            ++jobs;
            onJob(fields);
        },
        zonesDiffer);
    if (!error)
        error = query.Commit();
    if (error)
        return Result::Failure(CentralFailed(connection, *error));
    if (jobs == 0)
        return Result::Failure(std::string(report_message::kReportMissing));
    outcome.head.caption = zonesDiffer ? ZoneCaption(span->period.caption, now) : span->period.caption;
    return outcome;
}

ReportResult<std::vector<std::string>> Names(SqlConnection& connection, const std::string& sql,
                                             const std::vector<SqlValue>& parameters)
{
    SqlAnswer answer = connection.Run(sql, parameters);
    if (!answer.Ok())
        return ReportResult<std::vector<std::string>>::Failure(CentralFailed(connection, *answer.error));
    std::vector<std::string> names;
    names.reserve(answer.rows.size());
    for (const SqlRow& row : answer.rows)
        names.push_back(ValueOf(row, 0));
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

std::string CentralUnreachable(std::string_view reason)
{
    return CentralMessage("The central database cannot be reached: ", reason);
}

std::string CentralFailed(const SqlConnection& connection, std::string_view reason)
{
    // A session that went away is a centre out of reach; anything else
    // (a role without the right to read, a schema not applied) is said as
    // the server said it.
    if (!connection.Usable())
        return CentralUnreachable(reason);
    return CentralMessage("The central database did not give the report: ", reason);
}

ReportResult<Report> CentralReportSource::Fetch(const ReportRequest& request, const Clock& clock)
{
    Report report;
    report.kind = request.subject.kind;
    report.servers = true;
    ReportResult<Outcome> outcome = RunReport(
        connection_, request, server_, clock,
        [&](const Outcome& totals) {
            // The date and time fields take 12 bytes a job; the database
            // counted the rest.
            report.events.Reserve(totals.totals.jobs, totals.textBytes + 12 * totals.totals.jobs);
        },
        [&](const ReportEventTable::Fields& fields) { report.events.Append(fields); });
    if (!outcome)
        return ReportResult<Report>::Failure(outcome.Error());
    report.caption = std::move(outcome->head.caption);
    report.totals = outcome->totals;
    if (report.kind != ReportKind::User)
        report.byUser = std::move(outcome->byUser);
    if (report.kind != ReportKind::Printer)
        report.byPrinter = std::move(outcome->byPrinter);
    report.byServer = std::move(outcome->byServer);
    return report;
}

ReportResult<CentralReportHead> StreamCentralReport(SqlConnection& connection, const ReportRequest& request,
                                                    const ServerChoice& server, const Clock& clock,
                                                    const std::function<void(const ReportEventTable::Fields&)>& onJob)
{
    ReportResult<Outcome> outcome = RunReport(
        connection, request, server, clock, [](const Outcome&) {}, onJob);
    if (!outcome)
        return ReportResult<CentralReportHead>::Failure(outcome.Error());
    return std::move(outcome->head);
}

ReportResult<std::vector<std::string>> CentralServerNames(SqlConnection& connection)
{
    return Names(connection, "SELECT name FROM ostrel_servers", {});
}

ReportResult<std::vector<std::string>> CentralPrinterNames(SqlConnection& connection, const ServerChoice& server)
{
    return Names(connection, "SELECT DISTINCT printer FROM ostrel_jobs WHERE $1::text IS NULL OR server = $1::text",
                 {server});
}

ReportResult<std::vector<std::string>> CentralUserNames(SqlConnection& connection, const ServerChoice& server)
{
    return Names(connection, "SELECT DISTINCT username FROM ostrel_jobs WHERE $1::text IS NULL OR server = $1::text",
                 {server});
}

}  // namespace ostrel
