// The central store's costs, each beside its plain counterpart in one run:
//   recording a job with a configured but unreachable central database
//     (owed marks in the journal, a forwarder retrying) vs none;
//   forwarding 100,000 owed records from 16 servers into one PostgreSQL vs
//     one client's bare COPY of the same rows;
//   catching up 10,000 records owed through a 10-minute outage.

#include "CentralForwarder.h"
#include "EventLogWriter.h"
#include "FakeClock.h"
#include "Files.h"
#include "JobRecorder.h"
#include "PostgresServer.h"
#include "PqDatabase.h"
#include "RecordJournal.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;
using namespace ostrel;

double Seconds(Steady::duration d)
{
    return std::chrono::duration<double>(d).count();
}

struct Folder {
    Folder()
    {
        std::string pattern = (fs::temp_directory_path() / "ostrel-bench-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
        ReplaceFile(path / "settings.xml",
                    "<log><printers><name>Laser</name><ID>1</ID><cost>5</cost>"
                    "<monitored>1</monitored></printers><users></users></log>");
    }
    ~Folder() { fs::remove_all(path); }
    fs::path path;
};

std::string Event(int n)
{
    return "\n<event><day>05</day><month>03</month><year>26</year><hour>10</hour><min>07</min><doc>Quarterly "
           "report " +
           std::to_string(n) + ".pdf</doc><pages>3</pages><cost>15</cost><printer>Laser</printer><user>user" +
           std::to_string(n % 50) + "</user></event>";
}

EventRecord Record(int n)
{
    return {Event(n),     "user" + std::to_string(n % 50), "Laser",
            "cups/Laser", static_cast<std::uint32_t>(n),   1772700000 + n};
}

// Seconds per record for `count` records through a writer, with or without
// an unreachable central database behind it.
double RecordingCost(bool central, int count)
{
    Folder folder;
    EventLogWriter writer(folder.path.string(), SystemClock());
    std::unique_ptr<SqlDatabase> database = MakePqDatabase();
    std::unique_ptr<CentralForwarder> forwarder;
    if (central) {
        writer.OweToCentre(true);
        forwarder = std::make_unique<CentralForwarder>(
            CentralForwarderSetup{*database,
                                  writer,
                                  SystemClock(),
                                  {"host=" + (folder.path / "nowhere").string() + " dbname=ostrel",
                                   "6f1c2a8e-0b7d-4d3e-9a51-2c4f8e7b9d10", "bench"},
                                  [](const CentralStatus&) {},
                                  [](std::string_view) {}});
        forwarder->Start();
    }
    const auto start = Steady::now();
    for (int n = 1; n <= count; ++n)
        writer.Write(Record(n));
    const double perRecord = Seconds(Steady::now() - start) / count;
    if (central && writer.OwingToCentre().count != static_cast<std::size_t>(count))
        std::fprintf(stderr, "records were not all owed\n");
    return perRecord;
}

// A server's application folder whose journal owes `count` records, all in
// their files already.
std::unique_ptr<Folder> Owing(int first, int count)
{
    auto folder = std::make_unique<Folder>();
    RecordJournal journal(folder->path / EventLogWriter::kJournalName);
    journal.Load();
    journal.OweToCentre(true);
    for (int n = first; n < first + count; ++n)
        journal.Done(journal.Take(Record(n), 1772700100 + n));
    return folder;
}

std::string ServerId(int server)
{
    char id[40];
    std::snprintf(id, sizeof id, "00000000-0000-4000-8000-%012d", server);
    return id;
}

// Runs one forwarder per folder until nothing is owed; the time it took.
// `clock` stands still unless the caller moves it.
double ForwardAll(test::PostgresServer& postgres, const std::vector<std::unique_ptr<Folder>>& folders,
                  const std::string& database, Clock& clock)
{
    std::vector<std::unique_ptr<EventLogWriter>> writers;
    for (const auto& folder : folders) {
        writers.push_back(std::make_unique<EventLogWriter>(folder->path.string(), clock));
        writers.back()->Replay();
    }
    auto db = MakePqDatabase();
    std::vector<std::unique_ptr<CentralForwarder>> forwarders;
    const auto start = Steady::now();
    for (size_t i = 0; i < writers.size(); ++i) {
        forwarders.push_back(std::make_unique<CentralForwarder>(
            CentralForwarderSetup{*db,
                                  *writers[i],
                                  clock,
                                  {postgres.Conninfo("ostrel_writer", database), ServerId(static_cast<int>(i)),
                                   "server " + std::to_string(i)},
                                  [](const CentralStatus&) {},
                                  [](std::string_view) {}}));
        forwarders.back()->Start();
    }
    const auto owing = [&] {
        std::size_t total = 0;
        for (const auto& writer : writers)
            total += writer->OwingToCentre().count;
        return total;
    };
    while (owing() > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const double took = Seconds(Steady::now() - start);
    forwarders.clear();
    return took;
}

}  // namespace

int main()
{
    // Recording: alternated, the median of nine runs each.
    {
        const int kRecords = 2000;
        std::vector<double> none, unreachable;
        for (int run = 0; run < 9; ++run) {
            none.push_back(RecordingCost(false, kRecords));
            unreachable.push_back(RecordingCost(true, kRecords));
        }
        std::sort(none.begin(), none.end());
        std::sort(unreachable.begin(), unreachable.end());
        std::printf("recording, central unreachable  %8.1f us/record  %5.2f x no central (%.1f us)\n",
                    unreachable[4] * 1e6, unreachable[4] / none[4], none[4] * 1e6);
    }

    test::PostgresServer postgres;
    postgres.CreateDatabase("copied");
    postgres.ApplySchema("copied");
    postgres.ApplySchema("ostrel");

    const int kServers = 16, kRecords = 100000, kEach = kRecords / kServers;
    std::vector<std::unique_ptr<Folder>> folders;
    for (int i = 0; i < kServers; ++i)
        folders.push_back(Owing(i * kEach + 1, kEach));

    // The baseline: the same rows, one client, one COPY straight into the table.
    {
        auto admin = MakePqDatabase()->Open(postgres.Conninfo("postgres", "copied")).connection;
        std::vector<SqlRow> rows;
        for (int i = 0; i < kServers; ++i) {
            admin->Run("INSERT INTO ostrel_servers (server_id, name) VALUES ($1, $2)",
                       {ServerId(i), "server " + std::to_string(i)});
            for (int n = i * kEach + 1; n <= (i + 1) * kEach; ++n) {
                const OwedRecord owed{static_cast<std::uint64_t>(n), Record(n), 1772700100 + n};
                SqlRow row = CentralRow(owed);
                row[8] = "2026-03-05 10:07:00+00";
                row[9] = "2026-03-05 10:08:00+00";
                row.insert(row.begin(), ServerId(i));
                rows.push_back(std::move(row));
            }
        }
        const auto start = Steady::now();
        const SqlAnswer copied = admin->Copy(
            "COPY ostrel_job_records (server_id, record_sequence, job_id, queue, printer, username, document, pages, "
            "cost, submitted_at, recorded_at, local_year, local_month, local_day, local_hour, local_minute) FROM STDIN",
            rows);
        const double copyTook = Seconds(Steady::now() - start);
        if (!copied.Ok())
            std::fprintf(stderr, "COPY failed: %s\n", copied.error->c_str());
        const double forwardTook = ForwardAll(postgres, folders, "ostrel", SystemClock());
        const std::string stored = postgres.Query("SELECT count(*) FROM ostrel_jobs");
        std::printf(
            "forwarding %d records from %d servers  %8.0f records/s  %5.2f x one client's COPY (%.0f/s); "
            "stored %s",
            kRecords, kServers, kRecords / forwardTook, copyTook / forwardTook, kRecords / copyTook, stored.c_str());
    }

    // Catch-up: 10,000 owed while the database is down for ten minutes of the
    // forwarder's clock, then back.
    {
        postgres.CreateDatabase("outage");
        postgres.ApplySchema("outage");
        std::vector<std::unique_ptr<Folder>> one;
        one.push_back(Owing(1, 10000));
        postgres.Kill();
        FakeClock clock(std::chrono::system_clock::now());
        EventLogWriter writer(one[0]->path.string(), clock);
        writer.Replay();
        auto db = MakePqDatabase();
        CentralForwarder forwarder(
            CentralForwarderSetup{*db,
                                  writer,
                                  clock,
                                  {postgres.Conninfo("ostrel_writer", "outage"), ServerId(99), "outage"},
                                  [](const CentralStatus&) {},
                                  [](std::string_view) {}});
        forwarder.Start();
        // One second at a time, each once the forwarder sleeps anew.
        std::size_t sleeps = 0;
        const auto step = [&](std::chrono::milliseconds patience) {
            if (!clock.WaitForSleep(sleeps + 1, patience))
                return;
            sleeps = clock.SleepsBegun();
            clock.Advance(std::chrono::seconds(1));
        };
        for (int second = 0; second < 600; ++second)
            step(std::chrono::seconds(10));
        postgres.Start();
        const auto back = clock.Now();
        const auto start = Steady::now();
        while (writer.OwingToCentre().count > 0)
            step(std::chrono::milliseconds(5));
        const double sending = Seconds(Steady::now() - start);
        const auto waited = std::chrono::duration_cast<std::chrono::seconds>(clock.Now() - back).count();
        forwarder.Stop();
        std::printf(
            "catch-up of 10000 owed after a 10-minute outage: next attempt %lld s after the return "
            "(backoff at most 60 s), then %.2f s to commit all\n",
            static_cast<long long>(waited), sending);
    }
    return 0;
}
