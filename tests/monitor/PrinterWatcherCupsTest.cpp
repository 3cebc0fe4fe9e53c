#include "CupsServer.h"
#include "CupsSpooler.h"
#include "EPrinter.h"
#include "PrinterWatcher.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <functional>
#include <iostream>
#include <thread>

namespace ostrel {
namespace {

using namespace std::chrono_literals;
using test::CupsServer;
using test::SharedScheduler;

constexpr std::uint32_t kDeleted = printer_change::kDeleteJob;

const PrintJob* Find(const PrinterWatcher& watcher, std::uint32_t jobId)
{
    for (std::uint32_t i = 0; i < watcher.JobCount(); ++i)
        if (watcher.JobAt(i).id == jobId)
            return &watcher.JobAt(i);
    return nullptr;
}

// Runs the monitor's wait (mask: a job left the queue) until `done` holds;
// counts the waits that returned 1.
struct WaitLoop {
    PrinterWatcher& watcher;
    int returned = 0;

    bool Until(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + test::kCupsPatience;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            returned += watcher.WaitForChanges(kDeleted, 250ms, {});
        }
        return true;
    }

    bool UntilFinished(std::uint32_t jobId)
    {
        return Until([&] {
            const PrintJob* job = Find(watcher, jobId);
            return job && job->Finished();
        });
    }
};

class PrinterWatcherCupsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SharedScheduler(); }

    std::unique_ptr<PrinterWatcher> Watch(const std::string& printer)
    {
        auto watcher = std::make_unique<PrinterWatcher>(*spooler, printer);
        watcher->CreateChangeNotification(printer_change::kAllJobChanges);
        return watcher;
    }

    std::unique_ptr<Spooler> spooler = MakeCupsSpooler();
};

TEST_F(PrinterWatcherCupsTest, AnUnknownPrinterCannotBeOpened)
{
    try {
        PrinterWatcher watcher(*spooler, "nosuch");
        ADD_FAILURE() << "opened a printer CUPS does not have";
    } catch (const EPrinter& error) {
        EXPECT_EQ(error.Message(), eprinter::kCouldntOpenPrinter);
        EXPECT_EQ(error.Code(), spooler_error::kInvalidPrinterName);
    }
}

TEST_F(PrinterWatcherCupsTest, AQueuedJobIsLearnedWithoutEndingAWait)
{
    auto watcher = Watch("stopped");
    WaitLoop loop{*watcher};
    const std::uint32_t queued = SharedScheduler().Submit({.printer = "stopped",
                                                           .user = "alice",
                                                           .title = "Plans; $(id) `id` \"x\"",
                                                           .file = SharedScheduler().PdfWithPages(1)});
    ASSERT_TRUE(loop.Until([&] {
        const PrintJob* job = Find(*watcher, queued);
        return job && job->user == "alice" && job->submitted.year != 0;
    }));
    EXPECT_EQ(loop.returned, 0);
    EXPECT_EQ(Find(*watcher, queued)->document, "Plans; $(id) `id` \"x\"");
    EXPECT_FALSE(Find(*watcher, queued)->Finished());

    // Another job that leaves ends a wait; the queued one stays.
    const std::uint32_t marker = SharedScheduler().Submit(
        {.printer = "stopped", .user = "bert", .title = "marker", .file = SharedScheduler().PdfWithPages(1)});
    ASSERT_TRUE(loop.Until([&] { return Find(*watcher, marker) != nullptr; }));
    SharedScheduler().Cancel(marker);
    ASSERT_TRUE(loop.UntilFinished(marker));
    EXPECT_EQ(loop.returned, 1);
    EXPECT_FALSE(Find(*watcher, queued)->Finished());
    SharedScheduler().Cancel(queued);
    EXPECT_TRUE(loop.UntilFinished(queued));
}

enum class Ending { Print, Cancel, HoldThenCancel };

TEST_F(PrinterWatcherCupsTest, EachEndedJobEndsOneWaitFinishedWithCupsCount)
{
    struct Case {
        const char* what;
        const char* printer;
        int pages;
        int copies;
        Ending ending;
        std::uint32_t expectedPages;
    };
    const Case cases[] = {
        {"three pages", "laser", 3, 1, Ending::Print, 3},
        {"two copies of three pages", "ink", 3, 2, Ending::Print, 6},
        {"raw", "raw", 2, 1, Ending::Print, 0},
        {"cancelled", "stopped", 3, 1, Ending::Cancel, 0},
        {"held then cancelled", "laser", 3, 1, Ending::HoldThenCancel, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto watcher = Watch(c.printer);
        WaitLoop loop{*watcher};
        const std::string user = std::string("user-") + c.printer;
        const std::uint32_t id = SharedScheduler().Submit({.printer = c.printer,
                                                           .user = user,
                                                           .title = c.what,
                                                           .file = SharedScheduler().PdfWithPages(c.pages),
                                                           .copies = c.copies,
                                                           .hold = c.ending == Ending::HoldThenCancel});
        if (c.ending != Ending::Print) {
            ASSERT_TRUE(loop.Until([&] { return Find(*watcher, id) != nullptr; }));
            SharedScheduler().Cancel(id);
        }
        ASSERT_TRUE(loop.UntilFinished(id));
        EXPECT_EQ(loop.returned, 1);
        const PrintJob& job = *Find(*watcher, id);
        EXPECT_EQ(job.status, PrintJob::kFinished);
        EXPECT_EQ(job.user, user);
        EXPECT_EQ(job.document, c.what);
        EXPECT_EQ(job.totalPages, c.expectedPages);
        EXPECT_NE(job.submitted.year, 0);
    }
}

TEST_F(PrinterWatcherCupsTest, StopWakesABlockedWaitWithin100Milliseconds)
{
    auto watcher = Watch("stopped");
    const test::StoppedWait stopped = test::StopABlockedWait(
        [&](std::stop_token stop) { return watcher->WaitForChanges(kDeleted, std::nullopt, stop); });
    ASSERT_TRUE(stopped.slept);
    EXPECT_EQ(stopped.result, 0);
    EXPECT_LT(stopped.wakeDelay, 100ms);
}

TEST_F(PrinterWatcherCupsTest, ARestartedSchedulerStillReportsTheNextJob)
{
    auto watcher = Watch("raw");
    WaitLoop loop{*watcher};
    const auto file = SharedScheduler().PdfWithPages(1);
    const std::uint32_t before =
        SharedScheduler().Submit({.printer = "raw", .user = "ida", .title = "before", .file = file});
    ASSERT_TRUE(loop.UntilFinished(before));
    watcher->RemoveJob(before);

    SharedScheduler().Restart();
    const std::uint32_t after =
        SharedScheduler().Submit({.printer = "raw", .user = "jon", .title = "after", .file = file});
    ASSERT_TRUE(loop.UntilFinished(after));
    EXPECT_EQ(Find(*watcher, after)->user, "jon");
    EXPECT_EQ(Find(*watcher, before), nullptr);
}

TEST_F(PrinterWatcherCupsTest, TwoHundredWatchedPrintersEachSeeTheirJob)
{
    const std::vector<std::string>& names = test::BulkPrinters();
    std::vector<std::unique_ptr<PrinterWatcher>> watchers;
    for (const std::string& name : names)
        watchers.push_back(Watch(name));
    const auto file = SharedScheduler().PdfWithPages(1);
    std::vector<CupsServer::Job> jobs;
    for (const std::string& name : names)
        jobs.push_back({.printer = name, .user = "u" + name, .title = "t" + name, .file = file});
    const std::vector<std::uint32_t> ids = SharedScheduler().SubmitAll(jobs);

    const int connections = SharedScheduler().ConnectionsFromThisProcess();
    for (size_t i = 0; i < names.size(); ++i) {
        WaitLoop loop{*watchers[i]};
        ASSERT_TRUE(loop.UntilFinished(ids[i])) << names[i];
        EXPECT_EQ(Find(*watchers[i], ids[i])->user, "u" + names[i]);
    }
    std::cout << "connections to the scheduler while watching 200 printers: " << connections << "\n";
    EXPECT_LE(connections, 2);
}

}  // namespace
}  // namespace ostrel
