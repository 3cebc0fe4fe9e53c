#include "KestrunTasks.h"

#include "CupsSpooler.h"
#include "OldLogCleaner.h"
#include "PrinterMonitor.h"
#include "ReportMailer.h"

namespace ostrel {

KestrunTasks::KestrunTasks(TaskContext context)
    : context_(std::move(context)),
      spooler_(MakeCupsSpooler()),
      writer_(context_.appFolder, context_.clock),
      recorder_(writer_, context_.registry)
{
    writer_.Replay();
}

KestrunTasks::~KestrunTasks() = default;

std::unique_ptr<PrinterTask> KestrunTasks::MakePrinterMonitor()
{
    return std::make_unique<PrinterMonitor>(*spooler_, recorder_, context_.clock);
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

void KestrunTasks::MonitoringSwitchedOff()
{
    writer_.ForgetWatching();
}

}  // namespace ostrel
