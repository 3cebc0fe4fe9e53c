#include "CentralForwarder.h"

#include "FakeClock.h"
#include "FakeSqlDatabase.h"
#include "Files.h"
#include "TempFolder.h"
#include "ZoneGuard.h"

#include <gtest/gtest.h>

#include <mutex>

namespace ostrel::test {
namespace {

std::string Event(int n)
{
    return "\n<event><day>05</day><month>03</month><year>26</year><hour>10</hour><min>07</min><doc>d" +
           std::to_string(n) + "</doc><pages>" + std::to_string(n) + "</pages><cost>" + std::to_string(5 * n) +
           "</cost><printer>Laser</printer><user>maria</user></event>";
}

class CentralForwarderTest : public ::testing::Test {
protected:
    CentralForwarderTest() : clock_(LocalTimePoint(2026, 3, 5, 10, 7)), writer_(folder_.Path().string(), clock_)
    {
        ReplaceFile(folder_ / "settings.xml",
                    "<log><printers><name>Laser</name><ID>2</ID><cost>5</cost><monitored>1</monitored>"
                    "</printers><users></users></log>");
        writer_.OweToCentre(true);
    }

    void Record(int n) { writer_.Write({Event(n), "maria", "Laser", "cups/Laser", 100u + n, 1772700000 + n}); }

    std::unique_ptr<CentralForwarder> Forwarder()
    {
        return std::make_unique<CentralForwarder>(
            CentralForwarderSetup{database_,
                                  writer_,
                                  clock_,
                                  {"host=db password=Hunter2", "6f1c2a8e-0b7d-4d3e-9a51-2c4f8e7b9d10", "print-1"},
                                  [this](const CentralStatus& status) {
                                      std::lock_guard lock(mutex_);
                                      statuses_.push_back(status);
                                  },
                                  [this](std::string_view line) {
                                      std::lock_guard lock(mutex_);
                                      logged_.emplace_back(line);
                                  }});
    }
    CentralStatus LastStatus()
    {
        std::lock_guard lock(mutex_);
        return statuses_.empty() ? CentralStatus{} : statuses_.back();
    }
    std::vector<std::string> Logged()
    {
        std::lock_guard lock(mutex_);
        return logged_;
    }
    // Lets the forwarder's clock run `seconds`, one of its waits at a time.
    void RunFor(int seconds)
    {
        for (int i = 0; i < seconds; ++i) {
            ASSERT_TRUE(clock_.WaitForSleepers(1));
            const std::size_t asleep = clock_.SleepsBegun();
            clock_.Advance(std::chrono::seconds(1));
            // Its next sleep has begun: the work of this second is done.
            ASSERT_TRUE(clock_.WaitForSleep(asleep + 1));
        }
        ASSERT_TRUE(clock_.WaitForSleepers(1));
    }

    ZoneGuard zone_{"UTC0"};
    TempFolder folder_;
    FakeClock clock_;
    EventLogWriter writer_;
    FakeSqlDatabase database_;
    std::mutex mutex_;
    std::vector<CentralStatus> statuses_;
    std::vector<std::string> logged_;
};

TEST_F(CentralForwarderTest, RowsCarryTheRecordAsTheFilesHoldItAndItsInstants)
{
    const OwedRecord owed{7, {Event(3), "maria", "Laser", "cups/Laser", 103, 1772700003}, 1772700100};
    const SqlRow want = {"7",          "103",        "cups/Laser", "Laser", "maria", "d3", "3", "15",
                         "1772700003", "1772700100", "26",         "03",    "05",    "10", "07"};
    EXPECT_EQ(CentralRow(owed), want);
    // Unknown instants travel as NULL, broken bytes as replacements, never as they were.
    const OwedRecord unknown{8, {"<event><doc>a\xff</doc></event>", "u\xc3", "p", "", 1, 0}, 0};
    const SqlRow row = CentralRow(unknown);
    EXPECT_EQ(row[8], std::nullopt);
    EXPECT_EQ(row[9], std::nullopt);
    EXPECT_EQ(row[5], "a\xef\xbf\xbd");
    EXPECT_EQ(row[4], "u\xef\xbf\xbd");
    EXPECT_EQ(row[6], "0");
}

TEST_F(CentralForwarderTest, WhileDownRecordsWaitWithABackoffUpToAMinuteAndAreSentOnceBack)
{
    database_.SetDown(true);
    Record(1);
    Record(2);
    auto forwarder = Forwarder();
    forwarder->Start();

    // Attempts at 0, 1, 3, 7, 15, 31, 63, then every 60 s: 123, 183.
    const std::vector<std::pair<int, std::size_t>> attemptsBy = {{0, 1},  {1, 2},  {3, 3},   {7, 4},   {15, 5},
                                                                 {31, 6}, {63, 7}, {122, 7}, {123, 8}, {183, 9}};
    int now = 0;
    RunFor(0);
    for (const auto& [second, attempts] : attemptsBy) {
        RunFor(second - now);
        now = second;
        EXPECT_EQ(database_.Opens(), attempts) << "after " << second << " s";
    }
    Record(3);
    RunFor(1);
    EXPECT_EQ(LastStatus(), (CentralStatus{3, std::chrono::duration_cast<std::chrono::seconds>(
                                                  LocalTimePoint(2026, 3, 5, 10, 7).time_since_epoch())
                                                  .count()}));

    database_.SetDown(false);
    RunFor(60);
    forwarder->Stop();
    ASSERT_EQ(database_.Committed().size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(database_.Committed()[i][1], std::to_string(101 + i));
    EXPECT_EQ(writer_.OwingToCentre().count, 0u);
    EXPECT_EQ(LastStatus(), CentralStatus{});
    const std::vector<std::string> logged = Logged();
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_NE(logged[0].find("unreachable"), std::string::npos) << logged[0];
    EXPECT_NE(logged[0].find("the fake database is down"), std::string::npos) << logged[0];
    EXPECT_EQ(logged[1], "Central database reachable again; 3 records were waiting");
    for (const std::string& line : logged)
        EXPECT_EQ(line.find("Hunter2"), std::string::npos);

    // The server registers under its id and name; job text is never in the SQL.
    EXPECT_EQ(database_.Parameters()[0], (std::vector<SqlValue>{"6f1c2a8e-0b7d-4d3e-9a51-2c4f8e7b9d10", "print-1"}));
    for (const std::string& sql : database_.Statements())
        EXPECT_EQ(sql.find("maria"), std::string::npos) << sql;
}

TEST_F(CentralForwarderTest, AFailedCommitMarksNothingAndTheBatchGoesAgain)
{
    database_.FailCommits(1);
    for (int n = 1; n <= 3; ++n)
        Record(n);
    auto forwarder = Forwarder();
    forwarder->Start();
    RunFor(0);
    EXPECT_EQ(writer_.OwingToCentre().count, 3u);
    EXPECT_TRUE(database_.Committed().empty());
    RunFor(1);
    forwarder->Stop();
    EXPECT_EQ(database_.Committed().size(), 3u);
    EXPECT_EQ(writer_.OwingToCentre().count, 0u);
    // The session stayed up: no second connection was needed.
    EXPECT_EQ(database_.Opens(), 1u);
}

}  // namespace
}  // namespace ostrel::test
