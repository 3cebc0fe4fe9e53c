#include "JobList.h"

#include "EPrinter.h"
#include "FakeSpooler.h"

#include <gtest/gtest.h>

#include <functional>

namespace ostrel {
namespace {

SpoolerJob Job(std::uint32_t id, std::uint32_t pages = 1)
{
    SpoolerJob job;
    job.id = id;
    job.document = "doc " + std::to_string(id);
    job.user = "user";
    job.totalPages = pages;
    job.submitted = {2026, 2, 2, 3, 9, 5, 0, 0};
    return job;
}

std::vector<std::uint32_t> Ids(const JobList& list)
{
    std::vector<std::uint32_t> ids;
    for (std::uint32_t i = 0; i < list.Count(); ++i)
        ids.push_back(list.At(i).id);
    return ids;
}

TEST(JobList, ANotificationForAnUnknownJobCreatesItThenSetsTheField)
{
    struct Case {
        const char* label;
        NotifyEntry entry;
        std::function<void(PrintJob&)> expect;  // applied to a blank job 9
    };
    const SpoolerTime when{2026, 2, 2, 3, 9, 5, 7, 0};
    const Case cases[] = {
        {"user",
         {kJobNotifyType, notify_field::kUserName, 9, std::string("maria")},
         [](PrintJob& j) { j.user = "maria"; }},
        {"document",
         {kJobNotifyType, notify_field::kDocument, 9, std::string("a.pdf")},
         [](PrintJob& j) { j.document = "a.pdf"; }},
        {"status text",
         {kJobNotifyType, notify_field::kStatusText, 9, std::string("printing")},
         [](PrintJob& j) { j.statusText = "printing"; }},
        {"status", {kJobNotifyType, notify_field::kStatus, 9, 0x10u}, [](PrintJob& j) { j.status = 0x10; }},
        {"pages printed",
         {kJobNotifyType, notify_field::kPagesPrinted, 9, 2u},
         [](PrintJob& j) { j.pagesPrinted = 2; }},
        {"total pages", {kJobNotifyType, notify_field::kTotalPages, 9, 3u}, [](PrintJob& j) { j.totalPages = 3; }},
        {"submission time",
         {kJobNotifyType, notify_field::kSubmitted, 9, when},
         [&](PrintJob& j) { j.submitted = when; }},
        {"unknown field", {kJobNotifyType, 14, 9, 5u}, [](PrintJob&) {}},
        {"text for a number field", {kJobNotifyType, notify_field::kTotalPages, 9, std::string("3")}, [](PrintJob&) {}},
    };
    for (const auto& c : cases) {
        JobList list;
        list.Apply(c.entry);
        ASSERT_EQ(list.Count(), 1u) << c.label;
        PrintJob expected;
        expected.id = 9;
        c.expect(expected);
        EXPECT_TRUE(list.At(0) == expected) << c.label;
    }
}

TEST(JobList, PrinterEntriesAndLaterFieldsFollowTheirJob)
{
    JobList list;
    list.Apply({kPrinterNotifyType, notify_field::kStatus, 4, 1u});
    EXPECT_EQ(list.Count(), 0u);

    list.Add(Job(1));
    list.Add(Job(2));
    list.Apply({kJobNotifyType, notify_field::kTotalPages, 2, 7u});
    EXPECT_EQ(list.At(0).totalPages, 1u);
    EXPECT_EQ(list.At(1).totalPages, 7u);
}

TEST(JobList, RemoveMovesTheLastJobIntoTheGap)
{
    JobList list;
    for (std::uint32_t id : {1u, 2u, 3u, 4u})
        list.Add(Job(id));
    list.Remove(2);
    EXPECT_EQ(Ids(list), (std::vector<std::uint32_t>{1, 4, 3}));
    list.Remove(3);  // the last entry: nothing moves
    EXPECT_EQ(Ids(list), (std::vector<std::uint32_t>{1, 4}));
    list.Remove(99);
    EXPECT_EQ(Ids(list), (std::vector<std::uint32_t>{1, 4}));
}

TEST(JobList, AnIndexPastTheEndRaises)
{
    JobList list;
    list.Add(Job(1));
    try {
        list.At(1);
        FAIL() << "no EPrinter";
    } catch (const EPrinter& error) {
        EXPECT_EQ(error.Code(), 84u);
        EXPECT_EQ(error.Message(), "Index must be less than the jobs number");
    }
}

class JobListSnapshotTest : public ::testing::Test {
protected:
    JobListSnapshotTest()
    {
        spooler.AddPrinter("P");
        printer = std::move(*spooler.OpenPrinter("P"));
    }

    FakeSpooler spooler;
    std::unique_ptr<SpoolerPrinter> printer;
    JobList list;
};

TEST_F(JobListSnapshotTest, MarksEveryJobGoneFromTheQueueAndLearnsTheNewOnes)
{
    list.Add(Job(1));
    list.Add(Job(2));
    list.Add(Job(3));
    spooler.Submit("P", Job(2));
    spooler.Submit("P", Job(5, 4));  // never notified to this list

    EXPECT_EQ(list.Snapshot(printer.get(), true), 2u);
    ASSERT_EQ(Ids(list), (std::vector<std::uint32_t>{1, 2, 3, 5}));
    EXPECT_TRUE(list.At(0).Finished());
    EXPECT_FALSE(list.At(1).Finished());
    EXPECT_TRUE(list.At(2).Finished());
    EXPECT_FALSE(list.At(3).Finished());
    EXPECT_EQ(list.At(3).totalPages, 4u);
}

TEST_F(JobListSnapshotTest, AnEmptiedQueueMarksEveryJob)
{
    list.Add(Job(7));
    list.Add(Job(8));
    EXPECT_EQ(list.Snapshot(printer.get(), true), 0u);
    EXPECT_TRUE(list.At(0).Finished());
    EXPECT_TRUE(list.At(1).Finished());
}

TEST_F(JobListSnapshotTest, WithoutKeepTheListStartsOver)
{
    list.Add(Job(1));
    spooler.Submit("P", Job(2));
    list.Snapshot(printer.get(), false);
    EXPECT_EQ(Ids(list), (std::vector<std::uint32_t>{2}));
}

TEST(JobList, StatusExactly1024IsFinishedAndNothingElse)
{
    PrintJob job;
    for (std::uint32_t status : {0x400u, 0x401u, 0x1000u, 0x80u}) {
        job.status = status;
        EXPECT_EQ(job.Finished(), status == 0x400u) << status;
    }
}

TEST_F(JobListSnapshotTest, FailuresRaiseAndLeaveTheListAsItWas)
{
    list.Add(Job(1));
    struct Case {
        const char* label;
        bool withPrinter;
        std::uint32_t failure;
        std::uint32_t code;
    };
    const Case cases[] = {{"no printer", false, 0, 87}, {"listing fails", true, 1722, 1722}};
    for (const auto& c : cases) {
        if (c.failure)
            spooler.FailNextSnapshot(c.failure);
        try {
            list.Snapshot(c.withPrinter ? printer.get() : nullptr, true);
            ADD_FAILURE() << c.label << ": no EPrinter";
        } catch (const EPrinter& error) {
            EXPECT_EQ(error.Code(), c.code) << c.label;
            EXPECT_EQ(error.Message(), "Couldn't refresh the printer queue") << c.label;
        }
        EXPECT_FALSE(list.At(0).Finished()) << c.label;
    }
}

// A spooler whose queue grows between the count and the listing.
class GrowingPrinter final : public SpoolerPrinter {
public:
    SpoolerResult<std::unique_ptr<ChangeNotification>> WatchChanges(std::uint32_t) override
    {
        return SpoolerResult<std::unique_ptr<ChangeNotification>>::Failure(1);
    }
    SpoolerResult<std::uint32_t> JobCount() override { return 1u; }
    SpoolerResult<std::vector<SpoolerJob>> Jobs(std::uint32_t limit) override
    {
        std::vector<SpoolerJob> queue{Job(10), Job(11)};  // 10 arrived after the count
        queue.resize(std::min<std::size_t>(limit, queue.size()));
        return queue;
    }
    SpoolerResult<std::vector<EndedJob>> EndedJobs() override { return std::vector<EndedJob>{}; }
};

TEST(JobList, AJobArrivingDuringTheSnapshotDoesNotPushAWaitingOneOut)
{
    JobList list;
    list.Add(Job(9));
    list.Add(Job(11));
    GrowingPrinter printer;
    EXPECT_EQ(list.Snapshot(&printer, true), 2u);
    EXPECT_TRUE(list.At(0).Finished());
    EXPECT_FALSE(list.At(1).Finished());
}

}  // namespace
}  // namespace ostrel
