#include "WorkerThread.h"

#include <system_error>

namespace ostrel {

WorkerThread::~WorkerThread()
{
    Stop();
}

void WorkerThread::Start()
{
    running_ = true;
    exitCode_ = kNoExitCode;
    try {
        thread_ = std::jthread([this](std::stop_token stop) {
            OnStart();
            exitCode_ = Run(stop);
            OnStop();
        });
    } catch (const std::system_error&) {
        // No thread: the task simply does not run.
    }
}

std::uint32_t WorkerThread::Stop()
{
    running_ = false;
    if (!thread_.joinable())
        return kNoExitCode;
    thread_.request_stop();
    thread_.join();
    thread_ = std::jthread();
    return exitCode_;
}

}  // namespace ostrel
