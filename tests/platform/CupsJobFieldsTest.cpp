#include "ChangeQueue.h"
#include "CupsJobFields.h"
#include "ZoneGuard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace ostrel::cups {
namespace {

using namespace std::chrono_literals;

struct StatusCase {
    int state;
    std::vector<std::string> reasons;
    std::uint32_t bits;
};

TEST(CupsJobFields, JobStatesMapOntoStatusBitsAndNeverOntoTheFinishedValue)
{
    const StatusCase cases[] = {
        {ipp_job_state::kPending, {"none"}, 0},
        {ipp_job_state::kPending, {"job-incoming"}, job_status::kSpooling},
        {ipp_job_state::kHeld, {"job-hold-until-specified"}, job_status::kPaused},
        {ipp_job_state::kProcessing, {"job-printing"}, job_status::kPrinting},
        {ipp_job_state::kProcessing, {"job-incoming", "job-printing"}, job_status::kPrinting | job_status::kSpooling},
        {ipp_job_state::kStopped, {"printer-stopped"}, job_status::kPrinting | job_status::kError},
        {ipp_job_state::kCanceled, {"job-canceled-by-user"}, job_status::kDeleted},
        {ipp_job_state::kAborted, {"aborted-by-system"}, job_status::kError},
        {ipp_job_state::kCompleted, {"job-completed-successfully"}, job_status::kPrinted | job_status::kComplete},
        {ipp_job_state::kCompleted, {"job-incoming"}, job_status::kPrinted | job_status::kComplete},
        {42, {}, 0},
    };
    for (const StatusCase& c : cases) {
        const std::uint32_t bits = StatusBits(c.state, c.reasons);
        EXPECT_EQ(bits, c.bits) << "state " << c.state;
        EXPECT_NE(bits, job_status::kUserIntervention) << "state " << c.state;
    }
}

TEST(CupsJobFields, StatusTextPrefersThePrinterMessageAndLeavesOutNone)
{
    EXPECT_EQ(StatusText({"job-printing"}, "Rendering page 2"), "Rendering page 2");
    EXPECT_EQ(StatusText({"none"}, ""), "");
    EXPECT_EQ(StatusText({"job-incoming", "none", "job-printing"}, ""), "job-incoming, job-printing");
    EXPECT_EQ(StatusText({}, ""), "");
}

TEST(CupsJobFields, TotalPagesGrowWithTheCountWhileActiveAndAreTheCountOnceDone)
{
    struct Case {
        int state;
        std::optional<std::uint32_t> impressions;
        std::optional<std::uint32_t> completed;
        std::uint32_t total;
        std::uint32_t printed;
    };
    const Case cases[] = {
        {ipp_job_state::kPending, std::nullopt, std::nullopt, 0, 0},
        {ipp_job_state::kProcessing, std::nullopt, 2, 2, 2},
        {ipp_job_state::kProcessing, 5, 2, 5, 2},
        {ipp_job_state::kCompleted, std::nullopt, 6, 6, 6},
        // Cancelled halfway: what reached paper, not what was announced.
        {ipp_job_state::kCanceled, 5, 2, 2, 2},
        {ipp_job_state::kCanceled, 5, std::nullopt, 5, 0},
        {ipp_job_state::kAborted, std::nullopt, std::nullopt, 0, 0},
    };
    for (const Case& c : cases) {
        JobAttributes job;
        job.id = 7;
        job.state = c.state;
        job.impressions = c.impressions;
        job.impressionsCompleted = c.completed;
        const SpoolerJob out = ToSpoolerJob(job);
        EXPECT_EQ(out.totalPages, c.total) << "state " << c.state;
        EXPECT_EQ(out.pagesPrinted, c.printed) << "state " << c.state;
    }
}

TEST(CupsJobFields, AJobCarriesItsUserNameAndLocalSubmissionTime)
{
    JobAttributes job;
    job.id = 12;
    job.state = ipp_job_state::kPending;
    job.user = "alice";
    job.name = "Quarterly; rm -rf / `id`";
    job.createdAt = 1719842400;  // 2024-07-01 14:00:00 UTC, a Monday
    const SpoolerJob out = [&] {
        test::ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
        return ToSpoolerJob(job);
    }();

    EXPECT_EQ(out.id, 12u);
    EXPECT_EQ(out.user, "alice");
    EXPECT_EQ(out.document, "Quarterly; rm -rf / `id`");
    const SpoolerTime expected{2024, 7, 1, 1, 16, 0, 0, 0, 1719842400};  // summer time: UTC+2
    EXPECT_EQ(out.submitted, expected);
}

TEST(CupsJobFields, MergeKeepsWhatTheNewerAttributesLack)
{
    JobAttributes known;
    known.id = 3;
    known.state = ipp_job_state::kProcessing;
    known.user = "bob";
    known.name = "report";
    known.impressionsCompleted = 1;
    JobAttributes event;
    event.id = 3;
    event.state = ipp_job_state::kCompleted;
    event.impressionsCompleted = 4;
    known.MergeFrom(event);
    EXPECT_EQ(known.state, ipp_job_state::kCompleted);
    EXPECT_EQ(known.impressionsCompleted, 4u);
    EXPECT_EQ(known.user, "bob");
    EXPECT_EQ(known.name, "report");
}

TEST(CupsJobFields, ChangedFieldsNameOnlyWhatChangedAndEverythingTheFirstTime)
{
    SpoolerJob before;
    before.id = 9;
    before.user = "carol";
    before.document = "memo";
    before.status = job_status::kPrinting;
    before.totalPages = 1;
    before.pagesPrinted = 1;
    SpoolerJob after = before;
    after.totalPages = 3;
    after.pagesPrinted = 3;
    after.status = job_status::kPrinted | job_status::kComplete;

    const std::vector<NotifyEntry> changes = ChangedFields(before, after);
    const std::vector<NotifyEntry> expected{
        {kJobNotifyType, notify_field::kStatus, 9, std::uint32_t{job_status::kPrinted | job_status::kComplete}},
        {kJobNotifyType, notify_field::kTotalPages, 9, std::uint32_t{3}},
        {kJobNotifyType, notify_field::kPagesPrinted, 9, std::uint32_t{3}},
    };
    EXPECT_EQ(changes, expected);
    EXPECT_TRUE(ChangedFields(after, after).empty());

    const std::vector<NotifyEntry> all = ChangedFields(std::nullopt, after);
    ASSERT_EQ(all.size(), 7u);
    EXPECT_EQ(all[0], (NotifyEntry{kJobNotifyType, notify_field::kUserName, 9, std::string("carol")}));
    EXPECT_EQ(all[1], (NotifyEntry{kJobNotifyType, notify_field::kDocument, 9, std::string("memo")}));
    EXPECT_EQ(all[2].field, notify_field::kSubmitted);
}

TEST(CupsJobFields, QueueNamesComeFromPrinterAndClassUris)
{
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"ipp://localhost/printers/laser", "laser"},
        {"ipp://127.0.0.1:631/classes/team", "team"},
        {"ipps://host/printers/Front_Desk?waitjob=false", "Front_Desk"},
        {"ipp://host/printers/B%C3%BCro", "B\xC3\xBCro"},
        {"ipp://host/printers/bad%2", "bad%2"},
        {"ipp://host/printers/", std::nullopt},
        {"ipp://host/printers/a%2Fb", std::nullopt},
        {"ipp://host/jobs/12", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [uri, name] : cases)
        EXPECT_EQ(QueueNameFromUri(uri), name) << uri;
}

TEST(CupsJobFields, OnlyNamesCupsCouldKnowArePlausible)
{
    for (const char* good : {"laser", "Front_Desk-2", "B\xC3\xBCro", "a.b@c"})
        EXPECT_TRUE(PlausibleQueueName(good)) << good;
    for (const char* bad : {"", "two words", "a/b", "x#y", "why?", "back\\slash", "tab\tname", "new\nline"})
        EXPECT_FALSE(PlausibleQueueName(bad)) << bad;
    EXPECT_TRUE(PlausibleQueueName(std::string(127, 'p')));
    EXPECT_FALSE(PlausibleQueueName(std::string(128, 'p')));
}

NotifyEntry Pages(std::uint32_t jobId, std::uint32_t pages)
{
    return {kJobNotifyType, notify_field::kTotalPages, jobId, pages};
}

TEST(ChangeQueue, EntriesAlwaysComeOutBeforeAPendingDeletion)
{
    ChangeQueue queue(printer_change::kAllJobChanges);
    queue.PushEntries(printer_change::kAddJob, {Pages(1, 0)});
    SpoolerJob first{1, "u", "d", "", job_status::kComplete, 3, 3, {}};
    queue.PushFinal(first, {Pages(1, 3)});
    queue.PushDeletion();
    // Queued after the deletion, handed out before it.
    SpoolerJob second{2, "u", "e", "", job_status::kComplete, 5, 5, {}};
    queue.PushEntries(printer_change::kAddJob, {Pages(2, 0)});
    queue.PushFinal(second, {Pages(2, 5)});
    queue.PushDeletion();

    ChangeBlock entries = queue.Next();
    EXPECT_EQ(entries.changes, printer_change::kAddJob | printer_change::kSetJob);
    EXPECT_EQ(entries.entries, (std::vector<NotifyEntry>{Pages(1, 0), Pages(1, 3), Pages(2, 0), Pages(2, 5)}));
    ChangeBlock deletion = queue.Next();
    EXPECT_EQ(deletion.changes, printer_change::kDeleteJob);
    EXPECT_TRUE(deletion.entries.empty());
    ChangeBlock nothing = queue.Next();
    EXPECT_EQ(nothing.changes, 0u);
    EXPECT_TRUE(nothing.entries.empty());
}

TEST(ChangeQueue, AJobThatLeftCountsAsQueuedUntilItsFinalFieldsAreFetched)
{
    ChangeQueue queue(printer_change::kAllJobChanges);
    SpoolerJob done{4, "dave", "slides", "", job_status::kComplete, 2, 2, {}};
    queue.PushFinal(done, {Pages(4, 2)});
    queue.PushDeletion();
    EXPECT_EQ(queue.UndeliveredFinals(), std::vector<SpoolerJob>{done});
    queue.Next();
    EXPECT_TRUE(queue.UndeliveredFinals().empty());

    // Final fields that add nothing still wait for the entries before them.
    queue.PushEntries(printer_change::kSetJob, {Pages(5, 1)});
    SpoolerJob unchanged{5, "erin", "memo", "", job_status::kComplete, 1, 1, {}};
    queue.PushFinal(unchanged, {});
    EXPECT_EQ(queue.UndeliveredFinals(), std::vector<SpoolerJob>{unchanged});
    queue.Next();
    // With nothing queued there is nothing to wait for.
    queue.PushFinal(unchanged, {});
    EXPECT_TRUE(queue.UndeliveredFinals().empty());
}

TEST(ChangeQueue, TheFilterDecidesWhatIsQueued)
{
    struct Case {
        std::uint32_t filter;
        bool entries;
        bool deletion;
    };
    const Case cases[] = {
        {printer_change::kAllJobChanges, true, true},
        {printer_change::kDeleteJob, false, true},
        {printer_change::kAddJob | printer_change::kSetJob, true, false},
    };
    for (const Case& c : cases) {
        ChangeQueue queue(c.filter);
        queue.PushEntries(printer_change::kSetJob, {Pages(1, 1)});
        queue.PushDeletion();
        ChangeBlock first = queue.Next();
        ChangeBlock second = queue.Next();
        const bool sawEntries = !first.entries.empty();
        const bool sawDeletion = (first.changes | second.changes) & printer_change::kDeleteJob;
        EXPECT_EQ(sawEntries, c.entries) << std::hex << c.filter;
        EXPECT_EQ(sawDeletion, c.deletion) << std::hex << c.filter;
    }
}

TEST(ChangeQueue, WaitReportsSignalTimeoutAndStop)
{
    using Result = ChangeNotification::WaitResult;
    ChangeQueue queue(printer_change::kAllJobChanges);
    EXPECT_EQ(queue.Wait(1ms, {}), Result::TimedOut);
    queue.PushDeletion();
    EXPECT_EQ(queue.Wait(std::nullopt, {}), Result::Signalled);
    queue.Next();

    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_EQ(queue.Wait(std::nullopt, stopped.get_token()), Result::Stopped);

    // A push from another thread wakes a wait without a limit.
    std::jthread pusher([&] { queue.PushEntries(printer_change::kAddJob, {Pages(8, 0)}); });
    EXPECT_EQ(queue.Wait(std::nullopt, {}), Result::Signalled);
}

}  // namespace
}  // namespace ostrel::cups
