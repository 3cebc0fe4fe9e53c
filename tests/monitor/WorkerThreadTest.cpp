#include "TestTasks.h"

#include <gtest/gtest.h>

namespace ostrel::test {
namespace {

// Notes every call of its hooks in a log that outlives it.
class LoggingTask final : public WorkerThread {
public:
    explicit LoggingTask(std::vector<std::string>& log) : log_(log) {}
    ~LoggingTask() override { Stop(); }

protected:
    void OnStart() override { log_.push_back("start"); }
    std::uint32_t Run(std::stop_token stop) override
    {
        log_.push_back("run");
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        wake.wait(lock, stop, [] { return false; });
        return 42;
    }
    void OnStop() override { log_.push_back("stop"); }

private:
    std::vector<std::string>& log_;  // read by the test only after a Stop
};

TEST(WorkerThread, RunsHooksInOrderAndStopReturnsRunsResult)
{
    std::vector<std::string> log;
    LoggingTask task(log);
    EXPECT_FALSE(task.Running());
    EXPECT_EQ(task.Stop(), WorkerThread::kNoExitCode);  // nothing to stop

    task.Start();
    EXPECT_TRUE(task.Running());
    EXPECT_EQ(task.Stop(), 42u);
    EXPECT_FALSE(task.Running());
    EXPECT_EQ(log, (std::vector<std::string>{"start", "run", "stop"}));

    // A stopped task starts again on a new thread.
    task.Start();
    EXPECT_EQ(task.Stop(), 42u);
    EXPECT_EQ(log.size(), 6u);
}

TEST(WorkerThread, DestroyingARunningTaskEndsItsThread)
{
    std::vector<std::string> log;
    auto task = std::make_unique<LoggingTask>(log);
    task->Start();
    task.reset();
    EXPECT_EQ(log, (std::vector<std::string>{"start", "run", "stop"}));
}

}  // namespace
}  // namespace ostrel::test
