#include "PrinterMonitor.h"

#include "EPrinter.h"
#include "PrinterWatcher.h"

#include <optional>
#include <vector>

namespace ostrel {

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
    std::optional<PrinterWatcher> watcher;
    while (!stop.stop_requested()) {
        std::chrono::milliseconds pause = kPause;
        try {
            if (!watcher) {
                watcher.emplace(spooler_, PrinterName());
                watcher->CreateChangeNotification(printer_change::kAllJobChanges);
            }
            if (watcher->WaitForChanges(printer_change::kDeleteJob, std::nullopt, stop) == 1)
                RecordFinished(*watcher);
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

void PrinterMonitor::RecordFinished(PrinterWatcher& watcher)
{
    std::vector<std::uint32_t> finished;
    for (std::uint32_t i = 0; i < watcher.JobCount(); ++i) {
        const PrintJob& job = watcher.JobAt(i);
        if (job.Finished()) {
            recorder_.Record(job, CostPerPage(), watcher.PrinterName());
            finished.push_back(job.id);
        }
    }
    // Removed only once recorded, so that each job is recorded once.
    for (std::uint32_t id : finished)
        watcher.RemoveJob(id);
}

}  // namespace ostrel
