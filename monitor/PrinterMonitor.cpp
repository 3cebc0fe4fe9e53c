#include "PrinterMonitor.h"

#include "EPrinter.h"
#include "EventLogWriter.h"
#include "PrinterWatcher.h"

#include <optional>
#include <vector>

namespace ostrel {
namespace {

// A job that printed without CUPS counting its pages (a raw queue, a filter
// that reports none) is charged for the pages of its document. Counted on
// this printer's own thread, so no other printer's jobs wait for it.
void CountFromDocumentIfNone(PrinterWatcher& watcher, SpoolerJob& job)
{
    if (job.totalPages != 0)
        return;
    if (const auto pages = watcher.PagesFromDocument(job.id))
        job.totalPages = *pages;
}

}  // namespace

PrinterMonitor::PrinterMonitor(Spooler& spooler, JobRecorder& recorder, Clock& clock)
    : spooler_(spooler), recorder_(recorder), clock_(clock)
{
}

PrinterMonitor::~PrinterMonitor()
{
    Stop();
}

std::uint32_t PrinterMonitor::Run(std::stop_token stop)
{
    EventLogWriter& writer = recorder_.Writer();
    const std::string queue = spooler_.Address() + "/" + PrinterName();
    // From the first try on: a printer that appears late has its first
    // jobs found in the history once it can be watched.
    writer.WatchedSince(queue);
    std::optional<PrinterWatcher> watcher;
    bool historyOwed = true;
    while (!stop.stop_requested()) {
        std::chrono::milliseconds pause = kPause;
        try {
            if (!watcher) {
                watcher.emplace(spooler_, PrinterName());
                watcher->CreateChangeNotification(printer_change::kAllJobChanges);
                historyOwed = true;
            }
            if (historyOwed) {
                // What the watcher was handed first, then what it was not.
                bool recorded = false;
                while (watcher->WaitForChanges(printer_change::kDeleteJob, std::chrono::milliseconds(0), {}) == 1)
                    recorded = RecordFinished(*watcher) || recorded;
                recorded = RecordFromHistory(*watcher, queue) || recorded;
                historyOwed = false;
                // Nothing recorded, nothing to pause after: on to the wait.
                if (!recorded)
                    continue;
            } else {
                writer.RetryKept();
                // While records are kept back, wake up to try them again.
                const auto limit = writer.HasKept() ? std::optional(kRetry) : std::nullopt;
                if (watcher->WaitForChanges(printer_change::kDeleteJob, limit, stop) == 1)
                    RecordFinished(*watcher);
            }
        } catch (const EPrinter&) {
            // A printer that could not be opened or registered is watched
            // afresh later; a failed wait is simply waited again.
            if (!watcher || !watcher->Watching()) {
                watcher.reset();
                pause = kRetry;
            }
        }
        if (!clock_.SleepFor(pause, stop))
            break;
    }
    // Jobs that left the queue while the monitor paused or was being
    // stopped are already known to it: recorded now, not lost with it.
    try {
        while (watcher && watcher->Watching() &&
               watcher->WaitForChanges(printer_change::kDeleteJob, std::chrono::milliseconds(0), {}) == 1)
            RecordFinished(*watcher);
    } catch (const EPrinter&) {
    }
    return 0;
}

bool PrinterMonitor::RecordFromHistory(PrinterWatcher& watcher, const std::string& queue)
{
    bool recorded = false;
    for (EndedJob& ended : watcher.EndedJobs()) {
        if (watcher.Knows(ended.job.id) || !recorder_.Writer().Owed(queue, ended.job.id, ended.endedAt))
            continue;
        CountFromDocumentIfNone(watcher, ended.job);
        recorded = recorder_.RecordIfOwed(ended, CostPerPage(), watcher.PrinterName(), queue) || recorded;
    }
    return recorded;
}

bool PrinterMonitor::RecordFinished(PrinterWatcher& watcher)
{
    const std::string queue = spooler_.Address() + "/" + PrinterName();
    std::vector<std::uint32_t> finished;
    for (std::uint32_t i = 0; i < watcher.JobCount(); ++i) {
        PrintJob job = watcher.JobAt(i);
        if (job.Finished()) {
            CountFromDocumentIfNone(watcher, job);
            recorder_.Record(job, CostPerPage(), watcher.PrinterName(), queue);
            finished.push_back(job.id);
        }
    }
    // Removed only once recorded, so that each job is recorded once.
    for (std::uint32_t id : finished)
        watcher.RemoveJob(id);
    return !finished.empty();
}

}  // namespace ostrel
