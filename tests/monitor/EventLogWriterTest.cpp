#include "EventLogWriter.h"

#include "FakeClock.h"
#include "Files.h"
#include "SettingsDocument.h"
#include "TempFolder.h"
#include "ZoneGuard.h"

#include <gtest/gtest.h>

#include <thread>

namespace ostrel::test {
namespace {

namespace fs = std::filesystem;

std::string Event(const std::string& user, const std::string& printer, int n = 1)
{
    return "\n<event><day>05</day><month>03</month><year>2026</year><hour>10</hour><min>00</min><doc>d" +
           std::to_string(n) + "</doc><pages>1</pages><cost>5</cost><printer>" + printer + "</printer><user>" +
           user + "</user></event>";
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class EventLogWriterTest : public ::testing::Test {
protected:
    EventLogWriterTest() : clock_(LocalTimePoint(2026, 3, 5, 10, 0)), writer_(folder_.Path().string(), clock_)
    {
        ReplaceFile(folder_ / "settings.xml",
                    "<log><printers><name>Laser</name><ID>2</ID><cost>5</cost><monitored>1</monitored>"
                    "</printers><users></users></log>");
    }

    void Write(const std::string& user, const std::string& printer, int n = 1)
    {
        writer_.Write({Event(user, printer, n), user, printer});
    }
    std::string Read(const fs::path& tail) { return ReadFileBytes(folder_ / "Logs" / tail).value_or("<missing>"); }

    ZoneGuard zone_{"UTC0"};
    TempFolder folder_;
    FakeClock clock_;
    EventLogWriter writer_;
    const std::string head_ = std::string(EventLogWriter::kHeadRoom, ' ');
};

TEST_F(EventLogWriterTest, TheFirstRecordOfADayStartsPaddedFilesTheNextAppends)
{
    Write("maria", "Laser", 1);
    const std::vector<std::string> names = {"d_20260305.xml", "w_10_2026.xml", "m_03_2026.xml",
                                            "q_1_2026.xml",   "s_1_2026.xml",  "y_2026.xml"};
    for (const std::string folder : {"", "Users/maria/", "Printers/Printer_2/"})
        for (const auto& name : names)
            EXPECT_EQ(Read(folder + name), head_ + Event("maria", "Laser", 1)) << folder + name;

    Write("maria", "Laser", 2);
    EXPECT_EQ(Read("Users/maria/d_20260305.xml"), head_ + Event("maria", "Laser", 1) + Event("maria", "Laser", 2));
    EXPECT_NE(ReadFileBytes(folder_ / "settings.xml")->find("<users><username>maria</username></users>"),
              std::string::npos);
}

TEST_F(EventLogWriterTest, FilesAreChosenByTheDateOfWritingNotOfSubmission)
{
    clock_.Advance(std::chrono::duration_cast<std::chrono::milliseconds>(LocalTimePoint(2027, 1, 1, 0, 1) - clock_.Now()));
    const std::string late = "\n<event><day>31</day><month>12</month><year>2026</year><hour>23</hour><min>58</min>"
                             "<doc>x</doc><pages>1</pages><cost>0</cost><printer>Laser</printer><user>john</user>"
                             "</event>";
    writer_.Write({late, "john", "Laser"});
    for (const std::string name :
         {"d_20270101.xml", "w_1_2027.xml", "m_01_2027.xml", "q_1_2027.xml", "s_1_2027.xml", "y_2027.xml"})
        EXPECT_EQ(Read("Printers/Printer_2/" + name), head_ + late) << name;
}

TEST_F(EventLogWriterTest, NamesFromJobsNeverLeaveTheLogsTree)
{
    Write("../../escape", "Gone printer");  // a printer no longer in the settings
    Write("..", "Laser");
    Write("", "Laser");

    EXPECT_EQ(Read("Users/.._.._escape/y_2026.xml"), head_ + Event("../../escape", "Gone printer"));
    EXPECT_EQ(Read("Users/_../y_2026.xml"), head_ + Event("..", "Laser"));
    EXPECT_EQ(Read("Users/y_2026.xml"), head_ + Event("", "Laser"));
    EXPECT_EQ(Read("Printers/y_2026.xml"), head_ + Event("../../escape", "Gone printer"));
    for (const auto& entry : fs::recursive_directory_iterator(folder_.Path())) {
        const std::string path = fs::relative(entry.path(), folder_.Path()).string();
        EXPECT_TRUE(path.starts_with("Logs") || path.starts_with("settings.xml")) << path;
    }
}

TEST_F(EventLogWriterTest, ConcurrentMonitorsKeepEveryRecordWholeAndEveryUser)
{
    constexpr int kMonitors = 16, kRecords = 20;
    std::vector<std::thread> monitors;
    for (int m = 0; m < kMonitors; ++m)
        monitors.emplace_back([&, m] {
            for (int r = 0; r < kRecords; ++r)
                Write("user" + std::to_string(m), "Laser", r);
        });
    for (auto& monitor : monitors)
        monitor.join();

    const std::string all = Read("d_20260305.xml");
    size_t expectedSize = head_.size();
    for (int m = 0; m < kMonitors; ++m)
        for (int r = 0; r < kRecords; ++r)
            expectedSize += Event("user" + std::to_string(m), "Laser", r).size();
    EXPECT_EQ(all.size(), expectedSize);
    EXPECT_EQ(Count(all, "\n<event>"), size_t{kMonitors * kRecords});
    EXPECT_EQ(Count(all, "</event>"), size_t{kMonitors * kRecords});
    EXPECT_EQ(Count(all, "</user></event>\n<event>"), size_t{kMonitors * kRecords - 1});
    const std::string settings = *ReadFileBytes(folder_ / "settings.xml");
    for (int m = 0; m < kMonitors; ++m)
        EXPECT_EQ(Count(settings, "<username>user" + std::to_string(m) + "</username>"), 1u) << m;
}

// A member of the group links the year file to a file outside and a user's
// folder to a folder outside; the root monitor then writes a record.
// FOR THE MERGER: this fails with today's writer, which appends through
// paths (AppendToFile, create_directories). Remove DISABLED_ once it opens
// its period files through SafeFolder (OpenFile with MissingFolders::Create).
TEST_F(EventLogWriterTest, DISABLED_LinksPlantedInLogsLeadNowhere)
{
    TempFolder outside;
    fs::create_directories(outside / "folder");
    ASSERT_TRUE(ReplaceFile(outside / "file", "outside"));
    fs::create_directories(folder_ / "Logs" / "Users");
    fs::create_symlink(outside / "file", folder_ / "Logs" / "y_2026.xml");
    fs::create_directory_symlink(outside / "folder", folder_ / "Logs" / "Users" / "maria");

    Write("maria", "Laser", 1);
    EXPECT_EQ(ReadFileBytes(outside / "file"), "outside");
    EXPECT_TRUE(SortedFileNames(outside / "folder").empty());
    EXPECT_TRUE(fs::is_symlink(folder_ / "Logs" / "y_2026.xml"));
    // The files that are no link still get the record.
    EXPECT_EQ(Read("d_20260305.xml"), head_ + Event("maria", "Laser", 1));
    EXPECT_EQ(Read("Printers/Printer_2/y_2026.xml"), head_ + Event("maria", "Laser", 1));
}

}  // namespace
}  // namespace ostrel::test
