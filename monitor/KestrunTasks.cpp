#include "KestrunTasks.h"

#include "CupsSpooler.h"
#include "OldLogCleaner.h"
#include "PrinterMonitor.h"
#include "PqDatabase.h"
#include "ReportMailer.h"

namespace ostrel {

KestrunTasks::KestrunTasks(TaskContext context)
    : context_(std::move(context)),
      spooler_(MakeCupsSpooler()),
      writer_(context_.appFolder, context_.clock),
      recorder_(writer_, context_.registry)
{
    CentralSettings central = ReadCentralSettings(context_.registry);
    if (central.Configured()) {
        writer_.OweToCentre(true);
        central.serverId = EnsureServerId(context_.registry);
        if (central.serverId.empty())
            LogWarning("Central database: no ServerId could be stored; records wait on disk until one can");
    }
    writer_.Replay();
    if (central.Configured() && !central.serverId.empty()) {
        database_ = MakePqDatabase();
        RegistryHive& registry = context_.registry;
        forwarder_ = std::make_unique<CentralForwarder>(
            CentralForwarderSetup{*database_, writer_, context_.clock, central,
                                  [&registry](const CentralStatus& status) { WriteCentralStatus(registry, status); }});
        forwarder_->Start();
    }
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
