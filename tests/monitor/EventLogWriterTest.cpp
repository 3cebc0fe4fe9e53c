#include "EventLogWriter.h"

#include "FakeClock.h"
#include "Files.h"
#include "RecordJournal.h"
#include "SettingsDocument.h"
#include "TempFolder.h"
#include "ZoneGuard.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <thread>
#include <tuple>

namespace ostrel::test {
namespace {

namespace fs = std::filesystem;

std::string Event(const std::string& user, const std::string& printer, int n = 1)
{
    return "\n<event><day>05</day><month>03</month><year>2026</year><hour>10</hour><min>00</min><doc>d" +
           std::to_string(n) + "</doc><pages>1</pages><cost>5</cost><printer>" + printer + "</printer><user>" + user +
           "</user></event>";
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::int64_t Seconds(Clock::TimePoint at)
{
    return std::chrono::duration_cast<std::chrono::seconds>(at.time_since_epoch()).count();
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
    clock_.Advance(
        std::chrono::duration_cast<std::chrono::milliseconds>(LocalTimePoint(2027, 1, 1, 0, 1) - clock_.Now()));
    const std::string late =
        "\n<event><day>31</day><month>12</month><year>2026</year><hour>23</hour><min>58</min>"
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
        EXPECT_TRUE(path.starts_with("Logs") || path.starts_with("settings.xml") ||
                    path == EventLogWriter::kJournalName)
            << path;
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

TEST_F(EventLogWriterTest, AnEditOfTheSettingsOrADeletedFileIsSeenByTheNextRecord)
{
    Write("maria", "Laser", 1);
    // The console replaces the document; an administrator edits it in place.
    ReplaceFile(folder_ / "settings.xml",
                "<log><printers><name>Laser</name><ID>7</ID><cost>5</cost>"
                "<monitored>1</monitored></printers><users></users></log>");
    Write("maria", "Laser", 2);
    std::ofstream(folder_ / "settings.xml", std::ios::trunc)
        << "<log><printers><name>Laser</name><ID>8</ID><cost>5</cost><monitored>1</monitored></printers></log>";
    Write("john", "Laser", 3);
    EXPECT_EQ(Read("Printers/Printer_2/y_2026.xml"), head_ + Event("maria", "Laser", 1));
    EXPECT_EQ(Read("Printers/Printer_7/y_2026.xml"), head_ + Event("maria", "Laser", 2));
    EXPECT_EQ(Read("Printers/Printer_8/y_2026.xml"), head_ + Event("john", "Laser", 3));
    // A period file deleted between two records is made again, not written
    // where nobody sees it.
    fs::remove(folder_ / "Logs" / "y_2026.xml");
    Write("john", "Laser", 4);
    EXPECT_EQ(Read("y_2026.xml"), head_ + Event("john", "Laser", 4));
    // The users the edits dropped are added again by their next record.
    const std::string settings = *ReadFileBytes(folder_ / "settings.xml");
    EXPECT_NE(settings.find("<users><username>john</username></users>"), std::string::npos) << settings;
}

// Where a kill can leave a record: taken on; placed and in some of its
// files; cut short in one; in all of them but not marked done.
struct Crash {
    const char* name;
    bool placed;
    size_t filesWritten;  // of the eighteen, in writing order
    size_t tornBytes;     // of the next file's bytes, written before the kill
};

TEST_F(EventLogWriterTest, AReplayPutsARecordACrashInterruptedIntoEachFileOnce)
{
    const Crash crashes[] = {
        {"taken", false, 0, 0},        {"placed", true, 0, 0},
        {"in seven", true, 7, 0},      {"torn in the eighth", true, 7, 40},
        {"torn new file", true, 0, 3}, {"in all, not done", true, 18, 0},
    };
    int n = 0;
    for (const Crash& crash : crashes) {
        SCOPED_TRACE(crash.name);
        ++n;
        // An earlier job with the very same record, so that a record found
        // in a file is not taken for the one the crash interrupted.
        const std::string user = "u" + std::to_string(n);
        Write(user, "Laser", n);
        const std::vector<fs::path> files = writer_.PeriodFiles(clock_.Now(), user, "Printer_2");
        {
            RecordJournal journal(folder_ / EventLogWriter::kJournalName);
            journal.Load();
            const EventRecord record{Event(user, "Laser", n), user, "Laser", "cups/Laser", 100u + n};
            const std::uint64_t sequence = journal.Take(record, 0);
            if (crash.placed) {
                RecordPlacement placement{Seconds(clock_.Now()), user, "Printer_2", {}};
                for (const fs::path& file : files)
                    placement.sizesBefore.push_back(static_cast<std::int64_t>(fs::file_size(file)));
                if (crash.tornBytes == 3)  // as if its day had no file yet
                    fs::remove(files[0]), placement.sizesBefore[0] = -1;
                journal.Place(sequence, placement);
                for (size_t i = 0; i < crash.filesWritten; ++i)
                    AppendToFile(files[i], record.text);
                if (crash.tornBytes)
                    AppendToFile(files[crash.filesWritten], (crash.tornBytes == 3 ? head_ : record.text).substr(0, 3));
            }
        }  // killed here

        EventLogWriter restarted(folder_.Path().string(), clock_);
        restarted.Replay();
        for (const fs::path& file : files) {
            const std::string bytes = *ReadFileBytes(file);
            EXPECT_EQ(Count(bytes, Event(user, "Laser", n)), crash.tornBytes == 3 && file == files[0] ? 1u : 2u)
                << file;
            EXPECT_TRUE(bytes.starts_with(head_ + "\n<event>") && bytes.ends_with("</event>")) << file;
        }
        RecordJournal after(folder_ / EventLogWriter::kJournalName);
        after.Load();
        EXPECT_TRUE(after.Pending().empty());
        EXPECT_FALSE(after.Owed("cups/Laser", 100u + n, 0));
    }
}

TEST_F(EventLogWriterTest, OwedRecordsOutliveTheirFilesARestartAndARewriteUntilForwarded)
{
    const auto record = [](int n) {
        return EventRecord{Event("maria", "Laser", n), "maria", "Laser", "cups/Laser", 100u + n, 1700000000 + n};
    };
    writer_.OweToCentre(true);
    for (int n = 1; n <= 4; ++n)
        writer_.Write(record(n));
    std::vector<OwedRecord> owed = writer_.OwedRecords(10);
    ASSERT_EQ(owed.size(), 4u);
    EXPECT_EQ(writer_.OwedRecords(3).size(), 3u);
    writer_.Forwarded(owed[1].sequence);

    // A restart rewrites the journal; what is owed stays, exactly, and in order.
    EventLogWriter restarted(folder_.Path().string(), clock_);
    restarted.Replay();
    const std::vector<OwedRecord> kept = restarted.OwedRecords(10);
    ASSERT_EQ(kept.size(), 2u);
    for (size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(kept[i].sequence, owed[i + 2].sequence);
        EXPECT_EQ(kept[i].takenAt, Seconds(clock_.Now()));
        const EventRecord& r = kept[i].record;
        const EventRecord want = record(static_cast<int>(i) + 3);
        EXPECT_EQ(std::tie(r.text, r.user, r.printer, r.queue, r.jobId, r.submittedAt),
                  std::tie(want.text, want.user, want.printer, want.queue, want.jobId, want.submittedAt));
    }
    EXPECT_EQ(restarted.OwingToCentre().count, 2u);
    EXPECT_EQ(restarted.OwingToCentre().oldest, Seconds(clock_.Now()));

    // Without a central store nothing more is owed; once all is forwarded,
    // the numbering still goes on past every record ever sent.
    restarted.Write(record(5));
    restarted.Forwarded(kept.back().sequence);
    EXPECT_EQ(restarted.OwingToCentre().count, 0u);
    EventLogWriter again(folder_.Path().string(), clock_);
    again.Replay();
    again.OweToCentre(true);
    again.Write(record(6));
    const std::vector<OwedRecord> fresh = again.OwedRecords(10);
    ASSERT_EQ(fresh.size(), 1u);
    EXPECT_EQ(fresh[0].sequence, owed.back().sequence + 2);
    EXPECT_EQ(Count(*ReadFileBytes(writer_.PeriodFiles(clock_.Now(), "maria", "Printer_2").back()), "<event>"), 6u);
}

// A file system of its own for the logs, so that it can fill up.
class SmallLogsDisk {
public:
    explicit SmallLogsDisk(const fs::path& logs) : logs_(logs)
    {
        fs::create_directories(logs);
        mounted_ = ::mount("tmpfs", logs.c_str(), "tmpfs", 0, "size=256k") == 0;
    }
    ~SmallLogsDisk()
    {
        if (mounted_)
            ::umount2(logs_.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    // Takes all the room there is.
    void Fill()
    {
        std::ofstream filler(logs_ / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size()))
            ;
    }
    void Free() { fs::remove(logs_ / "filler"); }

private:
    fs::path logs_;
    bool mounted_ = false;
};

TEST_F(EventLogWriterTest, RecordsMetByAFullDiskAreKeptAndWrittenOnceThereIsRoom)
{
    SmallLogsDisk disk(folder_ / "Logs");
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a small file system takes root";
    // Longer than the room left in a file's last block, so that none fits.
    const auto big = [](const std::string& user, int n) {
        std::string event = Event(user, "Laser", n);
        return event.insert(event.find("</doc>"), std::string(5000, 'x'));
    };
    Write("maria", "Laser", 1);
    disk.Fill();
    writer_.Write({big("maria", 2), "maria", "Laser"});
    writer_.Write({big("john", 3), "john", "Laser"});
    EXPECT_TRUE(writer_.HasKept());
    for (const fs::path& file : writer_.PeriodFiles(clock_.Now(), "maria", "Printer_2"))
        EXPECT_EQ(ReadFileBytes(file), head_ + Event("maria", "Laser", 1)) << file;  // nothing torn
    EXPECT_FALSE(fs::exists(folder_ / "Logs/Users/john/y_2026.xml"));

    disk.Free();
    writer_.RetryKept();
    EXPECT_FALSE(writer_.HasKept());
    EXPECT_EQ(Read("y_2026.xml"), head_ + Event("maria", "Laser", 1) + big("maria", 2) + big("john", 3));
    for (const fs::path& file : writer_.PeriodFiles(clock_.Now(), "john", "Printer_2"))
        EXPECT_EQ(Count(*ReadFileBytes(file), big("john", 3)), 1u) << file;
}

// A member of the group links the year file to a file outside and a user's
// folder to a folder outside; the root monitor then writes a record.
TEST_F(EventLogWriterTest, LinksPlantedInLogsLeadNowhere)
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

// Who printed what is for root and the administrators' group alone: what
// the monitor makes has the tree's modes whatever umask it runs under.
TEST_F(EventLogWriterTest, WhatItMakesIsForTheGroupAloneWhateverTheUmask)
{
    fs::remove(folder_ / "settings.xml");  // made anew with the first user
    for (const mode_t mask : {mode_t{0}, mode_t{022}, mode_t{077}}) {
        const mode_t previous = ::umask(mask);
        Write("user" + std::to_string(mask), "Laser");
        ::umask(previous);
    }
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder_.Path())) {
        struct stat status {};
        ASSERT_EQ(::lstat(entry.path().c_str(), &status), 0);
        const std::string path = fs::relative(entry.path(), folder_.Path()).string();
        const mode_t expected = S_ISDIR(status.st_mode)                ? kPrivateFolderMode
                                : path == EventLogWriter::kJournalName ? mode_t{0600}
                                                                       : kPrivateFileMode;
        EXPECT_EQ(status.st_mode & 07777, expected) << path;
        files += S_ISREG(status.st_mode);
    }
    // The first record's eighteen files, the six of each other user, the
    // document, its lock and the journal.
    EXPECT_EQ(files, 18u + 6 + 6 + 3);
}

}  // namespace
}  // namespace ostrel::test
