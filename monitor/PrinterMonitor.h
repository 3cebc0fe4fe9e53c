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
// again every few seconds, so that monitoring resumes by itself.
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
    void RecordFinished(PrinterWatcher& watcher);

    Spooler& spooler_;
    JobRecorder& recorder_;
    Clock& clock_;
};

}  // namespace ostrel
