#pragma once

#include "CentralForwarder.h"
#include "Clock.h"
#include "EventLogWriter.h"
#include "JobRecorder.h"
#include "MonitorTasks.h"
#include "RegistryHive.h"
#include "Spooler.h"
#include "SqlDatabase.h"

#include <memory>
#include <string>

namespace ostrel {

// What the product's tasks share: the registry, the clock and the
// application folder of the library.
struct TaskContext {
    RegistryHive& registry;
    Clock& clock;
    std::string appFolder;
};

// The tasks of the product: printer monitors on the CUPS scheduler that
// libcups chooses, all recording through one period log writer; the
// old-log cleaner; the report mailer. Records a crash left half written
// are finished before any monitor starts. With a central database
// configured (CentralDatabase), every record is also owed to it and a
// forwarder thread sends it there, from construction to destruction.
class KestrunTasks final : public MonitorTasks {
public:
    explicit KestrunTasks(TaskContext context);
    ~KestrunTasks() override;

    std::unique_ptr<PrinterTask> MakePrinterMonitor() override;
    std::unique_ptr<WorkerThread> MakeOldLogCleaner() override;
    std::unique_ptr<WorkerThread> MakeReportMailer() override;
    void MonitoringSwitchedOff() override;

private:
    TaskContext context_;
    std::unique_ptr<Spooler> spooler_;
    EventLogWriter writer_;
    JobRecorder recorder_;
    std::unique_ptr<SqlDatabase> database_;
    std::unique_ptr<CentralForwarder> forwarder_;  // stopped before the writer goes
};

}  // namespace ostrel
