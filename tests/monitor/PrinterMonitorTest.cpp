#include "PrinterMonitor.h"

#include "EventLogWriter.h"
#include "FakeClock.h"
#include "FakeSpooler.h"
#include "Files.h"
#include "RegistryHive.h"
#include "TempFolder.h"
#include "ZoneGuard.h"

#include <gtest/gtest.h>

namespace ostrel::test {
namespace {

using namespace std::chrono_literals;

SpoolerJob Job(std::uint32_t id, std::uint32_t pages)
{
    SpoolerJob job;
    job.id = id;
    job.document = "job" + std::to_string(id);
    job.user = "maria";
    job.totalPages = pages;
    job.submitted = {2026, 3, 4, 5, 9, 5, 0, 0};
    return job;
}

class PrinterMonitorTest : public ::testing::Test {
protected:
    PrinterMonitorTest()
    {
        ReplaceFile(folder_ / "settings.xml",
                    "<log><printers><name>Laser</name><ID>1</ID><cost>5</cost>"
                    "<monitored>1</monitored></printers><users></users></log>");
        monitor_.Assign("Laser", "5");
    }
    ~PrinterMonitorTest() override { monitor_.Stop(); }

    std::string YearLog() { return ReadFileBytes(folder_ / "Logs" / "y_2026.xml").value_or(""); }
    std::string Recorded(std::uint32_t id, std::uint32_t pages)
    {
        return "<doc>job" + std::to_string(id) + "</doc><pages>" + std::to_string(pages) + "</pages><cost>" +
               std::to_string(5 * pages) + "</cost><printer>Laser</printer><user>maria</user>";
    }

    ZoneGuard zone_{"UTC0"};
    TempFolder folder_;
    FakeClock clock_{LocalTimePoint(2026, 3, 5, 10, 0)};
    FakeSpooler spooler_;
    EventLogWriter writer_{folder_.Path().string(), clock_};
    TempFolder registryFolder_;
    DirectoryRegistry registry_{registryFolder_.Path()};
    JobRecorder recorder_{writer_, registry_};
    PrinterMonitor monitor_{spooler_, recorder_, clock_};
};

TEST_F(PrinterMonitorTest, RecordsEachJobThatLeavesTheQueueOnce)
{
    spooler_.AddPrinter("Laser");
    monitor_.Start();
    ASSERT_TRUE(spooler_.WaitForWatchers("Laser", 1));
    spooler_.Submit("Laser", Job(1, 3));
    spooler_.Submit("Laser", Job(2, 1));
    spooler_.Finish("Laser", 1);
    ASSERT_TRUE(clock_.WaitForSleep(1));  // recorded, now pausing
    EXPECT_NE(YearLog().find(Recorded(1, 3)), std::string::npos) << YearLog();
    EXPECT_EQ(YearLog().find("job2"), std::string::npos);

    clock_.Advance(PrinterMonitor::kPause);
    spooler_.Finish("Laser", 2);
    ASSERT_TRUE(clock_.WaitForSleep(2));
    const std::string log = YearLog();
    EXPECT_EQ(log.find(Recorded(1, 3)), log.rfind(Recorded(1, 3)));  // job 1 once
    EXPECT_NE(log.find(Recorded(2, 1)), std::string::npos);
}

TEST_F(PrinterMonitorTest, AJobThatEndsWhileTheMonitorPausesIsRecordedWhenItStops)
{
    spooler_.AddPrinter("Laser");
    monitor_.Start();
    ASSERT_TRUE(spooler_.WaitForWatchers("Laser", 1));
    spooler_.Submit("Laser", Job(1, 3));
    spooler_.Submit("Laser", Job(2, 1));
    spooler_.Finish("Laser", 1);
    ASSERT_TRUE(clock_.WaitForSleep(1));  // job 1 recorded, pausing

    spooler_.Finish("Laser", 2);
    monitor_.Stop();  // a settings reload, or the host ending
    const std::string log = YearLog();
    EXPECT_NE(log.find(Recorded(2, 1)), std::string::npos) << log;
    EXPECT_EQ(log.find(Recorded(1, 3)), log.rfind(Recorded(1, 3)));
}

TEST_F(PrinterMonitorTest, APrinterThatAppearsLaterIsWatchedWithoutARestart)
{
    monitor_.Start();
    ASSERT_TRUE(clock_.WaitForSleep(1));  // could not open it: waits to try again

    spooler_.AddPrinter("Laser");
    clock_.Advance(PrinterMonitor::kRetry);
    ASSERT_TRUE(spooler_.WaitForWatchers("Laser", 1));
    spooler_.Submit("Laser", Job(7, 2));
    spooler_.Finish("Laser", 7);
    ASSERT_TRUE(clock_.WaitForSleep(2));
    EXPECT_NE(YearLog().find(Recorded(7, 2)), std::string::npos);
}

TEST_F(PrinterMonitorTest, StopEndsAWaitWithoutLimitAndNothingIsRecordedAfter)
{
    spooler_.AddPrinter("Laser");
    monitor_.Start();
    ASSERT_TRUE(spooler_.WaitForWatchers("Laser", 1));
    spooler_.Submit("Laser", Job(1, 3));
    monitor_.Stop();  // blocked in the wait for a deletion
    spooler_.Finish("Laser", 1);
    EXPECT_EQ(YearLog(), "");
}

std::int64_t Seconds(Clock::TimePoint at)
{
    return std::chrono::duration_cast<std::chrono::seconds>(at.time_since_epoch()).count();
}

// At a reload the stopping monitor records a job, and the starting one's
// watcher is handed that job's end once more (the scheduler's events of it
// reached the newcomer after its first listing): the journal knows it.
TEST_F(PrinterMonitorTest, TheStoppingAndTheStartingMonitorOfAReloadNeverRecordTheSameJob)
{
    const auto times = [this](std::uint32_t id, std::uint32_t pages) {
        const std::string log = YearLog();
        size_t count = 0;
        for (size_t at = log.find(Recorded(id, pages)); at != std::string::npos;
             at = log.find(Recorded(id, pages), at + 1))
            ++count;
        return count;
    };
    spooler_.AddPrinter("Laser");
    spooler_.SetTime(Seconds(clock_.Now()));
    monitor_.Start();
    ASSERT_TRUE(spooler_.WaitForWatchers("Laser", 1));
    spooler_.Submit("Laser", Job(5, 2));
    spooler_.Finish("Laser", 5);
    ASSERT_TRUE(clock_.WaitForSleep(1));  // recorded, pausing
    monitor_.Stop();

    monitor_.Start();
    ASSERT_TRUE(spooler_.WaitForWatchers("Laser", 2));
    spooler_.Submit("Laser", Job(6, 1));
    spooler_.Deliver("Laser", {printer_change::kAddJob, JobEntries(Job(5, 2))});
    spooler_.Finish("Laser", 6);  // the deletion finds 5 and 6 gone from the queue
    ASSERT_TRUE(clock_.WaitForSleep(2));
    EXPECT_EQ(times(5, 2), 1u) << YearLog();
    EXPECT_EQ(times(6, 1), 1u) << YearLog();

    // Printed once more a minute later: a new print of the same job.
    clock_.Advance(std::chrono::minutes(1));
    spooler_.Deliver("Laser", {printer_change::kAddJob, JobEntries(Job(5, 2))});
    spooler_.Deliver("Laser", {printer_change::kDeleteJob, {}});
    ASSERT_TRUE(clock_.WaitForSleep(3));
    EXPECT_EQ(times(5, 2), 2u) << YearLog();
}

TEST_F(PrinterMonitorTest, JobsThatEndWhileNobodyWatchesAreFoundInTheHistoryOnce)
{
    spooler_.AddPrinter("Laser");
    spooler_.SetTime(Seconds(clock_.Now()));
    monitor_.Start();
    ASSERT_TRUE(spooler_.WaitForWatchers("Laser", 1));
    spooler_.Submit("Laser", Job(1, 3));
    spooler_.Finish("Laser", 1);
    ASSERT_TRUE(clock_.WaitForSleep(1));
    monitor_.Stop();

    // The host is down: one job ends unseen, one never starts.
    spooler_.Submit("Laser", Job(2, 1));
    spooler_.Submit("Laser", Job(3, 4));
    spooler_.DropFromQueue("Laser", 2);
    {
        EventLogWriter writer(folder_.Path().string(), clock_);
        writer.Replay();
        JobRecorder recorder(writer, registry_);
        PrinterMonitor restarted(spooler_, recorder, clock_);
        restarted.Assign("Laser", "5");
        restarted.Start();
        ASSERT_TRUE(clock_.WaitForSleep(2));
        restarted.Stop();

        // Switched off, a job ends, switched on again later.
        writer.ForgetWatching();
        spooler_.DropFromQueue("Laser", 3);
        clock_.Advance(std::chrono::minutes(5));
        restarted.Start();
        ASSERT_TRUE(spooler_.WaitForWatchers("Laser", 3));
        spooler_.Submit("Laser", Job(4, 2));  // recorded after the history was read
        spooler_.Finish("Laser", 4);
        ASSERT_TRUE(clock_.WaitForSleep(3));
    }
    const std::string log = YearLog();
    for (const auto& [id, pages, times] : {std::tuple{1u, 3u, 1u}, {2u, 1u, 1u}, {3u, 4u, 0u}, {4u, 2u, 1u}}) {
        size_t count = 0;
        for (size_t at = log.find(Recorded(id, pages)); at != std::string::npos;
             at = log.find(Recorded(id, pages), at + 1))
            ++count;
        EXPECT_EQ(count, times) << "job " << id << "\n" << log;
    }
}

}  // namespace
}  // namespace ostrel::test
