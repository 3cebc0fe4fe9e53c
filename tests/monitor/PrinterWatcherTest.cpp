#include "PrinterWatcher.h"

#include "EPrinter.h"
#include "FakeSpooler.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace ostrel {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kDeleted = printer_change::kDeleteJob;

SpoolerJob Job(std::uint32_t id, const std::string& user, std::uint32_t pages)
{
    SpoolerJob job;
    job.id = id;
    job.document = "report " + std::to_string(id) + ".pdf";
    job.user = user;
    job.totalPages = pages;
    return job;
}

void ExpectRaises(const std::function<void()>& action, std::uint32_t code, std::string_view message)
{
    try {
        action();
        ADD_FAILURE() << "no EPrinter, expected \"" << message << "\"";
    } catch (const EPrinter& error) {
        EXPECT_EQ(error.Code(), code);
        EXPECT_EQ(error.Message(), message);
    }
}

class PrinterWatcherTest : public ::testing::Test {
protected:
    PrinterWatcherTest()
    {
        spooler.AddPrinter("Laser");
        watcher.emplace(spooler, "Laser");
        watcher->CreateChangeNotification(printer_change::kAllJobChanges);
    }

    // Waits as the monitor does, but gives up when nothing more is pending.
    int Wait() { return watcher->WaitForChanges(kDeleted, 0ms, {}); }

    FakeSpooler spooler;
    std::optional<PrinterWatcher> watcher;
};

TEST_F(PrinterWatcherTest, AJobAddedToAnIdlePrinterIsLearnedWithoutReturning)
{
    spooler.Submit("Laser", Job(1, "john", 3));
    EXPECT_EQ(Wait(), 0);
    ASSERT_EQ(watcher->JobCount(), 1u);
    EXPECT_EQ(watcher->JobAt(0).user, "john");
    EXPECT_EQ(watcher->JobAt(0).document, "report 1.pdf");
    EXPECT_FALSE(watcher->JobAt(0).Finished());
    EXPECT_EQ(spooler.Snapshots("Laser"), 0);
}

TEST_F(PrinterWatcherTest, AFinishedJobEndsOneWaitMarkedWithItsFinalFields)
{
    spooler.Submit("Laser", Job(1, "john", 0));
    spooler.Update("Laser", Job(1, "john", 6));  // the filters' final count
    spooler.Finish("Laser", 1);
    EXPECT_EQ(Wait(), 1);
    ASSERT_EQ(watcher->JobCount(), 1u);
    EXPECT_TRUE(watcher->JobAt(0).Finished());
    EXPECT_EQ(watcher->JobAt(0).totalPages, 6u);
    EXPECT_EQ(Wait(), 0);  // nothing more
}

TEST_F(PrinterWatcherTest, JobsDeletedBeforeOneFetchAreMarkedByOneSnapshot)
{
    for (std::uint32_t id : {1u, 2u, 3u})
        spooler.Submit("Laser", Job(id, "maria", id));
    EXPECT_EQ(Wait(), 0);

    spooler.DropFromQueue("Laser", 1);
    spooler.DropFromQueue("Laser", 3);
    spooler.Deliver("Laser", {kDeleted, {}});
    EXPECT_EQ(Wait(), 1);
    EXPECT_EQ(spooler.Snapshots("Laser"), 1);
    ASSERT_EQ(watcher->JobCount(), 3u);
    EXPECT_TRUE(watcher->JobAt(0).Finished());
    EXPECT_FALSE(watcher->JobAt(1).Finished());
    EXPECT_TRUE(watcher->JobAt(2).Finished());
}

TEST_F(PrinterWatcherTest, AJobGoneBeforeItWasSeenIsNeverKnown)
{
    // The deletion block's own entries are not applied: the queue decides.
    spooler.Deliver("Laser", {kDeleted, {{kJobNotifyType, notify_field::kUserName, 42, std::string("ghost")}}});
    EXPECT_EQ(Wait(), 1);
    EXPECT_EQ(watcher->JobCount(), 0u);
}

TEST_F(PrinterWatcherTest, ADeletionWhoseSnapshotFailedIsSettledByTheNextWait)
{
    spooler.Submit("Laser", Job(1, "john", 2));
    spooler.Finish("Laser", 1);
    spooler.FailNextSnapshot(1722);
    ExpectRaises([&] { Wait(); }, 1722, "Couldn't refresh the printer queue");
    ASSERT_EQ(watcher->JobCount(), 1u);
    EXPECT_FALSE(watcher->JobAt(0).Finished());

    EXPECT_EQ(Wait(), 1);  // no new change: the owed snapshot alone
    EXPECT_TRUE(watcher->JobAt(0).Finished());
    EXPECT_EQ(Wait(), 0);
}

TEST_F(PrinterWatcherTest, AWaitWithoutMaskReturnsAtOnce)
{
    spooler.Submit("Laser", Job(1, "john", 1));
    EXPECT_EQ(watcher->WaitForChanges(0, std::nullopt, {}), 1);
    EXPECT_EQ(watcher->JobCount(), 0u);  // nothing fetched
}

TEST_F(PrinterWatcherTest, FailuresRaiseTheirMessages)
{
    spooler.FailNextFetch(5);
    ExpectRaises([&] { Wait(); }, 5, "");

    spooler.Submit("Laser", Job(1, "john", 1));
    spooler.DropFromQueue("Laser", 1);
    spooler.Deliver("Laser", {kDeleted, {}});
    spooler.FailNextSnapshot(1722);
    ExpectRaises([&] { Wait(); }, 1722, "Couldn't refresh the printer queue");
    EXPECT_EQ(watcher->JobCount(), 1u);  // learned before the failing block, kept

    ExpectRaises([&] { PrinterWatcher(spooler, "Nowhere"); }, spooler_error::kInvalidPrinterName,
                 "Couldn't open printer");

    PrinterWatcher unregistered(spooler, "Laser");
    ExpectRaises([&] { unregistered.WaitForChanges(kDeleted, std::nullopt, {}); }, 0xFFFFFFFF,
                 "Must be created an change notification object.");
    spooler.FailNextWatch(1726);
    ExpectRaises([&] { unregistered.CreateChangeNotification(printer_change::kAllJobChanges); }, 1726,
                 "Couldn't create a change notification object.");
}

TEST_F(PrinterWatcherTest, StopEndsAWaitWithoutLimit)
{
    std::stop_source stop;
    int result = -1;
    std::thread waiter([&] { result = watcher->WaitForChanges(kDeleted, std::nullopt, stop.get_token()); });
    stop.request_stop();
    waiter.join();
    EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace ostrel
