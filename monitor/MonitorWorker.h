#pragma once

#include "MonitorEnvironment.h"
#include "WorkerThread.h"

#include <chrono>
#include <cstddef>

namespace ostrel {

// The monitor's control loop. Every cycle it reads Reset, AppRuns and
// DeleteOldLogs: reloads the monitored printers from settings.xml when
// Reset is 1, starts or stops one printer monitor per monitored printer
// after AppRuns, and starts or stops the old-log cleaner after
// DeleteOldLogs. The report mailer is started once. Every task it started
// is stopped when the worker stops.
class MonitorWorker final : public WorkerThread {
public:
    static constexpr std::size_t kMonitorSlots = 1000;  // slot 0 is never used
    static constexpr std::chrono::milliseconds kCycle{20000};

    explicit MonitorWorker(MonitorEnvironment environment);
    ~MonitorWorker() override;

protected:
    std::uint32_t Run(std::stop_token stop) override;

private:
    MonitorEnvironment env_;
};

}  // namespace ostrel
