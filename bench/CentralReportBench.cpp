// "This year" for all servers of a site: 1,000,000 jobs of 10 print servers
// in the central store, made in the database with generate_series, on a
// private PostgreSQL server. Measured side by side in one run, best of a
// few rounds (each way once a round), wall time:
//   - psql's \copy of the very rows the reports show, to a file: the base;
//   - ostrel-report --central --format csv, end to end, to a file;
//   - the console: from "Show" to the viewer's tables on screen (the jobs
//     fetched, totalled by the database, the viewer built), and its peak
//     memory;
//   - the same question through the period files of the 10 servers copied
//     to one machine (a y_ file of 100,000 jobs each), read one after the
//     other: as CSV, and into the viewer.
//   central-report-bench                         the table
//   central-report-bench --console CONNINFO APP  one console run: "ms MiB"
//   central-report-bench --files N APP...        the period files: "csv-ms viewer-ms MiB"

#include "BenchPeriodFile.h"
#include "CReportViewerDlg.h"
#include "CentralReport.h"
#include "Files.h"
#include "PostgresServer.h"
#include "PqDatabase.h"
#include "ReportCsv.h"
#include "ReportDocument.h"

#include <QApplication>
#include <QTableView>
#include <QTest>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

constexpr int kServers = 10;
constexpr int kJobs = 1000000;

double Since(Steady::time_point start)
{
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

double PeakMiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return -1;
}

// Runs a program to its end, its standard output to `output`; wall time
// in ms, or -1 when it failed.
double Run(std::vector<std::string> args, const fs::path& output, const std::vector<std::string>& environment = {})
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables = environment;
    for (char** at = environ; *at; ++at)
        variables.emplace_back(*at);
    std::vector<char*> envp;
    for (std::string& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    const auto start = Steady::now();
    pid_t pid = 0;
    const bool spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (!spawned || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return Since(start);
}

fs::path TempFolder(const char* name)
{
    std::string pattern = (fs::temp_directory_path() / (std::string(name) + "-XXXXXX")).string();
    return ::mkdtemp(pattern.data());
}

fs::path AppWithStylesheets()
{
    const fs::path app = TempFolder("ostrel-central-bench");
    fs::create_directories(app / "Logs");
    for (const char* name : {"style.xsl", "printers.xsl", "users.xsl"})
        fs::copy_file(fs::path(OSTREL_DATA_DIR) / name, app / "Logs" / name);
    return app;
}

const ostrel::ReportRequest kThisYear{{ostrel::ReportKind::Aggregated, "", false}, "This year"};

int Console(int argc, char** argv, const std::string& conninfo, const fs::path& app)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // As the reports page does on "Show" with "All servers" chosen.
    const auto pressed = Steady::now();
    const auto opened = ostrel::MakePqDatabase()->Open(conninfo);
    if (!opened.connection)
        return 1;
    ostrel::CentralReportSource source(*opened.connection, {});
    auto report = source.Fetch(kThisYear, ostrel::SystemClock());
    if (!report)
        return 1;
    ostrel::CReportViewerDlg viewer(std::move(*report), ostrel::LogsFolder(app.string()));
    viewer.show();
    if (!QTest::qWaitForWindowExposed(&viewer))
        return 1;
    QCoreApplication::processEvents();
    std::printf("%.1f %.1f %d\n", Since(pressed), PeakMiB(), viewer.Jobs().model()->rowCount());
    return 0;
}

int Files(int argc, char** argv, const std::vector<fs::path>& apps)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // CSV of each server's year file, one after the other, as ostrel-report
    // makes it.
    auto start = Steady::now();
    std::size_t rows = 0;
    for (const fs::path& app : apps) {
        ostrel::PeriodFileSource files(app.string());
        auto report = files.Fetch(kThisYear, ostrel::SystemClock());
        if (!report || !ostrel::ReplaceFile(app / "report.csv", ostrel::TableCsv(report->events, false)))
            return 1;
        rows += report->events.Rows();
    }
    const double csv = Since(start);
    // Each in the viewer, from "Show" to the tables on screen.
    start = Steady::now();
    for (const fs::path& app : apps) {
        ostrel::PeriodFileSource files(app.string());
        auto report = files.Fetch(kThisYear, ostrel::SystemClock());
        if (!report)
            return 1;
        ostrel::CReportViewerDlg viewer(std::move(*report), ostrel::LogsFolder(app.string()));
        viewer.show();
        if (!QTest::qWaitForWindowExposed(&viewer))
            return 1;
        QCoreApplication::processEvents();
    }
    std::printf("%.1f %.1f %.1f %zu\n", csv, Since(start), PeakMiB(), rows);
    return 0;
}

// The best of `runs` runs of a child that prints numbers; -1 on failure.
std::vector<double> Best(int runs, const std::vector<std::string>& args, const fs::path& capture, int count)
{
    std::vector<double> best(static_cast<std::size_t>(count), 1e300);
    for (int run = 0; run < runs; ++run) {
        if (Run(args, capture) < 0)
            return std::vector<double>(static_cast<std::size_t>(count), -1);
        std::ifstream in(capture);
        for (double& value : best) {
            double read = 0;
            in >> read;
            value = std::min(value, read);
        }
    }
    return best;
}

double BestTime(int runs, const std::vector<std::string>& args, const fs::path& output,
                const std::vector<std::string>& environment = {})
{
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        const double time = Run(args, output, environment);
        if (time < 0)
            return -1;
        best = std::min(best, time);
    }
    return best;
}

std::size_t Lines(const fs::path& file)
{
    std::ifstream in(file);
    std::size_t lines = 0;
    for (std::string line; std::getline(in, line);)
        ++lines;
    return lines;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--console") == 0)
        return Console(argc, argv, argv[2], argv[3]);
    if (argc >= 3 && std::strcmp(argv[1], "--files") == 0)
        return Files(argc, argv, std::vector<fs::path>(argv + 2, argv + argc));

    ostrel::test::PostgresServer server;
    server.ApplySchema();
    const auto made = Steady::now();
    const auto administrator = ostrel::MakePqDatabase()->Open(server.Conninfo());
    if (!administrator.connection)
        return 1;
    const ostrel::SqlAnswer generated = administrator.connection->RunScript(
        "INSERT INTO ostrel_servers (server_id, name) SELECT ('00000000-0000-4000-8000-' || lpad(s::text, 12, "
        "'0'))::uuid, 'server-' || s FROM generate_series(1, " +
        std::to_string(kServers) +
        ") s;"
        "INSERT INTO ostrel_job_records (server_id, record_sequence, job_id, printer, username, document, pages, "
        "cost, submitted_at, recorded_at, local_year, local_month, local_day, local_hour, local_minute) "
        "SELECT ('00000000-0000-4000-8000-' || lpad((1 + g % " +
        std::to_string(kServers) +
        ")::text, 12, "
        "'0'))::uuid, g, g, 'Printer ' || (g % 7), 'user' || (g % 200), 'Quarterly report ' || g || '.pdf', "
        "1 + g % 20, (1 + g % 20) * 5, t - interval '3 minutes', t, to_char(t - interval '3 minutes', 'YYYY'), "
        "to_char(t - interval '3 minutes', 'MM'), to_char(t - interval '3 minutes', 'DD'), "
        "to_char(t - interval '3 minutes', 'HH24'), to_char(t - interval '3 minutes', 'MI') "
        "FROM (SELECT g, date_trunc('year', now()) + (now() - interval '1 minute' - date_trunc('year', now())) * "
        "(g::float8 / " +
        std::to_string(kJobs) + ") AS t FROM generate_series(1, " + std::to_string(kJobs) + ") g) jobs; ANALYZE;");
    if (!generated.Ok()) {
        std::fprintf(stderr, "%s\n", generated.error->c_str());
        return 1;
    }
    std::printf("\"This year\", all servers: %d jobs of %d servers made in %.0f ms\n", kJobs, kServers, Since(made));

    const std::string conninfo = server.Conninfo("ostrel_reader");
    const fs::path work = TempFolder("ostrel-central-bench-work");
    const fs::path app = AppWithStylesheets();
    fs::create_directories(work / "registry");
    constexpr int kRuns = 5;

    // The rows the reports show, as the reports ask for them.
    const auto span = ostrel::ResolvePeriodSpan("This year", ostrel::ReportKind::Aggregated, ostrel::SystemClock());
    const auto utc = [](ostrel::Clock::TimePoint when) {
        return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count());
    };
    const std::string copy =
        "\\copy (SELECT floor(extract(epoch FROM submitted_at))::bigint, document, pages, cost, printer, username, "
        "server, local_year, local_month, local_day, local_hour, local_minute FROM ostrel_jobs WHERE recorded_at >= "
        "to_timestamp(" +
        utc(span->from) + ") AND recorded_at < to_timestamp(" + utc(span->to) +
        ") ORDER BY recorded_at, server, record_sequence) TO '" + (work / "copy.csv").string() + "' WITH (FORMAT csv)";
    // The same year in the period files of 10 servers copied to one machine.
    std::vector<std::string> files = {argv[0], "--files"};
    const std::string yearFile =
        ostrel::ResolvePeriod("This year", ostrel::ReportKind::Aggregated, ostrel::SystemClock())->FileName();
    for (int copyOf = 0; copyOf < kServers; ++copyOf) {
        const fs::path folder = AppWithStylesheets();
        ostrel::ReplaceFile(folder / "Logs" / yearFile, ostrel::bench::PeriodFile(kJobs / kServers));
        files.push_back(folder.string());
    }

    // Round by round, each way once a round, so that a machine busy with
    // other work weighs on all of them alike; the best of each.
    double psql = 1e300, command = 1e300;
    std::vector<double> console(3, 1e300), periodFiles(4, 1e300);
    const auto least = [](std::vector<double>& best, const std::vector<double>& now) {
        for (std::size_t at = 0; at < best.size(); ++at)
            best[at] = std::min(best[at], now[at]);
    };
    for (int round = 0; round < kRuns; ++round) {
        psql = std::min(
            psql,
            BestTime(1, {(ostrel::test::PostgresPrograms() / "psql").string(), "-X", "-q", "-d", conninfo, "-c", copy},
                     "/dev/null"));
        command = std::min(
            command,
            BestTime(1,
                     {OSTREL_REPORT, "--central", "--period", "This year", "--format", "csv", "--database", conninfo},
                     work / "report.csv", {"OSTREL_REGISTRY_ROOT=" + (work / "registry").string()}));
        least(console, Best(1, {argv[0], "--console", conninfo, app.string()}, work / "console.txt", 3));
        least(periodFiles, Best(1, files, work / "files.txt", 4));
    }

    std::printf("%-58s %10s %8s\n", "", "ms", "ratio");
    std::printf("%-58s %10.0f %8s   (%zu rows)\n", "psql \\copy (SELECT ...) TO file, the base", psql, "1.00x",
                Lines(work / "copy.csv"));
    std::printf("%-58s %10.0f %7.2fx   (%zu lines with the header; goal <= 1.2x)\n",
                "ostrel-report --central --format csv, end to end", command, command / psql,
                Lines(work / "report.csv"));
    std::printf("%-58s %10.0f %7.2fx   (%.0f rows, peak %.0f MiB; goal <= 1.5x, < 250 MiB)\n",
                "console: Show to the viewer's tables on screen", console[0], console[0] / psql, console[2],
                console[1]);
    std::printf("%-58s %10.0f %7.2fx   (%.0f rows)\n", "10 servers' period files: read, CSV", periodFiles[0],
                periodFiles[0] / psql, periodFiles[3]);
    std::printf("%-58s %10.0f %7.2fx   (peak %.0f MiB)\n", "10 servers' period files: each shown in the viewer",
                periodFiles[1], periodFiles[1] / psql, periodFiles[2]);
    for (std::size_t index = 2; index < files.size(); ++index)
        fs::remove_all(files[index]);
    fs::remove_all(app);
    fs::remove_all(work);
    return psql > 0 && command > 0 && console[0] > 0 && periodFiles[0] > 0 ? 0 : 1;
}
