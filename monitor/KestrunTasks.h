#pragma once

#include "MonitorTasks.h"

namespace ostrel {

// The tasks of the product. The printer monitor, the old-log cleaner and
// the report mailer are not part of the library yet: until they are, the
// worker runs its cycle without them.
class KestrunTasks final : public MonitorTasks {
public:
    std::unique_ptr<PrinterTask> MakePrinterMonitor() override { return nullptr; }
    std::unique_ptr<WorkerThread> MakeOldLogCleaner() override { return nullptr; }
    std::unique_ptr<WorkerThread> MakeReportMailer() override { return nullptr; }
};

}  // namespace ostrel
