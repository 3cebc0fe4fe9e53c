#include "MonitorWorker.h"

#include "FakeClock.h"
#include "Files.h"
#include "RegValue.h"
#include "TempFolder.h"
#include "TestTasks.h"

#include <gtest/gtest.h>

#include <optional>

namespace ostrel::test {
namespace {

using Printers = std::vector<std::string>;

std::string Entry(const std::string& name, const std::string& cost, const std::string& monitored)
{
    return "<name>" + name + "</name><ID>1</ID><cost>" + cost + "</cost><monitored>" + monitored + "</monitored>";
}

class MonitorWorkerTest : public ::testing::Test {
protected:
    MonitorWorkerTest() : hive_(folder_ / "registry"), clock_(LocalTimePoint(2026, 3, 2, 9, 0, 0)) {}
    ~MonitorWorkerTest() override { worker_.reset(); }

    void WriteSettings(const std::string& printers)
    {
        ASSERT_TRUE(ReplaceFile(folder_ / "settings.xml", "<log><printers>" + printers + "</printers></log>"));
    }
    void SetDword(const char* name, std::uint32_t value)
    {
        RegValueDword dword(std::string("Software\\Ostrel\\") + name, 0, false, hive_);
        dword.Set(value);
        dword.Write();
    }
    std::optional<std::uint32_t> Stored(const char* name)
    {
        RegValueDword dword(std::string("Software\\Ostrel\\") + name, 0, false, hive_);
        return dword.Valid() ? std::optional(dword.Get()) : std::nullopt;
    }

    // Starts the worker and lets its first cycle run.
    void StartWorker()
    {
        worker_ = std::make_unique<MonitorWorker>(MonitorEnvironment{hive_, clock_, folder_.Path().string(), tasks_});
        worker_->Start();
        ASSERT_TRUE(clock_.WaitForSleep(1));
    }
    // Lets 20 seconds pass and the next cycle run.
    void NextCycle()
    {
        const std::size_t sleeps = clock_.SleepsBegun();
        clock_.Advance(MonitorWorker::kCycle);
        ASSERT_TRUE(clock_.WaitForSleep(sleeps + 1));
    }

    TempFolder folder_;
    DirectoryRegistry hive_;
    FakeClock clock_;
    TestTasks tasks_;
    std::unique_ptr<MonitorWorker> worker_;
};

TEST_F(MonitorWorkerTest, MonitorsFollowAppRunsWithoutReloading)
{
    WriteSettings(Entry("A", "5", "1") + Entry("B", "2", "0") + Entry("C", "", "1"));
    SetDword("Reset", 7);
    StartWorker();
    EXPECT_EQ(Stored("Reset"), 0u);                   // 1 at the start, cleared by the first reload
    EXPECT_EQ(tasks_.RunningPrinters(), Printers{});  // AppRuns is missing

    SetDword("AppRuns", 1);
    NextCycle();
    EXPECT_EQ(tasks_.RunningPrinters(), (Printers{"A/5", "C/"}));

    SetDword("AppRuns", 0);
    NextCycle();
    EXPECT_EQ(tasks_.RunningPrinters(), Printers{});

    // A changed document without Reset is not read: the same monitors return.
    WriteSettings(Entry("D", "9", "1"));
    SetDword("AppRuns", 1);
    NextCycle();
    EXPECT_EQ(tasks_.RunningPrinters(), (Printers{"A/5", "C/"}));
    EXPECT_TRUE(tasks_.mailer->Running());

    worker_->Stop();
    EXPECT_EQ(tasks_.printerRecords[0].runs, 2);
    EXPECT_EQ(tasks_.mailerRecord.runs, 1);  // started once, never again
}

TEST_F(MonitorWorkerTest, ResetReloadsAndReplacesTheMonitoredSet)
{
    SetDword("AppRuns", 1);
    WriteSettings(Entry("A", "1", "1") + Entry("B", "2", "1"));
    StartWorker();
    EXPECT_EQ(tasks_.RunningPrinters(), (Printers{"A/1", "B/2"}));

    WriteSettings(Entry("A", "1", "0") + Entry("B", "2", "1 ") + Entry("C", "3", "1"));
    SetDword("Reset", 1);
    NextCycle();
    EXPECT_EQ(tasks_.RunningPrinters(), (Printers{"C/3"}));
    EXPECT_EQ(Stored("Reset"), 0u);
}

TEST_F(MonitorWorkerTest, NoMonitoredPrinterLeavesEveryMonitorStopped)
{
    SetDword("AppRuns", 1);
    StartWorker();  // no settings document at all
    EXPECT_EQ(tasks_.RunningPrinters(), Printers{});

    WriteSettings(Entry("A", "1", "01") + Entry("B", "1", "") + Entry("C", "1", "true"));
    SetDword("Reset", 1);
    NextCycle();
    EXPECT_EQ(tasks_.RunningPrinters(), Printers{});
}

TEST_F(MonitorWorkerTest, ResetRaisedDuringAReloadIsNotLost)
{
    SetDword("AppRuns", 1);
    WriteSettings(Entry("A", "1", "1"));
    // The console rewrites the document and flags it while the worker is
    // still handing out the printers of its first reload.
    tasks_.onAssign = [this] {
        WriteSettings(Entry("B", "4", "1"));
        SetDword("Reset", 1);
    };
    StartWorker();
    EXPECT_EQ(Stored("Reset"), 1u);

    NextCycle();
    EXPECT_EQ(tasks_.RunningPrinters(), (Printers{"B/4"}));
    EXPECT_EQ(Stored("Reset"), 0u);
}

TEST_F(MonitorWorkerTest, CleanerFollowsDeleteOldLogs)
{
    StartWorker();
    EXPECT_FALSE(tasks_.cleaner->Running());

    SetDword("DeleteOldLogs", 1);
    NextCycle();
    EXPECT_TRUE(tasks_.cleaner->Running());

    SetDword("DeleteOldLogs", 2);
    NextCycle();
    EXPECT_FALSE(tasks_.cleaner->Running());

    SetDword("DeleteOldLogs", 1);
    NextCycle();
    EXPECT_TRUE(tasks_.cleaner->Running());

    worker_->Stop();
    EXPECT_EQ(tasks_.cleanerRecord.runs, 2);  // a new thread for each switch-on
}

TEST_F(MonitorWorkerTest, StopWakesTheWorkerAndEndsEveryTask)
{
    SetDword("AppRuns", 1);
    SetDword("DeleteOldLogs", 1);
    WriteSettings(Entry("A", "1", "1"));
    StartWorker();
    ASSERT_EQ(tasks_.RunningPrinters().size(), 1u);

    worker_->Stop();  // mid-sleep: the fake clock never reaches the 20 s
    EXPECT_EQ(tasks_.printerRecords[0].runs, 1);
    EXPECT_EQ(tasks_.cleanerRecord.runs, 1);
    EXPECT_FALSE(tasks_.AnyTaskInRun());
    EXPECT_EQ(clock_.SleepsBegun(), 1u);
}

TEST_F(MonitorWorkerTest, PrintersBeyondTheTableAreNotWatched)
{
    std::string printers;
    for (int i = 1; i <= 1002; ++i)
        printers += Entry("P" + std::to_string(i), "1", "1");
    WriteSettings(printers);
    SetDword("AppRuns", 1);
    StartWorker();
    const Printers running = tasks_.RunningPrinters();
    ASSERT_EQ(running.size(), MonitorWorker::kMonitorSlots - 1);
    EXPECT_EQ(running.front(), "P1/1");
    EXPECT_EQ(running.back(), "P999/1");
}

}  // namespace
}  // namespace ostrel::test
