// The console's report viewer as the period grows: from the press of a
// "Show" button (the report document made and written, the viewer built)
// to a report on screen, then to the first find of the last job; and the
// peak memory of the console doing it. Beside it, in the same run,
// xsltproc rendering the same document through the same shipped
// stylesheet, as a browser would. Wall-clock times, best of a few runs;
// each size runs in a fresh process of its own, so that peaks do not mix.
//   report-viewer-bench            the table
//   report-viewer-bench --one N APP    one size on an application folder
//                                      made for it, printed as "show find peak"

#include "BenchPeriodFile.h"
#include "CReportViewerDlg.h"
#include "FakeClock.h"
#include "Files.h"
#include "ReportDocument.h"

#include <QApplication>
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
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The peak resident memory of this process, in MiB.
double PeakMiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return -1;
}

fs::path MakeFolder(int events)
{
    std::string pattern = (fs::temp_directory_path() / "ostrel-viewer-bench-XXXXXX").string();
    const fs::path app = ::mkdtemp(pattern.data());
    fs::create_directories(app / "Logs");
    fs::copy_file(fs::path(OSTREL_DATA_DIR) / "style.xsl", app / "Logs" / "style.xsl");
    ostrel::ReplaceFile(app / "Logs" / "d_20260305.xml", ostrel::bench::PeriodFile(events));
    return app;
}

int One(int argc, char** argv, int events, const fs::path& app)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const ostrel::FakeClock clock(ostrel::LocalTimePoint(2026, 3, 5, 12, 0));

    // As the reports page does it on a press of "Show".
    const auto pressed = Clock::now();
    auto document = ostrel::PrepareReport(app.string(), {{ostrel::ReportKind::Aggregated, "", false}, "Today"}, clock);
    if (!document || !ostrel::ReplaceFile(ostrel::DisplayReportPath(app.string()), *document))
        return 1;
    ostrel::CReportViewerDlg viewer(
        {std::move(*document), ostrel::LogsFolder(app.string()), ostrel::ReportKind::Aggregated});
    viewer.show();
    if (!QTest::qWaitForWindowExposed(&viewer))
        return 1;
    QCoreApplication::processEvents();
    const double shown = Since(pressed);

    const auto searching = Clock::now();
    const bool found = viewer.Find(QString("Quarterly report %1.pdf").arg(events - 1));
    const double find = Since(searching);
    std::printf("%.1f %.1f %.1f\n", shown, find, PeakMiB());
    return found ? 0 : 1;
}

// Runs a program to its end; its wall time in ms and what it printed.
double Run(std::vector<std::string> args, std::string* out = nullptr)
{
    const fs::path capture = fs::temp_directory_path() / ("ostrel-viewer-bench-" + std::to_string(::getpid()));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    const bool spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (!spawned || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    const double elapsed = Since(start);
    if (out)
        *out = ostrel::ReadFileBytes(capture).value_or("");
    fs::remove(capture);
    return elapsed;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--one") == 0)
        return One(argc, argv, std::atoi(argv[2]), argv[3]);

    std::printf("machine-wide report (style.xsl), wall time, best of runs\n%9s %10s %10s %10s %13s %12s\n", "events",
                "shown ms", "find ms", "peak MiB", "xsltproc ms", "shown/xslt");
    bool ok = true;
    for (int events : {1000, 10000, 100000}) {
        const int runs = events >= 100000 ? 2 : 3;
        double shown = 1e300, find = 1e300, peak = 0, xslt = 1e300;
        // The folder is made here, so that its making is not in the peak.
        const fs::path app = MakeFolder(events);
        for (int run = 0; run < runs; ++run) {
            std::string out;
            if (Run({argv[0], "--one", std::to_string(events), app.string()}, &out) < 0) {
                ok = false;
                continue;
            }
            double s = 0, f = 0, p = 0;
            if (std::sscanf(out.c_str(), "%lf %lf %lf", &s, &f, &p) == 3) {
                shown = std::min(shown, s);
                find = std::min(find, f);
                peak = std::max(peak, p);
            }
        }
        // The same document through the same stylesheet, with xsltproc.
        const ostrel::FakeClock clock(ostrel::LocalTimePoint(2026, 3, 5, 12, 0));
        ostrel::MakeDisplayReport(app.string(), {{ostrel::ReportKind::Aggregated, "", false}, "Today"}, clock);
        for (int run = 0; run < runs; ++run) {
            const double t = Run({"xsltproc", "--nonet", "-o", "/dev/null", (app / "Logs/style.xsl").string(),
                                  ostrel::DisplayReportPath(app.string()).string()});
            if (t >= 0)
                xslt = std::min(xslt, t);
        }
        fs::remove_all(app);
        std::printf("%9d %10.0f %10.0f %10.0f %13.0f %11.2fx\n", events, shown, find, peak, xslt, shown / xslt);
    }
    return ok ? 0 : 1;
}
