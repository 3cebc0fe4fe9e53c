#pragma once

#include <atomic>
#include <cstdint>
#include <stop_token>
#include <thread>

namespace ostrel {

// Base of every background task of the monitor: one thread that runs
// OnStart, Run and OnStop. Stopping is cooperative: Stop requests the stop,
// which wakes every wait and sleep of a well-behaved Run, and joins, so that
// once Stop returns the task touches nothing any more.
//
// Start and Stop are called by the task's owner, from one thread. A class
// whose Run uses its own members must call Stop in its destructor, since
// the members are gone by the time this base's destructor runs.
class WorkerThread {
public:
    static constexpr std::uint32_t kNoExitCode = 0xFFFFFFFF;

    virtual ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Sets the running flag and starts the thread. A thread that cannot be
    // created is not reported: the task does not run, and the flag stays set
    // until the next Stop.
    void Start();

    // Clears the running flag, asks the thread to stop and waits for it.
    // Returns the value Run returned, or kNoExitCode without a thread.
    std::uint32_t Stop();

    bool Running() const { return running_.load(); }

protected:
    WorkerThread() = default;

    // The task's body. It must return soon after `stop` is requested.
    virtual std::uint32_t Run(std::stop_token stop) = 0;
    virtual void OnStart() {}
    virtual void OnStop() {}

private:
    std::jthread thread_;
    std::uint32_t exitCode_ = kNoExitCode;
    std::atomic<bool> running_ = false;
};

}  // namespace ostrel
