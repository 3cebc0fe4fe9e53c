#include "KestrunTasks.h"

namespace ostrel {

KestrunTasks::KestrunTasks(TaskContext context) : context_(std::move(context)) {}

std::unique_ptr<PrinterTask> KestrunTasks::MakePrinterMonitor()
{
    return nullptr;
}

std::unique_ptr<WorkerThread> KestrunTasks::MakeOldLogCleaner()
{
    return nullptr;
}

std::unique_ptr<WorkerThread> KestrunTasks::MakeReportMailer()
{
    return nullptr;
}

}  // namespace ostrel
