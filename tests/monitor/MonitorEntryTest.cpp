#include "MonitorEntry.h"

#include "FakeClock.h"
#include "RegValue.h"
#include "TempFolder.h"
#include "TestTasks.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace ostrel::test {
namespace {

std::size_t ThreadCount()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

TEST(MonitorEntry, SetsAppRunsRunsTheWorkerAndLeavesNoThreadBehind)
{
    TempFolder folder;
    DirectoryRegistry hive(folder / "registry");
    RegValueDword("Software\\Ostrel\\AppRuns", 0, false, hive).Write();  // stored as 0
    FakeClock clock(LocalTimePoint(2026, 1, 1));
    TestTasks tasks;
    const std::size_t threadsBefore = ThreadCount();

    bool workerCycled = false;
    std::uint32_t appRunsWhileRunning = 0;
    RunMonitor(MonitorEnvironment{hive, clock, folder.Path().string(), tasks}, [&] {
        workerCycled = clock.WaitForSleep(1);
        appRunsWhileRunning = RegValueDword("Software\\Ostrel\\AppRuns", 0, false, hive).Get();
    });

    EXPECT_TRUE(workerCycled);
    EXPECT_EQ(appRunsWhileRunning, 1u);
    EXPECT_EQ(tasks.mailerRecord.runs, 1);
    EXPECT_FALSE(tasks.AnyTaskInRun());
    EXPECT_EQ(ThreadCount(), threadsBefore);
    // Leaving does not switch monitoring off.
    EXPECT_EQ(RegValueDword("Software\\Ostrel\\AppRuns", 0, false, hive).Get(), 1u);
}

}  // namespace
}  // namespace ostrel::test
