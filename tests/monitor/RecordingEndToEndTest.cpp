// The monitor's main job, end to end: kestrun-host with libKestrun.so
// watching two printers of a private CUPS scheduler, real jobs printed with
// lp, and the records that land in the period logs.

#include "CupsServer.h"
#include "Files.h"
#include "PeriodKeys.h"
#include "PrintDocuments.h"
#include "Process.h"
#include "RegValue.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

namespace ostrel::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Polls until `condition` holds; PostScript through the filters on two busy
// cores takes a while, so patience is generous.
bool Eventually(const std::function<bool()>& condition, std::chrono::seconds patience = 90s)
{
    for (auto deadline = std::chrono::steady_clock::now() + patience; std::chrono::steady_clock::now() < deadline;) {
        if (condition())
            return true;
        std::this_thread::sleep_for(100ms);
    }
    return condition();
}

class RecordingEndToEndTest : public ::testing::Test {
protected:
    RecordingEndToEndTest()
        : cups_({"Laser", "Inkjet"}), app_(folder_ / "app"), hive_(folder_ / "registry" / "HKEY_LOCAL_MACHINE")
    {
        fs::create_directory(app_);
        ReplaceFile(app_ / "settings.xml",
                    "<log><printers><name>Inkjet</name><ID>2</ID><cost>12</cost><monitored>1</monitored>"
                    "<name>Laser</name><ID>1</ID><cost>5</cost><monitored>1</monitored></printers></log>");
        RegValueString("Software\\Ostrel\\AppPath", "", false, hive_).Set(app_.string());
    }

    std::string Log(const fs::path& tail) const { return ReadFileBytes(app_ / "Logs" / tail).value_or(""); }
    std::string YearLog() const { return Log("y_" + PeriodKeysAt(std::chrono::system_clock::now()).year + ".xml"); }

    // Prints probes until one is recorded: only then are both monitors
    // certainly subscribed, and no later job can slip past them.
    void AwaitMonitoring()
    {
        for (int probe = 1; probe <= 20; ++probe) {
            const std::string title = "probe " + std::to_string(probe);
            for (const char* printer : {"Laser", "Inkjet"})
                cups_.Submit({printer, "prober", title, cups_.PdfWithPages(1)});
            if (Eventually([&] { return Count(YearLog(), title) == 2; }, 15s))
                return;
        }
        FAIL() << "the monitor never recorded a probe job";
    }

    TempFolder folder_;
    CupsServer cups_;
    fs::path app_;
    DirectoryRegistry hive_;
};

TEST_F(RecordingEndToEndTest, EveryJobLandsOnceInEachOfItsEighteenFiles)
{
    Process host(BuiltProgram("kestrun-host"), {},
                 {{"OSTREL_REGISTRY_ROOT", (folder_ / "registry").string()}, {"CUPS_SERVER", cups_.Address()}});
    AwaitMonitoring();

    // CUPS itself names a job "Untitled" when its title holds control
    // characters or bytes that are not UTF-8; the recorder's own handling
    // of those is tested without CUPS.
    const std::string hostile = "<a>&'\"../../etc/passwd caf\xC3\xA9";
    cups_.Submit({"Laser", "alice", "Quarterly report", cups_.PdfWithPages(3)});
    cups_.Submit({"Inkjet", "bob", "Two copies", cups_.PdfWithPages(3), 2});
    cups_.Submit({"Laser", "bob", hostile, cups_.PdfWithPages(1)});
    const std::uint32_t held = cups_.Submit({"Inkjet", "alice", "Changed my mind", cups_.PdfWithPages(2), 1, true});
    cups_.Cancel(held);

    struct Expected {
        const char* record;  // the doc, pages, cost, printer and user elements
        const char* user;
        const char* printerFolder;
    };
    const Expected jobs[] = {
        {"<doc>Quarterly report</doc><pages>3</pages><cost>15</cost><printer>Laser</printer><user>alice</user>",
         "alice", "Printer_1"},
        {"<doc>Two copies</doc><pages>6</pages><cost>72</cost><printer>Inkjet</printer><user>bob</user>", "bob",
         "Printer_2"},
        {"<doc>a../../etc/passwd caf\xC3\xA9</doc><pages>1</pages><cost>5</cost>"
         "<printer>Laser</printer><user>bob</user>",
         "bob", "Printer_1"},
        {"<doc>Changed my mind</doc><pages>0</pages><cost>0</cost><printer>Inkjet</printer><user>alice</user>", "alice",
         "Printer_2"},
    };
    ASSERT_TRUE(Eventually([&] {
        const std::string log = YearLog();
        for (const auto& job : jobs)
            if (Count(log, job.record) == 0)
                return false;
        return true;
    })) << YearLog();

    const PeriodKeys keys = PeriodKeysAt(std::chrono::system_clock::now());
    const std::vector<std::string> names = {"d_" + keys.day + ".xml",
                                            "w_" + keys.week + "_" + keys.year + ".xml",
                                            "m_" + keys.month + "_" + keys.year + ".xml",
                                            "q_" + keys.quarter + "_" + keys.year + ".xml",
                                            "s_" + keys.semester + "_" + keys.year + ".xml",
                                            "y_" + keys.year + ".xml"};
    for (const auto& job : jobs)
        for (const std::string& folder : {std::string(), "Users/" + std::string(job.user) + "/",
                                          "Printers/" + std::string(job.printerFolder) + "/"})
            for (const auto& name : names)
                EXPECT_EQ(Count(Log(folder + name), job.record), 1u) << folder + name << ": " << job.record;

    const std::string settings = ReadFileBytes(app_ / "settings.xml").value_or("");
    for (const char* user : {"alice", "bob", "prober"})
        EXPECT_EQ(Count(settings, "<username>" + std::string(user) + "</username>"), 1u) << user;
    for (const auto& entry : fs::recursive_directory_iterator(app_)) {
        const std::string path = fs::relative(entry.path(), app_).string();
        EXPECT_TRUE(path.starts_with("Logs") || path.starts_with("settings.xml") || path == "Kestrun.journal") << path;
    }

    ASSERT_TRUE(host.Signal(SIGTERM));
    const auto ended = host.Wait(5s);
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->exitCode, 0) << ended->err;
}

// The six file names of today, from the day to the year.
std::vector<std::string> TodaysNames()
{
    const PeriodKeys keys = PeriodKeysAt(std::chrono::system_clock::now());
    return {"d_" + keys.day + ".xml",
            "w_" + keys.week + "_" + keys.year + ".xml",
            "m_" + keys.month + "_" + keys.year + ".xml",
            "q_" + keys.quarter + "_" + keys.year + ".xml",
            "s_" + keys.semester + "_" + keys.year + ".xml",
            "y_" + keys.year + ".xml"};
}

// kestrun-host on two raw queues of a private scheduler, quick to print to.
class HostOnRawQueues : public ::testing::Test {
protected:
    HostOnRawQueues() : cups_({}, {"RawA", "RawB"}), app_(folder_ / "app")
    {
        fs::create_directory(app_);
        ReplaceFile(app_ / "settings.xml",
                    "<log><printers><name>RawA</name><ID>1</ID><cost>5</cost><monitored>1</monitored>"
                    "<name>RawB</name><ID>2</ID><cost>7</cost><monitored>1</monitored></printers></log>");
        DirectoryRegistry hive(folder_ / "registry" / "HKEY_LOCAL_MACHINE");
        RegValueString("Software\\Ostrel\\AppPath", "", false, hive).Set(app_.string());
    }

    std::unique_ptr<Process> StartHost() const
    {
        return std::make_unique<Process>(
            BuiltProgram("kestrun-host"), std::vector<std::string>{},
            std::map<std::string, std::string>{{"OSTREL_REGISTRY_ROOT", (folder_ / "registry").string()},
                                               {"CUPS_SERVER", cups_.Address()}});
    }
    std::string DayLog() const { return ReadFileBytes(app_ / "Logs" / TodaysNames().front()).value_or(""); }
    // Prints until a probe is recorded: from then on the monitor watches.
    bool AwaitProbe()
    {
        return Eventually(
            [&] {
                cups_.Submit({"RawA", "prober", "probe", cups_.PdfWithPages(1)});
                return Count(DayLog(), "<doc>probe</doc>") > 0;
            },
            30s);
    }

    TempFolder folder_;
    CupsServer cups_;
    fs::path app_;
};

TEST_F(HostOnRawQueues, LinksPlantedInLogsByTheGroupLeadTheRootMonitorNowhere)
{
    auto host = StartHost();
    ASSERT_TRUE(AwaitProbe()) << "the monitor never recorded a probe job";
    TempFolder outside;
    ASSERT_TRUE(ReplaceFile(outside / "file", "outside"));
    fs::create_directory(outside / "folder");
    fs::remove(app_ / "Logs" / TodaysNames().back());
    fs::create_symlink(outside / "file", app_ / "Logs" / TodaysNames().back());
    fs::create_directories(app_ / "Logs" / "Users");
    fs::create_directory_symlink(outside / "folder", app_ / "Logs" / "Users" / "maria");

    cups_.Submit({"RawB", "maria", "after the links", cups_.PdfWithPages(1)});
    ASSERT_TRUE(Eventually([&] { return Count(DayLog(), "<doc>after the links</doc>") == 1; })) << DayLog();
    EXPECT_EQ(ReadFileBytes(outside / "file"), "outside");
    EXPECT_TRUE(SortedFileNames(outside / "folder").empty());
    EXPECT_EQ(Count(ReadFileBytes(app_ / "Logs/Printers/Printer_2" / TodaysNames().back()).value_or(""),
                    "<doc>after the links</doc>"),
              1u);
}

TEST_F(HostOnRawQueues, PagesCupsDoesNotCountAreCountedFromTheDocumentTimesItsCopies)
{
    auto host = StartHost();
    ASSERT_TRUE(AwaitProbe()) << "the monitor never recorded a probe job";
    const auto document = [&](const std::string& name, const std::string& bytes) {
        const fs::path file = folder_ / name;
        EXPECT_TRUE(ReplaceFile(file, bytes));
        return file;
    };
    struct Printed {
        std::string title;
        fs::path file;
        int copies;
        int pages;  // recorded, at 5 a page
    };
    const fs::path pdf = cups_.PdfWithPages(3), ps = document("two.ps", PostScriptWithPages(2)),
                   pcl = document("four.pcl", PclWithPages(4)), text = document("listing.txt", TextWithLines(100));
    const std::string wholePdf = MinimalPdf(6);
    const std::vector<Printed> printed = {
        {"pdf once", pdf, 1, 3},
        {"pdf twice", pdf, 2, 6},
        {"ps once", ps, 1, 2},
        {"ps twice", ps, 2, 4},
        {"pcl once", pcl, 1, 4},
        {"pcl twice", pcl, 2, 8},
        {"text once", text, 1, 2},
        {"text twice", text, 2, 4},
        // Damaged and hostile: what can be made of them, or nothing.
        {"truncated pdf", document("cut.pdf", wholePdf.substr(0, wholePdf.size() / 2)), 1, 0},
        {"pcl repeat",
         document("repeat.pcl",
                  "\x1b"
                  "E\x1b&l999999999Xpage\x0c"),
         1, 9999},
        {"ps claim", document("claim.ps", "%!PS-Adobe-3.0\n%%Pages: 1000000000\nshowpage\n"), 1, 1},
    };
    for (const Printed& job : printed)
        cups_.Submit({"RawA", "counter", job.title, job.file, job.copies});

    const auto record = [](const Printed& job) {
        return "<doc>" + job.title + "</doc><pages>" + std::to_string(job.pages) + "</pages><cost>" +
               std::to_string(job.pages * 5) + "</cost><printer>RawA</printer><user>counter</user>";
    };
    ASSERT_TRUE(Eventually([&] {
        const std::string log = DayLog();
        return std::all_of(printed.begin(), printed.end(),
                           [&](const Printed& job) { return Count(log, "<doc>" + job.title + "</doc>") > 0; });
    })) << DayLog();
    const std::string log = DayLog();
    for (const Printed& job : printed) {
        EXPECT_EQ(Count(log, record(job)), 1u) << record(job) << "\n" << log;
        EXPECT_EQ(Count(log, "<doc>" + job.title + "</doc>"), 1u) << job.title;
    }
}

TEST_F(HostOnRawQueues, EveryJobPrintedWhileTheHostIsKilledAndRestartedIsRecordedOnceInEachFile)
{
    auto host = StartHost();
    ASSERT_TRUE(AwaitProbe()) << "the monitor never recorded a probe job";
    const auto yearLog = [&] { return ReadFileBytes(app_ / "Logs" / TodaysNames().back()).value_or(""); };
    CupsServer& cups = cups_;
    const fs::path& app = app_;

    constexpr int kJobs = 60, kKills = 8;
    std::thread printing([&] {
        for (int job = 0; job < kJobs; ++job) {
            cups.Submit({job % 2 ? "RawB" : "RawA", "crasher", "crash " + std::to_string(job), cups.PdfWithPages(1)});
            std::this_thread::sleep_for(30ms);
        }
    });
    std::mt19937 random(20261209);
    for (int kill = 0; kill < kKills; ++kill) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100 + random() % 500));
        ASSERT_TRUE(host->Signal(SIGKILL));
        ASSERT_TRUE(host->Wait(5s));
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 300));
        host = StartHost();
    }
    printing.join();

    const auto record = [](int job) {
        // One page each, counted from the document: CUPS counts nothing here.
        return "<doc>crash " + std::to_string(job) + "</doc><pages>1</pages><cost>" + (job % 2 ? "7" : "5") +
               "</cost><printer>" + (job % 2 ? "RawB" : "RawA") + "</printer><user>crasher</user>";
    };
    EXPECT_TRUE(Eventually([&] {
        const std::string log = yearLog();
        for (int job = 0; job < kJobs; ++job)
            if (Count(log, record(job)) == 0)
                return false;
        return true;
    })) << yearLog();
    int lost = 0, doubled = 0;
    for (int job = 0; job < kJobs; ++job)
        for (const std::string& where : {std::string(), std::string("Users/crasher/"),
                                         std::string(job % 2 ? "Printers/Printer_2/" : "Printers/Printer_1/")})
            for (const std::string& name : TodaysNames()) {
                const size_t times = Count(ReadFileBytes(app / "Logs" / (where + name)).value_or(""), record(job));
                lost += times == 0;
                doubled += times > 1;
                EXPECT_EQ(times, 1u) << where + name << ": " << record(job);
            }
    std::printf("%d jobs, %d kills: %d file records lost, %d doubled\n", kJobs, kKills, lost, doubled);
    ASSERT_TRUE(host->Signal(SIGTERM));
    EXPECT_TRUE(host->Wait(5s));
}

}  // namespace
}  // namespace ostrel::test
