#include "CentralForwarder.h"

#include "SafeText.h"

#include <algorithm>
#include <charconv>

namespace ostrel {
namespace {

constexpr const char* kRegisterServer =
    "INSERT INTO ostrel_servers (server_id, name) VALUES ($1, $2) "
    "ON CONFLICT (server_id) DO UPDATE SET name = EXCLUDED.name, last_seen = now()";
// A batch arrives in a table of the session, emptied at each commit.
constexpr const char* kIncomingTable =
    "CREATE TEMP TABLE IF NOT EXISTS ostrel_incoming (record_sequence bigint, job_id bigint, queue text, "
    "printer text, username text, document text, pages bigint, cost bigint, submitted_epoch bigint, "
    "recorded_epoch bigint, local_year text, local_month text, local_day text, local_hour text, "
    "local_minute text) ON COMMIT DELETE ROWS";
constexpr const char* kCopyIncoming =
    "COPY ostrel_incoming (record_sequence, job_id, queue, printer, username, document, pages, cost, "
    "submitted_epoch, recorded_epoch, local_year, local_month, local_day, local_hour, local_minute) FROM STDIN";
constexpr const char* kRegisterPrinters =
    "INSERT INTO ostrel_printers (server_id, name) "
    "SELECT DISTINCT $1::uuid, printer FROM ostrel_incoming "
    "ON CONFLICT DO NOTHING";
constexpr const char* kAddJobs =
    "INSERT INTO ostrel_job_records (server_id, record_sequence, job_id, queue, printer, username, document, "
    "pages, cost, submitted_at, recorded_at, local_year, local_month, local_day, local_hour, local_minute) "
    "SELECT $1::uuid, record_sequence, job_id, queue, printer, username, document, pages, cost, "
    "to_timestamp(submitted_epoch), to_timestamp(recorded_epoch), local_year, local_month, local_day, "
    "local_hour, local_minute FROM ostrel_incoming ON CONFLICT DO NOTHING";

// The text of element `name` in an event record; the writer keeps markup
// out of every field, so the first closing tag ends it.
std::string Field(std::string_view text, std::string_view name)
{
    const std::string open = "<" + std::string(name) + ">";
    const std::string close = "</" + std::string(name) + ">";
    const size_t start = text.find(open);
    if (start == std::string_view::npos)
        return {};
    const size_t end = text.find(close, start + open.size());
    if (end == std::string_view::npos)
        return {};
    return std::string(text.substr(start + open.size(), end - start - open.size()));
}

std::string Number(std::string_view text)
{
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? std::to_string(value) : "0";
}

// Text as the database takes it: valid UTF-8 without NUL, whatever the journal held.
std::string Text(std::string_view text)
{
    return SanitizeXmlText(text);
}

}  // namespace

SqlRow CentralRow(const OwedRecord& owed)
{
    const EventRecord& r = owed.record;
    const auto instant = [](std::int64_t seconds) -> SqlValue {
        return seconds > 0 ? SqlValue(std::to_string(seconds)) : std::nullopt;
    };
    return {std::to_string(owed.sequence),
            std::to_string(r.jobId),
            Text(r.queue),
            Text(r.printer),
            Text(r.user),
            Text(Field(r.text, "doc")),
            Number(Field(r.text, "pages")),
            Number(Field(r.text, "cost")),
            instant(r.submittedAt),
            instant(owed.takenAt),
            Text(Field(r.text, "year")),
            Text(Field(r.text, "month")),
            Text(Field(r.text, "day")),
            Text(Field(r.text, "hour")),
            Text(Field(r.text, "min"))};
}

CentralForwarder::CentralForwarder(CentralForwarderSetup setup) : setup_(std::move(setup)) {}

CentralForwarder::~CentralForwarder()
{
    Stop();
}

std::uint32_t CentralForwarder::Run(std::stop_token stop)
{
    std::chrono::seconds backoff{1};
    while (!stop.stop_requested()) {
        const std::vector<OwedRecord> batch = setup_.writer.OwedRecords(kBatch);
        if (batch.empty()) {
            Report();
            if (!setup_.clock.SleepFor(kIdleWait, stop))
                break;
            continue;
        }
        if ((connection_ && connection_->Usable()) || Connect()) {
            if (Send(batch)) {
                setup_.writer.Forwarded(batch.back().sequence);
                backoff = std::chrono::seconds{1};
                continue;
            }
            if (!connection_->Usable())
                connection_.reset();
        }
        Unreachable(problem_);
        if (!Wait(backoff, stop))
            break;
        backoff = std::min(backoff * 2, std::chrono::seconds(kLongestWait));
    }
    connection_.reset();
    return 0;
}

bool CentralForwarder::Connect()
{
    connection_.reset();
    SqlDatabase::Opened opened = setup_.database.Open(setup_.settings.conninfo);
    if (!opened.connection) {
        problem_ = opened.error;
        return false;
    }
    for (const char* sql : {kRegisterServer, kIncomingTable}) {
        const SqlAnswer answer =
            sql == kRegisterServer ? opened.connection->Run(sql, {setup_.settings.serverId, setup_.settings.serverName})
                                   : opened.connection->Run(sql);
        if (!answer.Ok()) {
            problem_ = *answer.error;
            return false;
        }
    }
    connection_ = std::move(opened.connection);
    return true;
}

bool CentralForwarder::Send(const std::vector<OwedRecord>& batch)
{
    std::vector<SqlRow> rows;
    rows.reserve(batch.size());
    for (const OwedRecord& owed : batch)
        rows.push_back(CentralRow(owed));
    SqlConnection& db = *connection_;
    const SqlValue server = setup_.settings.serverId;
    for (const auto& step : std::vector<std::function<SqlAnswer()>>{
             [&] { return db.Run("BEGIN"); },
             [&] { return db.Copy(kCopyIncoming, rows); },
             [&] { return db.Run(kRegisterPrinters, {server}); },
             [&] { return db.Run(kAddJobs, {server}); },
             [&] { return db.Run("COMMIT"); },
         }) {
        const SqlAnswer answer = step();
        if (!answer.Ok()) {
            problem_ = *answer.error;
            if (db.Usable())
                db.Run("ROLLBACK");
            return false;
        }
    }
    Reachable();
    return true;
}

void CentralForwarder::Unreachable(const std::string& reason)
{
    Report();
    if (down_)
        return;
    down_ = true;
    setup_.log("Central database unreachable, records wait on disk until it is back: " + reason);
}

void CentralForwarder::Reachable()
{
    if (!down_)
        return;
    down_ = false;
    // Counted before this batch is marked, so the batch is among them.
    setup_.log("Central database reachable again; " + std::to_string(setup_.writer.OwingToCentre().count) +
               " records were waiting");
}

void CentralForwarder::Report()
{
    const EventLogWriter::Owing owing = setup_.writer.OwingToCentre();
    const CentralStatus status{owing.count, owing.oldest.value_or(0)};
    if (reported_ != status) {
        setup_.report(status);
        reported_ = status;
    }
}

bool CentralForwarder::Wait(std::chrono::seconds wait, std::stop_token stop)
{
    for (std::chrono::seconds slept{0}; slept < wait; slept += kIdleWait) {
        if (!setup_.clock.SleepFor(kIdleWait, stop))
            return false;
        Report();
    }
    return true;
}

}  // namespace ostrel
