#include "MonitorEntry.h"

#include "MonitorWorker.h"
#include "RegValue.h"

namespace ostrel {

void RunMonitor(const MonitorEnvironment& environment, const std::function<void()>& waitForQuit)
{
    RegValueDword("Software\\Ostrel\\AppRuns", 0, false, environment.registry).Set(1);
    MonitorWorker worker(environment);
    worker.Start();
    waitForQuit();
    worker.Stop();
}

}  // namespace ostrel
