// The library's one export. The host that loads the library calls it and
// ends it with SIGTERM or SIGINT, which stand for the quit message.

#include "ApplicationFolder.h"
#include "KestrunTasks.h"
#include "MonitorEntry.h"

#include <pthread.h>
#include <signal.h>

namespace {

// Read once while the library is loaded, before ostrel can be called.
const std::string g_appFolder = ostrel::ReadApplicationFolder();

}  // namespace

// Declared outside the global namespace, where our namespace `ostrel`
// lives; C linkage gives it the plain symbol name all the same.
namespace kestrun {

extern "C" __attribute__((visibility("default"))) void ostrel()
{
    // Blocked before the worker starts, so that every thread of the library
    // inherits the block and the signals reach only the sigwait below.
    sigset_t quit;
    sigset_t previous;
    sigemptyset(&quit);
    sigaddset(&quit, SIGTERM);
    sigaddset(&quit, SIGINT);
    pthread_sigmask(SIG_BLOCK, &quit, &previous);

    ostrel::KestrunTasks tasks({ostrel::LocalMachineHive(), ostrel::SystemClock(), g_appFolder});
    ostrel::MonitorEnvironment environment{ostrel::LocalMachineHive(), ostrel::SystemClock(), g_appFolder, tasks};
    ostrel::RunMonitor(environment, [&quit] {
        int received = 0;
        while (sigwait(&quit, &received) != 0) {
        }
    });

    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace kestrun
