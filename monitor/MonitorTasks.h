#pragma once

#include "WorkerThread.h"

#include <memory>
#include <string>
#include <string_view>

namespace ostrel {

// A task that watches one printer. The worker names the printer and its
// cost per page only while the task is stopped.
class PrinterTask : public WorkerThread {
public:
    // Overridable so that a monitor can drop what it knew of its last printer.
    virtual void Assign(std::string_view printerName, std::string_view costPerPage)
    {
        printerName_ = printerName;
        costPerPage_ = costPerPage;
    }
    const std::string& PrinterName() const { return printerName_; }
    // The cost text exactly as the settings document stores it.
    const std::string& CostPerPage() const { return costPerPage_; }

private:
    std::string printerName_;
    std::string costPerPage_;
};

// Makes the tasks the worker runs. A factory returns nothing for a task it
// cannot provide; the worker then goes on without it.
class MonitorTasks {
public:
    virtual ~MonitorTasks() = default;

    virtual std::unique_ptr<PrinterTask> MakePrinterMonitor() = 0;
    virtual std::unique_ptr<WorkerThread> MakeOldLogCleaner() = 0;
    virtual std::unique_ptr<WorkerThread> MakeReportMailer() = 0;

    // Monitoring was switched off: jobs that end from now until it is
    // switched on again are not to be recorded, even from the history.
    virtual void MonitoringSwitchedOff() {}
};

}  // namespace ostrel
