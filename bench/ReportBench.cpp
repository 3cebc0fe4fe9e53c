// What a report costs as the period grows: machine-wide and printer
// reports of 1,000, 10,000 and 100,000 events, assembled and rendered
// through the shipped stylesheets, beside xsltproc rendering the same
// document with the same stylesheet in the same run. The ratio of the
// 100,000 time to the 10,000 time shows whether the work stays linear
// (about 10). Times are CPU time, of this thread and of the xsltproc
// process, so that other work on the machine barely moves them.

#include "BenchPeriodFile.h"
#include "FakeClock.h"
#include "Files.h"
#include "ReportDocument.h"
#include "ReportRenderer.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

fs::path MakeFolder()
{
    std::string pattern = (fs::temp_directory_path() / "ostrel-bench-XXXXXX").string();
    return ::mkdtemp(pattern.data());
}

using ostrel::bench::PeriodFile;

double ThreadSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

template <class Work>
double Best(int runs, Work work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const double start = ThreadSeconds();
        work();
        best = std::min(best, ThreadSeconds() - start);
    }
    return best;
}

// CPU seconds xsltproc takes for the document, or a negative number when it
// cannot be run.
double Xsltproc(const fs::path& stylesheet, const fs::path& document)
{
    std::vector<std::string> args = {"xsltproc", "--nonet", "-o", "/dev/null", stylesheet.string(), document.string()};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "xsltproc", nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Row {
    int events;
    double assemble, render, xsltproc;
};

}  // namespace

int main()
{
    const fs::path app = MakeFolder();
    const fs::path logs = app / "Logs";
    fs::create_directories(logs / "Printers" / "Printer_1");
    for (const char* name : {"printers.xsl", "style.xsl"})
        fs::copy_file(fs::path(OSTREL_DATA_DIR) / name, logs / name);
    ostrel::ReplaceFile(app / "settings.xml",
                        "<log><printers><name>Printer 1</name><ID>1</ID><cost>5</cost><monitored>1</monitored>"
                        "</printers></log>");
    ostrel::FakeClock clock(ostrel::LocalTimePoint(2026, 3, 5, 12, 0));

    struct Kind {
        const char* label;
        ostrel::ReportSubject subject;
        fs::path periodFile;
        const char* stylesheet;
    };
    const Kind kinds[] = {
        {"machine-wide (style.xsl)", {ostrel::ReportKind::Aggregated, "", false}, logs / "d_20260305.xml", "style.xsl"},
        {"printer (printers.xsl)",
         {ostrel::ReportKind::Printer, "Printer 1", false},
         logs / "Printers/Printer_1/d_20260305.xml",
         "printers.xsl"},
    };
    bool ok = true;
    for (const Kind& kind : kinds) {
        std::printf("\n%s, CPU time\n%9s %12s %12s %14s %13s %16s\n", kind.label, "events", "assemble ms", "render ms",
                    "events/s", "xsltproc ms", "render/xsltproc");
        std::vector<Row> rows;
        for (int events : {1000, 10000, 100000}) {
            ostrel::ReplaceFile(kind.periodFile, PeriodFile(events));
            const int runs = events >= 100000 ? 1 : 3;
            const double assemble = Best(runs, [&] {
                const auto made = ostrel::MakeDisplayReport(app.string(), {kind.subject, "Today"}, clock);
                ok = ok && made;
            });
            const double render = Best(runs, [&] {
                const auto html = ostrel::RenderReportFile(logs / "DisplayReport.xml");
                ok = ok && html;
            });
            double reference = -1;
            for (int i = 0; i < runs; ++i) {
                const double time = Xsltproc(logs / kind.stylesheet, logs / "DisplayReport.xml");
                if (time < 0) {
                    reference = -1;
                    break;
                }
                reference = reference < 0 ? time : std::min(reference, time);
            }
            rows.push_back({events, assemble, render, reference});
            std::printf("%9d %12.1f %12.1f %14.0f", events, assemble * 1e3, render * 1e3, events / (assemble + render));
            if (reference > 0)
                std::printf(" %13.1f %16.2f\n", reference * 1e3, render / reference);
            else
                std::printf(" %13s %16s\n", "n/a", "n/a");
        }
        const Row& ten = rows[1];
        const Row& hundred = rows[2];
        std::printf("100,000 / 10,000 events: assemble and render %.1fx",
                    (hundred.assemble + hundred.render) / (ten.assemble + ten.render));
        if (ten.xsltproc > 0 && hundred.xsltproc > 0)
            std::printf(", xsltproc %.1fx", hundred.xsltproc / ten.xsltproc);
        std::printf("\n");
    }
    fs::remove_all(app);
    if (!ok)
        std::fprintf(stderr, "a report failed\n");
    return ok ? 0 : 1;
}
