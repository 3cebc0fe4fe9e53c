#pragma once

#include "Clock.h"
#include "MonitorTasks.h"
#include "RegistryHive.h"

#include <string>

namespace ostrel {

// What the product's tasks share: the registry, the clock and the
// application folder of the library.
struct TaskContext {
    RegistryHive& registry;
    Clock& clock;
    std::string appFolder;
};

// The tasks of the product. A task that is not part of the library yet is
// not made: the worker then runs its cycle without it.
class KestrunTasks final : public MonitorTasks {
public:
    explicit KestrunTasks(TaskContext context);

    std::unique_ptr<PrinterTask> MakePrinterMonitor() override;
    std::unique_ptr<WorkerThread> MakeOldLogCleaner() override;
    std::unique_ptr<WorkerThread> MakeReportMailer() override;

private:
    TaskContext context_;
};

}  // namespace ostrel
