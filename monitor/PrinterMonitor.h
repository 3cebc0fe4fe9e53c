#pragma once

#include "Clock.h"
#include "JobRecorder.h"
#include "MonitorTasks.h"
#include "Spooler.h"

#include <chrono>

namespace ostrel {
class PrinterWatcher;
}

namespace ostrel {

// Watches one printer and records every job that leaves its queue, once.
// A printer that cannot be watched (not there yet, scheduler down) is tried
// again every few seconds, so that monitoring resumes by itself. Each time
// watching (re)starts, the jobs that ended meanwhile are taken from the
// scheduler's history: none is lost to a crash, a restart, a reload or a
// printer that appeared late, as long as the scheduler keeps its history.
class PrinterMonitor final : public PrinterTask {
public:
    static constexpr std::chrono::milliseconds kPause{1000};  // after every wait
    static constexpr std::chrono::milliseconds kRetry{5000};  // before watching the printer again

    PrinterMonitor(Spooler& spooler, JobRecorder& recorder, Clock& clock);
    ~PrinterMonitor() override;

protected:
    std::uint32_t Run(std::stop_token stop) override;

private:
    // Records every finished job of the watcher once, then forgets it.
    // True when it recorded any.
    bool RecordFinished(PrinterWatcher& watcher);
    // Records the jobs of the history that ended while the queue was
    // watched and that neither the journal nor the watcher knows.
    bool RecordFromHistory(PrinterWatcher& watcher, const std::string& queue);

    Spooler& spooler_;
    JobRecorder& recorder_;
    Clock& clock_;
};

}  // namespace ostrel
