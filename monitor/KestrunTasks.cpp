#include "KestrunTasks.h"

#include "OldLogCleaner.h"
#include "ReportMailer.h"

namespace ostrel {

KestrunTasks::KestrunTasks(TaskContext context) : context_(std::move(context)) {}

std::unique_ptr<PrinterTask> KestrunTasks::MakePrinterMonitor()
{
    return nullptr;
}

std::unique_ptr<WorkerThread> KestrunTasks::MakeOldLogCleaner()
{
    return std::make_unique<OldLogCleaner>(context_.clock, context_.appFolder);
}

std::unique_ptr<WorkerThread> KestrunTasks::MakeReportMailer()
{
    return std::make_unique<ReportMailer>(
        ReportMailerSetup{context_.registry, context_.clock, context_.appFolder, SystemProcessLauncher()});
}

}  // namespace ostrel
