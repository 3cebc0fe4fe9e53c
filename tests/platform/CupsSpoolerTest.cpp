#include "CupsServer.h"
#include "CupsSpooler.h"
#include "NotificationPump.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <iostream>
#include <limits>
#include <map>
#include <optional>
#include <mutex>
#include <set>
#include <thread>

namespace ostrel {
namespace {

using namespace std::chrono_literals;
using test::CupsServer;
using test::SharedScheduler;

class CupsSpoolerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SharedScheduler(); }
};

std::time_t ToTimeT(const SpoolerTime& time)
{
    std::tm local{};
    local.tm_year = time.year - 1900;
    local.tm_mon = time.month - 1;
    local.tm_mday = time.day;
    local.tm_hour = time.hour;
    local.tm_min = time.minute;
    local.tm_sec = time.second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

// Folds change blocks into a job list the way the monitor's printer watcher
// does: entries set fields (an unknown job starts blank), and a deletion
// finishes every listed job the queue no longer holds, with the fields it
// has at that moment.
class Follower {
public:
    Follower(Spooler& spooler, const std::string& printer, std::uint32_t filter = printer_change::kAllJobChanges)
    {
        auto opened = spooler.OpenPrinter(printer);
        if (!opened)
            throw std::runtime_error("cannot open " + printer + ": " + std::to_string(opened.Error()));
        printer_ = std::move(*opened);
        auto watch = printer_->WatchChanges(filter);
        if (!watch)
            throw std::runtime_error("cannot watch " + printer + ": " + std::to_string(watch.Error()));
        changes_ = std::move(*watch);
    }

    // Folds blocks until `done` holds; false when it does not in time.
    bool Until(const std::function<bool()>& done, std::chrono::milliseconds patience = test::kCupsPatience)
    {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (!done()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left <= 0ms)
                return false;
            if (changes_->Wait(left, {}) != ChangeNotification::WaitResult::Signalled)
                return done();
            auto block = changes_->Next();
            if (!block) {
                ADD_FAILURE() << "Next failed: " << block.Error();
                return false;
            }
            Fold(*block);
        }
        return true;
    }

    bool UntilFinished(std::uint32_t jobId)
    {
        return Until([&] { return TimesFinished(jobId) > 0; });
    }

    int TimesFinished(std::uint32_t jobId) const
    {
        int times = 0;
        for (const SpoolerJob& job : finished)
            times += job.id == jobId;
        return times;
    }

    const SpoolerJob* FinishedJob(std::uint32_t jobId) const
    {
        for (const SpoolerJob& job : finished)
            if (job.id == jobId)
                return &job;
        return nullptr;
    }

    SpoolerPrinter& Printer() { return *printer_; }
    ChangeNotification& Changes() { return *changes_; }

    std::map<std::uint32_t, SpoolerJob> live;
    std::vector<SpoolerJob> finished;
    std::vector<ChangeBlock> blocks;

private:
    void Fold(const ChangeBlock& block)
    {
        blocks.push_back(block);
        if (block.changes & printer_change::kDeleteJob) {
            auto queue = printer_->Jobs(std::numeric_limits<std::uint32_t>::max());
            ASSERT_TRUE(queue) << "queue snapshot failed";
            std::set<std::uint32_t> queued;
            for (const SpoolerJob& job : *queue) {
                queued.insert(job.id);
                live.try_emplace(job.id, job);
            }
            for (auto it = live.begin(); it != live.end();) {
                if (queued.contains(it->first)) {
                    ++it;
                    continue;
                }
                finished.push_back(it->second);
                it = live.erase(it);
            }
            return;
        }
        for (const NotifyEntry& entry : block.entries) {
            if (entry.type != kJobNotifyType)
                continue;
            SpoolerJob& job = live[entry.jobId];
            job.id = entry.jobId;
            switch (entry.field) {
            case notify_field::kUserName: job.user = std::get<std::string>(entry.data); break;
            case notify_field::kDocument: job.document = std::get<std::string>(entry.data); break;
            case notify_field::kStatusText: job.statusText = std::get<std::string>(entry.data); break;
            case notify_field::kStatus: job.status = std::get<std::uint32_t>(entry.data); break;
            case notify_field::kTotalPages: job.totalPages = std::get<std::uint32_t>(entry.data); break;
            case notify_field::kPagesPrinted: job.pagesPrinted = std::get<std::uint32_t>(entry.data); break;
            case notify_field::kSubmitted: job.submitted = std::get<SpoolerTime>(entry.data); break;
            default: ADD_FAILURE() << "unknown field " << entry.field;
            }
        }
    }

    std::unique_ptr<SpoolerPrinter> printer_;
    std::unique_ptr<ChangeNotification> changes_;
};

// A scheduler that takes every connection and request and never answers:
// whoever asks it waits in the middle of the request.
class SilentScheduler {
public:
    SilentScheduler()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot listen on the loopback");
        port_ = ntohs(address.sin_port);
        thread_ = std::jthread([this](std::stop_token stop) { Serve(stop); });
    }
    ~SilentScheduler() { Close(); }

    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

    bool WaitForRequest()
    {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, 10s, [&] { return received_ > 0; });
    }

    // One connection, still open, its request unanswered.
    bool OneRequestStillWaiting()
    {
        std::lock_guard lock(mutex_);
        return clients_.size() == 1 && !peerClosed_ && received_ > 0;
    }

    // Ends every connection: whoever waits gets an error at once.
    void Close()
    {
        thread_ = {};
        for (int fd : clients_)
            ::close(fd);
        clients_.clear();
        if (listener_ >= 0)
            ::close(listener_);
        listener_ = -1;
    }

private:
    void Serve(std::stop_token stop)
    {
        while (!stop.stop_requested()) {
            std::vector<pollfd> watched{{listener_, POLLIN, 0}};
            {
                std::lock_guard lock(mutex_);
                for (int fd : clients_)
                    watched.push_back({fd, POLLIN, 0});
            }
            if (::poll(watched.data(), watched.size(), 20) <= 0)
                continue;
            std::lock_guard lock(mutex_);
            if (watched[0].revents & POLLIN)
                if (const int client = ::accept(listener_, nullptr, nullptr); client >= 0)
                    clients_.push_back(client);
            for (std::size_t i = 1; i < watched.size(); ++i) {
                if (!(watched[i].revents & (POLLIN | POLLHUP)))
                    continue;
                char buffer[4096];
                const ssize_t got = ::recv(watched[i].fd, buffer, sizeof(buffer), 0);
                if (got > 0)
                    received_ += got;
                else
                    peerClosed_ = true;
            }
            arrived_.notify_all();
        }
    }

    int listener_ = -1;
    int port_ = 0;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<int> clients_;
    std::size_t received_ = 0;
    bool peerClosed_ = false;
    std::jthread thread_;
};

TEST_F(CupsSpoolerTest, WatchAndQueueListingsGoOnWhileThePumpWaitsForAnAnswer)
{
    // The pump polls a scheduler that never answers; Watch's requests go to
    // the real one, as the queue listings do.
    SilentScheduler silent;
    cups::CupsConnection listings(cups::CupsEndpoint::FromAddress(SharedScheduler().Address()));
    auto pump = std::make_unique<cups::NotificationPump>(
        cups::CupsEndpoint::FromAddress(silent.Address()),
        cups::PumpOptions{.pollInterval = 10ms, .idleInterval = 10ms, .quickAfterNews = 0ms, .lease = 60s}, listings);
    auto first = std::make_shared<cups::ChangeQueue>(printer_change::kAllJobChanges);
    ASSERT_EQ(pump->Watch("stopped", first).Error(), 0u);
    ASSERT_TRUE(silent.WaitForRequest()) << "the pump never polled";
    const std::uint32_t queued = SharedScheduler().Submit(
        {.printer = "stopped", .user = "lou", .title = "waiting", .file = SharedScheduler().PdfWithPages(1)});

    auto second = std::make_shared<cups::ChangeQueue>(printer_change::kAllJobChanges);
    EXPECT_EQ(pump->Watch("stopped", second).Error(), 0u);
    const ChangeBlock block = second->Next();
    EXPECT_TRUE(block.changes & printer_change::kAddJob);
    EXPECT_TRUE(std::any_of(block.entries.begin(), block.entries.end(),
                            [&](const NotifyEntry& entry) { return entry.jobId == queued; }));
    const std::vector<SpoolerJob> notYetGone = pump->JobsNotYetGone("stopped");
    EXPECT_TRUE(
        std::any_of(notYetGone.begin(), notYetGone.end(), [&](const SpoolerJob& job) { return job.id == queued; }));
    pump->Unwatch("stopped", second.get());
    pump->Unwatch("stopped", first.get());
    // None of that waited for the pump: it is still in its first request.
    EXPECT_TRUE(silent.OneRequestStillWaiting());

    SharedScheduler().Cancel(queued);
    silent.Close();
    pump.reset();
}

TEST_F(CupsSpoolerTest, OpeningAPrinterNeedsAQueueTheSchedulerKnows)
{
    auto spooler = MakeCupsSpooler();
    const std::pair<std::string, std::uint32_t> cases[] = {
        {"laser", 0},
        {"LASER", 0},  // CUPS names ignore case
        {"team", 0},   // a class
        {"raw", 0},
        {"nosuch", spooler_error::kInvalidPrinterName},
        {"", spooler_error::kInvalidPrinterName},
        {"laser/../ink", spooler_error::kInvalidPrinterName},
        {"two words", spooler_error::kInvalidPrinterName},
        {"laser#1", spooler_error::kInvalidPrinterName},
    };
    for (const auto& [name, error] : cases) {
        auto printer = spooler->OpenPrinter(name);
        EXPECT_EQ(printer.Error(), error) << "'" << name << "'";
        EXPECT_EQ(printer.Ok(), error == 0) << "'" << name << "'";
    }
    // A refusal by the scheduler says which operation failed, with its IPP status.
    EXPECT_EQ(spooler->OpenPrinter("nosuch").Why().what, "Get-Printer-Attributes: client-error-not-found");
}

TEST_F(CupsSpoolerTest, AnUnreachableSchedulerFailsAsUnavailable)
{
    // Port 1 on the loopback: nothing listens there.
    auto spooler = MakeCupsSpooler({.server = "127.0.0.1:1"});
    auto names = spooler->PrinterNames();
    EXPECT_EQ(names.Error(), spooler_error::kServiceUnavailable);
    auto printer = spooler->OpenPrinter("laser");
    EXPECT_EQ(printer.Error(), spooler_error::kServiceUnavailable);
    EXPECT_EQ(spooler->DefaultPrinter(), std::nullopt);
}

TEST_F(CupsSpoolerTest, PrinterNamesListEveryQueueOnceAndTheDefaultIsTheSchedulers)
{
    auto spooler = MakeCupsSpooler();
    auto names = spooler->PrinterNames();
    ASSERT_TRUE(names) << names.Error();
    for (const char* expected : {"laser", "ink", "raw", "stopped", "team"})
        EXPECT_EQ(std::count(names->begin(), names->end(), expected), 1) << expected;
    EXPECT_EQ(std::set<std::string>(names->begin(), names->end()).size(), names->size());

    EXPECT_EQ(spooler->DefaultPrinter(), std::nullopt);
    SharedScheduler().SetDefault("ink");
    EXPECT_EQ(spooler->DefaultPrinter(), "ink");
}

TEST_F(CupsSpoolerTest, TheQueueListingHoldsTheJobsNotYetDone)
{
    auto spooler = MakeCupsSpooler();
    auto printer = spooler->OpenPrinter("stopped");
    ASSERT_TRUE(printer);
    auto before = (*printer)->JobCount();
    ASSERT_TRUE(before);
    const auto file = SharedScheduler().PdfWithPages(1);
    const std::uint32_t first =
        SharedScheduler().Submit({.printer = "stopped", .user = "fay", .title = "one", .file = file});
    const std::uint32_t second =
        SharedScheduler().Submit({.printer = "stopped", .user = "gus", .title = "two", .file = file});

    auto count = (*printer)->JobCount();
    ASSERT_TRUE(count);
    EXPECT_EQ(*count, *before + 2);
    auto jobs = (*printer)->Jobs(std::numeric_limits<std::uint32_t>::max());
    ASSERT_TRUE(jobs);
    std::map<std::uint32_t, SpoolerJob> byId;
    for (const SpoolerJob& job : *jobs)
        byId[job.id] = job;
    ASSERT_TRUE(byId.contains(first) && byId.contains(second));
    EXPECT_EQ(byId[first].user, "fay");
    EXPECT_EQ(byId[first].document, "one");
    EXPECT_EQ(byId[second].user, "gus");
    EXPECT_EQ(byId[second].status, 0u);  // pending
    auto one = (*printer)->Jobs(1);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->size(), 1u);

    SharedScheduler().Cancel(first);
    SharedScheduler().Cancel(second);
    auto after = (*printer)->JobCount();
    ASSERT_TRUE(after);
    EXPECT_EQ(*after, *before);
}

TEST_F(CupsSpoolerTest, AQueuedJobIsAnnouncedWithItsUserTitleAndTimeButNoDeletion)
{
    auto spooler = MakeCupsSpooler();
    Follower follower(*spooler, "stopped");
    // Whatever a job carries is data, never a command.
    const std::string title = "Budget; rm -rf ~ $(reboot) `id` \"quoted\" 'single' \xC3\xBC\xE2\x82\xAC";
    const std::time_t submittedAfter = std::time(nullptr);
    const std::uint32_t queued = SharedScheduler().Submit(
        {.printer = "stopped", .user = "o'hara-\xC3\xA9", .title = title, .file = SharedScheduler().PdfWithPages(1)});
    const std::time_t submittedBefore = std::time(nullptr);

    ASSERT_TRUE(follower.Until([&] {
        auto job = follower.live.find(queued);
        return job != follower.live.end() && job->second.user == "o'hara-\xC3\xA9" && job->second.submitted.year != 0;
    }));
    const SpoolerJob job = follower.live.at(queued);
    EXPECT_EQ(job.document, title);
    EXPECT_EQ(job.status, 0u);
    EXPECT_GE(ToTimeT(job.submitted), submittedAfter - 1);
    EXPECT_LE(ToTimeT(job.submitted), submittedBefore + 1);
    for (const ChangeBlock& block : follower.blocks)
        EXPECT_FALSE(block.changes & printer_change::kDeleteJob);

    // A second job that ends proves the stream went on; the first stays.
    const std::uint32_t marker = SharedScheduler().Submit(
        {.printer = "stopped", .user = "bert", .title = "marker", .file = SharedScheduler().PdfWithPages(1)});
    ASSERT_TRUE(follower.Until([&] { return follower.live.contains(marker); }));
    SharedScheduler().Cancel(marker);
    ASSERT_TRUE(follower.UntilFinished(marker));
    EXPECT_EQ(follower.TimesFinished(queued), 0);
    EXPECT_TRUE(follower.live.contains(queued));
    SharedScheduler().Cancel(queued);
    EXPECT_TRUE(follower.UntilFinished(queued));
}

enum class Ending { Print, CancelQueued, HoldThenCancel, HoldThenRelease };

struct EndingCase {
    const char* what;
    const char* printer;
    int pages;
    int copies;
    Ending ending;
    std::uint32_t expectedPages;
    std::uint32_t expectedStatus;
    // Counted from the job's document afterwards: only for a job that
    // printed, copies included.
    std::optional<std::uint32_t> fromDocument;
};

TEST_F(CupsSpoolerTest, EveryWayAJobEndsFinishesItWithTheCountOfCups)
{
    const EndingCase cases[] = {
        {"printed", "laser", 3, 1, Ending::Print, 3, job_status::kPrinted | job_status::kComplete, 3},
        {"two copies", "laser", 3, 2, Ending::Print, 6, job_status::kPrinted | job_status::kComplete, 6},
        {"raw queue", "raw", 3, 1, Ending::Print, 0, job_status::kPrinted | job_status::kComplete, 3},
        {"raw queue, two copies", "raw", 2, 2, Ending::Print, 0, job_status::kPrinted | job_status::kComplete, 4},
        {"through a class", "team", 1, 1, Ending::Print, 1, job_status::kPrinted | job_status::kComplete, 1},
        {"cancelled while queued", "stopped", 3, 1, Ending::CancelQueued, 0, job_status::kDeleted, std::nullopt},
        {"held then cancelled", "laser", 3, 1, Ending::HoldThenCancel, 0, job_status::kDeleted, std::nullopt},
        {"held then released", "ink", 2, 1, Ending::HoldThenRelease, 2, job_status::kPrinted | job_status::kComplete,
         2},
    };
    auto spooler = MakeCupsSpooler();
    for (const EndingCase& c : cases) {
        SCOPED_TRACE(c.what);
        Follower follower(*spooler, c.printer);
        const bool hold = c.ending == Ending::HoldThenCancel || c.ending == Ending::HoldThenRelease;
        const std::string user = std::string("user-") + c.printer;
        const std::uint32_t id = SharedScheduler().Submit({.printer = c.printer,
                                                           .user = user,
                                                           .title = c.what,
                                                           .file = SharedScheduler().PdfWithPages(c.pages),
                                                           .copies = c.copies,
                                                           .hold = hold});
        if (c.ending != Ending::Print) {
            ASSERT_TRUE(follower.Until([&] { return follower.live.contains(id); }));
            if (hold) {
                EXPECT_EQ(follower.live.at(id).status, job_status::kPaused);
            }
            if (c.ending == Ending::HoldThenRelease)
                SharedScheduler().Release(id);
            else
                SharedScheduler().Cancel(id);
        }
        ASSERT_TRUE(follower.UntilFinished(id));
        const SpoolerJob& done = *follower.FinishedJob(id);
        EXPECT_EQ(done.user, user);
        EXPECT_EQ(done.document, c.what);
        EXPECT_EQ(done.totalPages, c.expectedPages);
        EXPECT_EQ(done.status, c.expectedStatus);
        EXPECT_EQ(follower.TimesFinished(id), 1);
        EXPECT_EQ(follower.Printer().PagesFromDocument(id), c.fromDocument);
        // The deletion came in a block of its own, after the final fields.
        const ChangeBlock& last = follower.blocks.back();
        EXPECT_EQ(last.changes, printer_change::kDeleteJob);
        EXPECT_TRUE(last.entries.empty());
    }
}

TEST_F(CupsSpoolerTest, AJobThatEndedCountsAsQueuedUntilItsFinalFieldsAreFetched)
{
    auto spooler = MakeCupsSpooler();
    Follower follower(*spooler, "raw");
    auto bystander = MakeCupsSpooler();
    auto unwatched = bystander->OpenPrinter("raw");
    ASSERT_TRUE(unwatched);
    const std::uint32_t id = SharedScheduler().Submit(
        {.printer = "raw", .user = "hal", .title = "quick", .file = SharedScheduler().PdfWithPages(1), .hold = true});
    ASSERT_TRUE(follower.Until([&] { return follower.live.contains(id); }));
    SharedScheduler().Release(id);

    // Nothing is fetched from the notification meanwhile.
    const auto deadline = std::chrono::steady_clock::now() + test::kCupsPatience;
    auto listed = [&](SpoolerPrinter& printer) {
        auto jobs = printer.Jobs(std::numeric_limits<std::uint32_t>::max());
        return jobs && std::any_of(jobs->begin(), jobs->end(), [&](const SpoolerJob& job) { return job.id == id; });
    };
    while (listed(**unwatched) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    ASSERT_FALSE(listed(**unwatched)) << "the job never completed";
    EXPECT_TRUE(listed(follower.Printer()));

    ASSERT_TRUE(follower.UntilFinished(id));
    EXPECT_FALSE(listed(follower.Printer()));
}

TEST_F(CupsSpoolerTest, AJobThatComesAndGoesWhileThePumpIdlesIsFinishedOnceWithItsPages)
{
    // The pump idles as long as the test needs; a Watch of another printer
    // makes it poll.
    auto spooler = MakeCupsSpooler({.pollInterval = 1ms, .idleInterval = 10min, .quickAfterNews = 0ms});
    auto bystander = MakeCupsSpooler();
    auto unwatched = bystander->OpenPrinter("laser");
    ASSERT_TRUE(unwatched);
    const int connections = SharedScheduler().ConnectionsFromThisProcess();
    Follower follower(*spooler, "laser");
    // Watch makes the pump poll once at once; its connection shows it did.
    const auto polled = std::chrono::steady_clock::now() + 10s;
    while (SharedScheduler().ConnectionsFromThisProcess() < connections + 2 &&
           std::chrono::steady_clock::now() < polled)
        std::this_thread::sleep_for(1ms);
    ASSERT_EQ(SharedScheduler().ConnectionsFromThisProcess(), connections + 2);
    const std::uint32_t id = SharedScheduler().Submit(
        {.printer = "laser", .user = "max", .title = "brief", .file = SharedScheduler().PdfWithPages(2)});
    auto listed = [&] {
        auto jobs = (*unwatched)->Jobs(std::numeric_limits<std::uint32_t>::max());
        return !jobs || std::any_of(jobs->begin(), jobs->end(), [&](const SpoolerJob& job) { return job.id == id; });
    };
    const auto deadline = std::chrono::steady_clock::now() + test::kCupsPatience;
    while (listed() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    ASSERT_FALSE(listed()) << "the job never completed";

    Follower nudge(*spooler, "raw");
    ASSERT_TRUE(follower.UntilFinished(id));
    EXPECT_EQ(follower.TimesFinished(id), 1);
    EXPECT_EQ(follower.FinishedJob(id)->user, "max");
    EXPECT_EQ(follower.FinishedJob(id)->totalPages, 2u);
    EXPECT_EQ(follower.FinishedJob(id)->status, job_status::kPrinted | job_status::kComplete);
    // The pump first heard of the job when it had already ended.
    for (const ChangeBlock& block : follower.blocks)
        for (const NotifyEntry& entry : block.entries)
            if (entry.jobId == id && entry.field == notify_field::kStatus) {
                EXPECT_EQ(std::get<std::uint32_t>(entry.data), job_status::kPrinted | job_status::kComplete);
                return;
            }
    ADD_FAILURE() << "no status of the job was told";
}

// The kernel's view of a thread: 'S' while it sleeps in a wait.
TEST_F(CupsSpoolerTest, StopWakesABlockedWaitWithin100Milliseconds)
{
    auto spooler = MakeCupsSpooler();
    Follower follower(*spooler, "stopped");
    EXPECT_EQ(follower.Changes().Wait(1ms, {}), ChangeNotification::WaitResult::TimedOut);

    const test::StoppedWait stopped = test::StopABlockedWait(
        [&](std::stop_token stop) { return static_cast<int>(follower.Changes().Wait(std::nullopt, stop)); });
    ASSERT_TRUE(stopped.slept);
    EXPECT_EQ(stopped.result, static_cast<int>(ChangeNotification::WaitResult::Stopped));
    EXPECT_LT(stopped.wakeDelay, 100ms);
}

TEST_F(CupsSpoolerTest, JobsAreStillSeenAfterTheSchedulerRestarts)
{
    for (const bool forgetSubscriptions : {false, true}) {
        SCOPED_TRACE(forgetSubscriptions ? "subscriptions lost" : "subscriptions kept");
        auto spooler = MakeCupsSpooler();
        Follower follower(*spooler, "raw");
        const auto file = SharedScheduler().PdfWithPages(1);
        const std::uint32_t before =
            SharedScheduler().Submit({.printer = "raw", .user = "ida", .title = "before", .file = file});
        ASSERT_TRUE(follower.UntilFinished(before));

        SharedScheduler().Restart(forgetSubscriptions);
        const std::uint32_t after =
            SharedScheduler().Submit({.printer = "raw", .user = "jon", .title = "after", .file = file});
        ASSERT_TRUE(follower.UntilFinished(after));
        EXPECT_EQ(follower.FinishedJob(after)->user, "jon");
        EXPECT_EQ(follower.FinishedJob(after)->document, "after");
        EXPECT_EQ(follower.TimesFinished(before), 1);
    }
}

TEST_F(CupsSpoolerTest, APrinterAddedLaterOpensOnceItExists)
{
    auto spooler = MakeCupsSpooler();
    EXPECT_EQ(spooler->OpenPrinter("latecomer").Error(), spooler_error::kInvalidPrinterName);
    SharedScheduler().AddRawPrinters({"latecomer"});
    Follower follower(*spooler, "latecomer");
    const std::uint32_t id = SharedScheduler().Submit(
        {.printer = "latecomer", .user = "kim", .title = "late", .file = SharedScheduler().PdfWithPages(1)});
    ASSERT_TRUE(follower.UntilFinished(id));
    EXPECT_EQ(follower.FinishedJob(id)->user, "kim");
}

TEST_F(CupsSpoolerTest, ABurstOfJobsIsFollowedEvenWhenTheSchedulerDropsEvents)
{
    // CUPS keeps 100 events per subscription; forty jobs make about three
    // times as many, faster than this slow poll fetches them.
    auto spooler = MakeCupsSpooler({.pollInterval = 1500ms});
    Follower follower(*spooler, "raw");
    const auto file = SharedScheduler().PdfWithPages(1);
    std::map<std::uint32_t, std::string> users;
    for (int i = 0; i < 40; ++i) {
        const std::string user = "burst" + std::to_string(i);
        users[SharedScheduler().Submit({.printer = "raw", .user = user, .title = "burst", .file = file})] = user;
    }
    ASSERT_TRUE(follower.Until([&] {
        return std::all_of(users.begin(), users.end(),
                           [&](const auto& job) { return follower.TimesFinished(job.first); });
    }));
    for (const auto& [id, user] : users) {
        EXPECT_EQ(follower.TimesFinished(id), 1) << id;
        EXPECT_EQ(follower.FinishedJob(id)->user, user) << id;
    }
}

TEST_F(CupsSpoolerTest, TwoHundredPrintersShareOneSubscriptionAndAFewConnections)
{
    const std::vector<std::string>& names = test::BulkPrinters();

    auto spooler = MakeCupsSpooler();
    std::vector<std::unique_ptr<Follower>> followers;
    for (const std::string& name : names)
        followers.push_back(std::make_unique<Follower>(*spooler, name));
    const auto file = SharedScheduler().PdfWithPages(1);
    std::vector<CupsServer::Job> jobs;
    for (const std::string& name : names)
        jobs.push_back({.printer = name, .user = "u" + name, .title = "t" + name, .file = file});
    const std::vector<std::uint32_t> ids = SharedScheduler().SubmitAll(jobs);

    const int connections = SharedScheduler().ConnectionsFromThisProcess();
    for (size_t i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(followers[i]->UntilFinished(ids[i])) << names[i];
        EXPECT_EQ(followers[i]->FinishedJob(ids[i])->user, "u" + names[i]);
        EXPECT_EQ(followers[i]->FinishedJob(ids[i])->document, "t" + names[i]);
    }
    std::cout << "connections to the scheduler while watching 200 printers: " << connections << "\n";
    RecordProperty("connections", connections);
    EXPECT_GE(connections, 1);
    EXPECT_LE(connections, 2);
}

}  // namespace
}  // namespace ostrel
