// How long after CUPS completes a job the wait that reports it ends.
//
// A private scheduler runs a raw queue. For each of 50 jobs, one thread
// polls the queue listing every 2 ms through a second, unwatched spooler and
// notes when the job first shows as done; the main thread waits on the
// watched printer's change notification and notes when the wait that brings
// the deletion ends. Prints the median and the worst of the differences.
//   notify-latency-bench [JOBS [POLL_MS]]   defaults: 50 jobs, 100 ms
#include "CupsServer.h"
#include "CupsSpooler.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <limits>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

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

}  // namespace

int main(int argc, char** argv)
{
    const int jobs = argc > 1 ? std::atoi(argv[1]) : 50;
    const auto pollInterval = std::chrono::milliseconds(argc > 2 ? std::atoi(argv[2]) : 100);

    ostrel::test::CupsServer server;
    server.AddRawPrinters({"bench"});
    server.UseInThisProcess();
    const auto document = server.PdfWithPages(1);

    auto spooler = ostrel::MakeCupsSpooler({.pollInterval = pollInterval});
    auto printer = spooler->OpenPrinter("bench");
    auto observer = ostrel::MakeCupsSpooler();
    auto observed = observer->OpenPrinter("bench");
    if (!printer || !observed) {
        std::fprintf(stderr, "cannot open the benchmark printer\n");
        return 1;
    }
    auto watching = (*printer)->WatchChanges(ostrel::printer_change::kAllJobChanges);
    if (!watching) {
        std::fprintf(stderr, "cannot watch the benchmark printer\n");
        return 1;
    }
    ostrel::ChangeNotification& changes = **watching;

    // A random pause before each job, so that completions fall anywhere
    // between two polls instead of a fixed time after the last one.
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> pauseMs(0, static_cast<int>(pollInterval.count()));
    std::vector<double> latencies;
    std::vector<double> errors;
    for (int i = 0; i < jobs; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs(random)));
        const std::uint32_t id =
            server.Submit({.printer = "bench", .user = "bench", .title = "latency", .file = document});
        // The job completed between the last listing that held it and the
        // first that did not: take the middle, and keep the gap as the error.
        std::atomic<Clock::rep> completedAt{0};
        std::atomic<Clock::rep> uncertainty{0};
        std::jthread poller([&](std::stop_token stop) {
            Clock::time_point lastSeen = Clock::now();
            while (!stop.stop_requested() && Listed(**observed, id)) {
                lastSeen = Clock::now();
                std::this_thread::sleep_for(2ms);
            }
            const Clock::time_point gone = Clock::now();
            completedAt = (lastSeen + (gone - lastSeen) / 2).time_since_epoch().count();
            uncertainty = ((gone - lastSeen) / 2).count();
        });
        Clock::time_point reportedAt;
        for (;;) {
            if (changes.Wait(60s, {}) != ostrel::ChangeNotification::WaitResult::Signalled) {
                std::fprintf(stderr, "job %u was never reported\n", id);
                return 1;
            }
            auto block = changes.Next();
            if (block && (block->changes & ostrel::printer_change::kDeleteJob)) {
                reportedAt = Clock::now();
                break;
            }
        }
        poller.join();
        const Clock::time_point completed{Clock::duration(completedAt.load())};
        latencies.push_back(Milliseconds(reportedAt - completed));
        errors.push_back(Milliseconds(Clock::duration(uncertainty.load())));
    }

    std::sort(latencies.begin(), latencies.end());
    const double median = latencies.size() % 2
                              ? latencies[latencies.size() / 2]
                              : (latencies[latencies.size() / 2 - 1] + latencies[latencies.size() / 2]) / 2;
    const double mean =
        std::accumulate(latencies.begin(), latencies.end(), 0.0) / static_cast<double>(latencies.size());
    std::printf("completion to reporting wait, %d jobs, poll every %lld ms:\n", jobs,
                static_cast<long long>(pollInterval.count()));
    std::printf("  median %7.1f ms\n  mean   %7.1f ms\n  best   %7.1f ms\n  worst  %7.1f ms\n", median, mean,
                latencies.front(), latencies.back());
    std::printf("(completion moments are known to +/- %.1f ms on average, %.1f ms at worst)\n",
                std::accumulate(errors.begin(), errors.end(), 0.0) / static_cast<double>(errors.size()),
                *std::max_element(errors.begin(), errors.end()));
    return 0;
}
