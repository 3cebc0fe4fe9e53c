// How long after CUPS completes a job its record is durable: its journal
// line on the disk, after which a power cut no longer loses it.
//
// A private scheduler runs a raw queue that a real printer monitor watches.
// For each job, one thread polls the queue listing every 2 ms through a
// second, unwatched spooler and notes when the job first shows as done; the
// file layer tells when the journal line that takes the job on was synced.
// Prints the median and the worst of the differences.
//   durable-latency-bench [JOBS]   default: 200 jobs
#include "CupsServer.h"
#include "CupsSpooler.h"
#include "EventLogWriter.h"
#include "FileEvents.h"
#include "Files.h"
#include "JobRecorder.h"
#include "PrinterMonitor.h"
#include "RegistryHive.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

bool Listed(ostrel::SpoolerPrinter& printer, std::uint32_t id)
{
    auto jobs = printer.Jobs(std::numeric_limits<std::uint32_t>::max());
    return !jobs ||
           std::any_of(jobs->begin(), jobs->end(), [&](const ostrel::SpoolerJob& job) { return job.id == id; });
}

double Milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

ino_t InodeOf(int fd)
{
    struct stat status {};
    ::fstat(fd, &status);
    return status.st_ino;
}

// Notes the job ids of the journal's "R" lines as they are written, and
// when a sync of the journal covers them.
class DurablePoints final : public ostrel::FileEventSink {
public:
    void Happened(const ostrel::FileEvent& event) override
    {
        using Kind = ostrel::FileEvent::Kind;
        std::lock_guard lock(mutex_);
        if (event.kind == Kind::Opened && event.name == ostrel::EventLogWriter::kJournalName) {
            journal_ = InodeOf(event.fd);
        } else if (event.kind == Kind::Wrote && InodeOf(event.fd) == journal_) {
            // R <sequence> <taken at> <queue> <job id> ...
            for (std::string_view rest = event.bytes; !rest.empty();) {
                const std::string_view line = rest.substr(0, rest.find('\n'));
                rest.remove_prefix(std::min(rest.size(), line.size() + 1));
                std::vector<std::string_view> fields;
                for (std::string_view f = line;;) {
                    fields.push_back(f.substr(0, f.find('\t')));
                    if (f.find('\t') == std::string_view::npos)
                        break;
                    f.remove_prefix(f.find('\t') + 1);
                }
                std::uint32_t id = 0;
                if (fields.size() > 4 && fields[0] == "R")
                    std::from_chars(fields[4].data(), fields[4].data() + fields[4].size(), id);
                if (id) {
                    unsynced_.push_back(id);
                    takenAt_.emplace(id, Clock::now());
                }
            }
        } else if (event.kind == Kind::Synced && InodeOf(event.fd) == journal_) {
            for (const std::uint32_t id : unsynced_)
                durableAt_.emplace(id, Clock::now());
            unsynced_.clear();
            changed_.notify_all();
        }
    }

    // When the job's journal line was written, and when it was synced.
    bool WaitFor(std::uint32_t id, Clock::time_point& taken, Clock::time_point& durable)
    {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, 60s, [&] { return durableAt_.contains(id); }))
            return false;
        taken = takenAt_[id];
        durable = durableAt_[id];
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    ino_t journal_ = 0;
    std::vector<std::uint32_t> unsynced_;
    std::map<std::uint32_t, Clock::time_point> takenAt_;
    std::map<std::uint32_t, Clock::time_point> durableAt_;
};

}  // namespace

int main(int argc, char** argv)
{
    const int jobs = argc > 1 ? std::atoi(argv[1]) : 200;

    ostrel::test::CupsServer server;
    server.AddRawPrinters({"bench"});
    server.UseInThisProcess();
    const auto document = server.PdfWithPages(1);

    std::string pattern = (fs::temp_directory_path() / "ostrel-bench-XXXXXX").string();
    const fs::path folder = ::mkdtemp(pattern.data());
    ostrel::ReplaceFile(folder / "settings.xml",
                        "<log><printers><name>bench</name><ID>1</ID><cost>5</cost>"
                        "<monitored>1</monitored></printers><users></users></log>");
    DurablePoints points;
    ostrel::SetFileEventSink(&points);

    auto spooler = ostrel::MakeCupsSpooler();
    auto observer = ostrel::MakeCupsSpooler();
    auto observed = observer->OpenPrinter("bench");
    if (!observed) {
        std::fprintf(stderr, "cannot open the benchmark printer\n");
        return 1;
    }
    std::vector<double> latencies;
    std::vector<double> syncs;  // the part of it spent on the journal's sync
    {
        ostrel::EventLogWriter writer(folder.string(), ostrel::SystemClock());
        writer.Replay();
        ostrel::DirectoryRegistry registry(folder / "registry");
        ostrel::JobRecorder recorder(writer, registry);
        ostrel::PrinterMonitor monitor(*spooler, recorder, ostrel::SystemClock());
        monitor.Assign("bench", "5");
        monitor.Start();
        std::this_thread::sleep_for(1s);  // watching

        // A random pause before each job, so that completions fall anywhere
        // in the monitor's cycle.
        std::mt19937 random(12345);
        std::uniform_int_distribution<int> pauseMs(0, 1000);
        for (int i = 0; i < jobs; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs(random)));
            const std::uint32_t id =
                server.Submit({.printer = "bench", .user = "bench", .title = "latency", .file = document});
            Clock::time_point lastSeen = Clock::now();
            while (Listed(**observed, id)) {
                lastSeen = Clock::now();
                std::this_thread::sleep_for(2ms);
            }
            const Clock::time_point completed = lastSeen + (Clock::now() - lastSeen) / 2;
            Clock::time_point taken;
            Clock::time_point durable;
            if (!points.WaitFor(id, taken, durable)) {
                std::fprintf(stderr, "job %u never became durable\n", id);
                return 1;
            }
            latencies.push_back(Milliseconds(durable - completed));
            syncs.push_back(Milliseconds(durable - taken));
        }
        monitor.Stop();
    }
    ostrel::SetFileEventSink(nullptr);
    fs::remove_all(folder);

    const auto print = [](const char* what, std::vector<double> values) {
        std::sort(values.begin(), values.end());
        const std::size_t n = values.size();
        const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
        std::printf("%s:\n  median %7.1f ms\n  best   %7.1f ms\n  worst  %7.1f ms\n", what, median, values.front(),
                    values.back());
    };
    std::printf("%d jobs\n", jobs);
    print("completion in CUPS to durable record", latencies);
    print("of which journal line written to synced", syncs);
    return 0;
}
