// The central store end to end: two print servers (each its own private
// CUPS scheduler, application folder, registry store and kestrun-host)
// feeding one private PostgreSQL, through outages of either side.

#include "CupsServer.h"
#include "Files.h"
#include "PeriodKeys.h"
#include "PostgresServer.h"
#include "Process.h"
#include "RegValue.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <regex>
#include <thread>

namespace ostrel::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Row = std::vector<std::string>;

bool Eventually(const std::function<bool()>& condition, std::chrono::seconds patience = 120s)
{
    for (auto deadline = std::chrono::steady_clock::now() + patience; std::chrono::steady_clock::now() < deadline;) {
        if (condition())
            return true;
        std::this_thread::sleep_for(100ms);
    }
    return condition();
}

// One print server: its scheduler with two raw queues, its folders, its host.
class Site {
public:
    Site(const std::string& name, const std::string& conninfo)
        : name_(name),
          cups_({}, {"Front", "Back"}),
          app_(folder_ / "app"),
          hive_(folder_ / "registry" / "HKEY_LOCAL_MACHINE")
    {
        fs::create_directory(app_);
        ReplaceFile(app_ / "settings.xml",
                    "<log><printers><name>Front</name><ID>1</ID><cost>5</cost><monitored>1</monitored>"
                    "<name>Back</name><ID>2</ID><cost>7</cost><monitored>1</monitored></printers></log>");
        RegValueString("Software\\Ostrel\\AppPath", "", false, hive_).Set(app_.string());
        RegValueString("Software\\Ostrel\\CentralDatabase", "", false, hive_).Set(conninfo);
        RegValueString("Software\\Ostrel\\ServerName", "", false, hive_).Set(name);
    }

    void Start()
    {
        host_ = std::make_unique<Process>(
            BuiltProgram("kestrun-host"), std::vector<std::string>{},
            std::map<std::string, std::string>{{"OSTREL_REGISTRY_ROOT", (folder_ / "registry").string()},
                                               {"CUPS_SERVER", cups_.Address()}});
    }
    void Kill()
    {
        host_->Signal(SIGKILL);
        host_->Wait(10s);
        host_.reset();
    }
    void Print(const std::string& printer, const std::string& user, const std::string& title)
    {
        cups_.Submit({printer, user, title, cups_.PdfWithPages(1)});
    }
    // Prints until a probe is recorded: from then on the monitor watches.
    bool AwaitProbe(int n)
    {
        const std::string title = "probe " + name_ + " " + std::to_string(n);
        for (int attempt = 0; attempt < 20; ++attempt) {
            Print("Front", "prober", title);
            if (Eventually([&] { return Recorded(title) > 0; }, 3s))
                return true;
        }
        return false;
    }
    // How many records of the year file carry `title`.
    size_t Recorded(const std::string& title) const
    {
        const std::vector<Row> rows = Records();
        return std::count_if(rows.begin(), rows.end(), [&](const Row& row) { return row[3] == title; });
    }
    std::string YearLog() const
    {
        return ReadFileBytes(app_ / "Logs" / ("y_" + PeriodKeysAt(std::chrono::system_clock::now()).year + ".xml"))
            .value_or("");
    }
    // The machine-wide year file's records, each as the view shows it.
    std::vector<Row> Records() const
    {
        static const std::regex event(
            "<event><day>(.*?)</day><month>(.*?)</month><year>(.*?)</year><hour>(.*?)</hour><min>(.*?)</min>"
            "<doc>(.*?)</doc><pages>(.*?)</pages><cost>(.*?)</cost><printer>(.*?)</printer><user>(.*?)</user>"
            "</event>");
        std::vector<Row> rows;
        const std::string log = YearLog();
        for (std::sregex_iterator it(log.begin(), log.end(), event), end; it != end; ++it) {
            const std::smatch& m = *it;
            rows.push_back({name_, m[9], m[10], m[6], m[7], m[8], m[3], m[2], m[1], m[4], m[5]});
        }
        return rows;
    }
    fs::path JournalFile() const { return app_ / "Kestrun.journal"; }
    std::string Journal() const { return ReadFileBytes(JournalFile()).value_or(""); }
    void SetJournal(const std::string& bytes) const { ReplaceFile(app_ / "Kestrun.journal", bytes, 0600); }
    std::string Value(const std::string& name) const
    {
        return RegValueString("Software\\Ostrel\\" + name, "", false, const_cast<DirectoryRegistry&>(hive_)).Get();
    }

private:
    std::string name_;
    TempFolder folder_;
    CupsServer cups_;
    fs::path app_;
    DirectoryRegistry hive_;
    std::unique_ptr<Process> host_;
};

class CentralStoreEndToEndTest : public ::testing::Test {
protected:
    CentralStoreEndToEndTest()
    {
        postgres_.ApplySchema();
        north_ = std::make_unique<Site>("north", postgres_.Conninfo("ostrel_writer"));
        south_ = std::make_unique<Site>("south", postgres_.Conninfo("ostrel_writer"));
    }

    // The view as the reader role sees it, in the order of Site::Records.
    std::vector<Row> Central() const
    {
        return postgres_.Rows(
            "SELECT server, printer, username, document, pages, cost, local_year, local_month, "
            "local_day, local_hour, local_minute FROM ostrel_jobs",
            "ostrel_reader");
    }
    std::vector<Row> Union() const
    {
        std::vector<Row> rows = north_->Records();
        const std::vector<Row> south = south_->Records();
        rows.insert(rows.end(), south.begin(), south.end());
        return rows;
    }
    // True once the view holds exactly the union of the two year files.
    bool Converged() const
    {
        std::vector<Row> central = Central(), files = Union();
        std::sort(central.begin(), central.end());
        std::sort(files.begin(), files.end());
        return central == files;
    }

    PostgresServer postgres_;
    std::unique_ptr<Site> north_;
    std::unique_ptr<Site> south_;
};

TEST_F(CentralStoreEndToEndTest, TwoServersFeedOneViewEachJobOnceWithItsServerHostileNamesAsText)
{
    north_->Start();
    south_->Start();
    ASSERT_TRUE(north_->AwaitProbe(1));
    ASSERT_TRUE(south_->AwaitProbe(1));

    const std::vector<std::string> titles = {
        "O'Brien's \"minutes\"",         "back\\slash \\N",          "'); DROP TABLE ostrel_job_records; --",
        std::string(200, 'x') + " long", "caf\xC3\xA9 \xE2\x82\xAC",
    };
    for (const std::string& title : titles) {
        north_->Print("Front", "alice", title);
        south_->Print("Back", "bob", title);
    }
    ASSERT_TRUE(Eventually([&] {
        return std::all_of(titles.begin(), titles.end(), [&](const std::string& title) {
            // The XML specials go before a record is written.
            std::string recorded = title;
            std::erase_if(recorded, [](char c) { return c == '\'' || c == '"'; });
            return north_->Recorded(recorded) == 1 && south_->Recorded(recorded) == 1;
        });
    }));
    ASSERT_TRUE(Eventually([&] { return Converged(); })) << Central().size() << " rows, " << Union().size();

    // Each server under the id its monitor made, by its display name.
    const std::vector<Row> servers =
        postgres_.Rows("SELECT server_id, name FROM ostrel_servers ORDER BY name", "ostrel_reader");
    EXPECT_EQ(servers, (std::vector<Row>{{north_->Value("ServerId"), "north"}, {south_->Value("ServerId"), "south"}}));
    EXPECT_EQ(postgres_.Query("SELECT count(*) FROM ostrel_jobs WHERE document = '); DROP TABLE "
                              "ostrel_job_records; --' AND server IN ('north', 'south')"),
              "2\n");
    // Instants: created before recorded, both within the test.
    EXPECT_EQ(postgres_.Query("SELECT count(*) FROM ostrel_jobs WHERE submitted_at IS NULL OR submitted_at > "
                              "recorded_at + interval '5 s' OR recorded_at < now() - interval '10 min'"),
              "0\n");
    EXPECT_TRUE(Eventually([&] { return north_->Value("CentralStatus") == "0"; }));
}

TEST_F(CentralStoreEndToEndTest, KilledDatabaseAndKilledHostLoseNothingAndDoubleNothing)
{
    north_->Start();
    south_->Start();
    ASSERT_TRUE(north_->AwaitProbe(1));
    ASSERT_TRUE(south_->AwaitProbe(1));
    ASSERT_TRUE(Eventually([&] { return Converged(); }));

    // The centre dies; printing goes on and the files take every job.
    postgres_.Kill();
    const int kJobs = 12;
    for (int n = 0; n < kJobs; ++n) {
        north_->Print(n % 2 ? "Front" : "Back", "carol", "while down " + std::to_string(n));
        south_->Print(n % 2 ? "Front" : "Back", "dave", "while down " + std::to_string(n));
    }
    const auto whileDown = [&](const Site& site) {
        int count = 0;
        for (int n = 0; n < kJobs; ++n)
            count += static_cast<int>(site.Recorded("while down " + std::to_string(n)));
        return count;
    };
    ASSERT_TRUE(Eventually([&] { return whileDown(*north_) == kJobs && whileDown(*south_) == kJobs; }));
    const auto notProbes = [](std::vector<Row> rows) {
        std::erase_if(rows, [](const Row& r) { return r[3].starts_with("probe "); });
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    const std::vector<Row> filesBefore = notProbes(Union());
    // The console's line says how many wait (probes still in flight may add to them).
    EXPECT_TRUE(Eventually([&] {
        const std::string status = north_->Value("CentralStatus");
        return !status.empty() && status != "0" && std::stoll(status) >= kJobs;
    })) << north_->Value("CentralStatus");

    // The centre returns; north is killed while it catches up, then restarted.
    postgres_.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(50 + std::rand() % 200));
    north_->Kill();
    north_->Start();
    ASSERT_TRUE(north_->AwaitProbe(2));
    ASSERT_TRUE(Eventually([&] { return Converged(); })) << Central().size() << " rows, " << Union().size();

    // Killed after its commits but before their marks: the journal still owes
    // what the centre holds. The resend changes nothing there.
    north_->Kill();
    std::string journal = north_->Journal();
    const size_t marks = std::count(journal.begin(), journal.end(), '\n');
    journal = std::regex_replace(journal, std::regex("(^|\n)F\t[0-9]+(?=\n)"), "$1");
    journal = std::regex_replace(journal, std::regex("\n\n"), "\n");
    ASSERT_LT(std::count(journal.begin(), journal.end(), '\n'), marks) << "no forwarded marks to take back";
    north_->SetJournal(journal);
    north_->Start();
    ASSERT_TRUE(north_->AwaitProbe(3));
    ASSERT_TRUE(Eventually([&] { return north_->Value("CentralStatus") == "0"; }));
    ASSERT_TRUE(Eventually([&] { return Converged(); })) << Central().size() << " rows, " << Union().size();

    // Nothing lost, nothing doubled, and the files hold what they held.
    EXPECT_EQ(notProbes(Union()), filesBefore);
    EXPECT_EQ(postgres_.Query("SELECT count(*) FROM (SELECT server, document FROM ostrel_jobs "
                              "WHERE document LIKE 'while down %' GROUP BY 1, 2 HAVING count(*) > 1) doubled"),
              "0\n");
    EXPECT_EQ(postgres_.Query("SELECT count(*) FROM ostrel_jobs WHERE document LIKE 'while down %'"),
              std::to_string(2 * kJobs) + "\n");

    // A journal lost altogether: the numbering goes on past what the centre
    // holds, so new records are not taken for resent ones. (The monitor
    // itself may record again what ended moments before: it forgot them.)
    north_->Kill();
    std::filesystem::remove(north_->JournalFile());
    north_->Start();
    ASSERT_TRUE(north_->AwaitProbe(4));
    EXPECT_TRUE(Eventually([&] { return Converged(); })) << Central().size() << " rows, " << Union().size();
}

}  // namespace
}  // namespace ostrel::test
