#include "MonitorWorker.h"

#include "MonitorTasks.h"
#include "RegValue.h"
#include "SettingsDocument.h"

#include <array>
#include <memory>

namespace ostrel {
namespace {

constexpr const char* kReset = "Software\\Ostrel\\Reset";
constexpr const char* kAppRuns = "Software\\Ostrel\\AppRuns";
constexpr const char* kDeleteOldLogs = "Software\\Ostrel\\DeleteOldLogs";

using MonitorTable = std::array<std::unique_ptr<PrinterTask>, MonitorWorker::kMonitorSlots>;

void StopIfRunning(WorkerThread* task)
{
    if (task && task->Running())
        task->Stop();
}

}  // namespace

MonitorWorker::MonitorWorker(MonitorEnvironment environment) : env_(std::move(environment)) {}

MonitorWorker::~MonitorWorker()
{
    Stop();
}

std::uint32_t MonitorWorker::Run(std::stop_token stop)
{
    MonitorTable monitors;
    for (std::size_t slot = 1; slot < monitors.size(); ++slot)
        monitors[slot] = env_.tasks.MakePrinterMonitor();
    std::unique_ptr<WorkerThread> cleaner = env_.tasks.MakeOldLogCleaner();
    std::unique_ptr<WorkerThread> mailer = env_.tasks.MakeReportMailer();
    if (mailer)
        mailer->Start();

    // Reset = 1 makes the first cycle load the settings.
    RegValueDword startReset(kReset, 0, false, env_.registry);
    startReset.Set(1);
    startReset.Write();

    std::size_t monitored = 0;  // slots 1 .. monitored hold the monitored printers
    bool wasMonitoring = false;
    do {
        RegValueDword reset(kReset, 0, false, env_.registry);
        RegValueDword appRuns(kAppRuns, 0, false, env_.registry);
        RegValueDword deleteOldLogs(kDeleteOldLogs, 0, false, env_.registry);

        if (reset.Get() == 1) {
            for (auto& monitor : monitors)
                StopIfRunning(monitor.get());
            // Cleared before the document is read, so that a change the
            // console flags while we read is picked up by the next cycle.
            reset.Set(0);
            reset.Write();
            const auto printers = SettingsDocument::InFolder(env_.appFolder).ReadMonitoredPrinters();
            // Printers beyond the table's room are not watched.
            monitored = std::min(printers.size(), monitors.size() - 1);
            for (std::size_t i = 0; i < monitored; ++i)
                if (monitors[i + 1])
                    monitors[i + 1]->Assign(printers[i].name, printers[i].cost);
        }

        const bool monitoring = appRuns.Get() == 1;
        if (wasMonitoring && !monitoring)
            env_.tasks.MonitoringSwitchedOff();
        wasMonitoring = monitoring;
        for (std::size_t slot = 1; slot <= monitored; ++slot) {
            PrinterTask* monitor = monitors[slot].get();
            if (!monitor)
                continue;
            if (monitoring && !monitor->Running())
                monitor->Start();
            else if (!monitoring)
                StopIfRunning(monitor);
        }

        if (deleteOldLogs.Read() == 1) {
            if (cleaner && !cleaner->Running())
                cleaner->Start();
        } else {
            StopIfRunning(cleaner.get());
        }
    } while (env_.clock.SleepFor(kCycle, stop));

    // Nothing the worker started outlives it.
    for (auto& monitor : monitors)
        StopIfRunning(monitor.get());
    StopIfRunning(cleaner.get());
    StopIfRunning(mailer.get());
    return 0;
}

}  // namespace ostrel
