// Reports of the central store on a real PostgreSQL server: a site of
// three print servers, its jobs inserted directly, each report checked
// against what the period files of the monitor's own rule would hold.
#include "CentralReport.h"
#include "CentralTestSupport.h"
#include "FakeClock.h"
#include "PeriodKeys.h"
#include "PostgresServer.h"
#include "PqDatabase.h"
#include "ReportCommand.h"
#include "ReportTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <sstream>

namespace ostrel {
namespace {

using test::CentralJob;
using test::CentralRow;

// The rules of Central Europe, so that the jobs cross daylight-saving changes.
constexpr const char* kZone = "CET-1CEST,M3.5.0,M10.5.0/3";

// The period file the monitor files a job recorded at `when` under.
std::string FileOf(Clock::TimePoint when, const std::string& prefix)
{
    const PeriodKeys keys = PeriodKeysAt(when);
    if (prefix == "d_")
        return prefix + keys.day + ".xml";
    const std::string key = prefix == "w_"   ? keys.week
                            : prefix == "m_" ? keys.month
                            : prefix == "q_" ? keys.quarter
                            : prefix == "s_" ? keys.semester
                                             : "";
    return prefix + (key.empty() ? "" : key + "_") + keys.year + ".xml";
}

struct Expected {
    std::vector<CentralRow> rows;
    std::map<std::string, ReportTotals> byUser, byPrinter, byServer;
    ReportTotals totals;
    bool otherZone = false;
};

void Add(ReportTotals& totals, const CentralJob& job)
{
    ++totals.jobs;
    totals.pages += job.pages;
    totals.cost += job.cost;
}

std::vector<CentralRow> RowsOf(const ReportEventTable& table)
{
    std::vector<CentralRow> rows;
    for (std::size_t row = 0; row < table.Rows(); ++row) {
        CentralRow& texts = rows.emplace_back();
        for (std::size_t field = 0; field < ReportEventTable::FieldCount; ++field)
            texts[field] = table.Text(row, static_cast<ReportEventTable::Field>(field));
    }
    return rows;
}

std::map<std::string, ReportTotals> MapOf(const std::vector<ReportSubtotal>& rows)
{
    std::map<std::string, ReportTotals> map;
    for (const ReportSubtotal& row : rows)
        map[row.name] = row.totals;
    return map;
}

class CentralReportTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        zone_ = std::make_unique<test::ZoneGuard>(kZone);
        server_ = std::make_unique<test::PostgresServer>();
        server_->ApplySchema();
        jobs_ = test::MakeSite(3000, LocalTimePoint(2025, 1, 1), Now(), EastJoined());
        const auto administrator = MakePqDatabase()->Open(server_->Conninfo());
        ASSERT_TRUE(administrator.connection) << administrator.error;
        test::InsertJobs(*administrator.connection, jobs_);
    }
    static void TearDownTestSuite()
    {
        server_.reset();
        zone_.reset();
    }

    static Clock::TimePoint Now() { return LocalTimePoint(2026, 5, 20, 14, 0); }
    static Clock::TimePoint EastJoined() { return LocalTimePoint(2026, 5, 10, 12, 0); }

    void SetUp() override
    {
        database_ = MakePqDatabase();
        auto opened = database_->Open(server_->Conninfo("ostrel_reader"));
        ASSERT_TRUE(opened.connection) << opened.error;
        reader_ = std::move(opened.connection);
    }

    static Expected ExpectedOf(const ReportRequest& request, const ServerChoice& server)
    {
        const ResolvedPeriod period = *ResolvePeriod(request.period, request.subject.kind, clock_);
        Expected expected;
        for (const CentralJob& job : jobs_) {
            if (FileOf(job.recorded, period.prefix) != period.FileName())
                continue;
            if (server && job.server != *server)
                continue;
            const ReportSubject& subject = request.subject;
            if ((subject.kind == ReportKind::Printer && job.printer != subject.name) ||
                (subject.kind == ReportKind::User && job.user != subject.name))
                continue;
            expected.rows.push_back(test::RowOf(job));
            expected.otherZone = expected.otherZone || job.server == "east";
            Add(expected.totals, job);
            Add(expected.byServer[job.server], job);
            if (subject.kind != ReportKind::User)
                Add(expected.byUser[job.user], job);
            if (subject.kind != ReportKind::Printer)
                Add(expected.byPrinter[job.printer], job);
        }
        return expected;
    }

    static inline std::unique_ptr<test::ZoneGuard> zone_;
    static inline std::unique_ptr<test::PostgresServer> server_;
    static inline std::vector<CentralJob> jobs_;
    static inline FakeClock clock_{Now()};
    std::unique_ptr<SqlDatabase> database_;
    std::unique_ptr<SqlConnection> reader_;
};

struct Subject {
    const char* label;
    ReportKind kind;
    std::string name;
    ServerChoice server;
};

const Subject kSubjects[] = {
    {"whole site", ReportKind::Aggregated, "", {}},
    {"one server", ReportKind::Aggregated, "", "north"},
    {"server that joined mid-period", ReportKind::Aggregated, "", "east"},
    {"printer name on two servers", ReportKind::Printer, "Laser", {}},
    {"printer of one server", ReportKind::Printer, "Büro Farbe", {}},
    {"user everywhere", ReportKind::User, "jürgen", {}},
    {"user on one server", ReportKind::User, "alice", "south"},
};

TEST_F(CentralReportTest, EveryKindAndPeriodHoldsTheJobsAndTotalsTheFilesWouldHold)
{
    std::size_t empty = 0, full = 0;
    for (const Subject& s : kSubjects) {
        for (std::string_view period : ReportPeriodNames()) {
            const std::string label = std::string(s.label) + ", " + std::string(period);
            const ReportRequest request{{s.kind, s.name, false}, std::string(period)};
            const Expected expected = ExpectedOf(request, s.server);
            CentralReportSource source(*reader_, s.server);
            const ReportResult<Report> report = source.Fetch(request, clock_);
            if (expected.rows.empty()) {
                ++empty;
                EXPECT_EQ(report.Error(), report_message::kReportMissing) << label;
                continue;
            }
            ++full;
            ASSERT_TRUE(report) << label << ": " << report.Error();
            EXPECT_TRUE(report->servers);
            EXPECT_EQ(RowsOf(report->events), expected.rows) << label;
            EXPECT_EQ(report->totals, expected.totals) << label;
            EXPECT_EQ(MapOf(report->byServer), expected.byServer) << label;
            EXPECT_EQ(MapOf(report->byUser), expected.byUser) << label;
            EXPECT_EQ(MapOf(report->byPrinter), expected.byPrinter) << label;
            const std::string caption = ResolvePeriod(period, s.kind, clock_)->caption;
            if (expected.otherZone)
                EXPECT_EQ(report->caption, caption.substr(0, caption.size() - 9) +
                                               " (times in this machine's zone, CEST, UTC+02:00)</period>")
                    << label;
            else
                EXPECT_EQ(report->caption, caption) << label;
        }
    }
    // The table covers both outcomes, and the site has jobs enough.
    EXPECT_GT(empty, 5u);
    EXPECT_GT(full, 50u);
}

TEST_F(CentralReportTest, CommandWritesCsvXmlAndHtmlOfEveryServer)
{
    const ReportRequest request{{ReportKind::Printer, "Laser", false}, "This year"};
    const Expected expected = ExpectedOf(request, {});
    const test::ReportAppFolder app;
    const auto run = [&](std::vector<std::string> args, std::string& out, std::string& err) {
        std::ostringstream o, e;
        const int code = report::RunReportCommand(args, {app.Path(), clock_, "", database_.get()}, o, e);
        out = o.str();
        err = e.str();
        return code;
    };
    std::string out, err;
    const std::string database = server_->Conninfo("ostrel_reader");
    ASSERT_EQ(
        run({"--central", "--printer", "Laser", "--period", "This year", "--format", "csv", "--database", database},
            out, err),
        0)
        << err;
    std::string expectedCsv = "day,month,year,hour,min,doc,pages,cost,printer,user,server\r\n";
    for (const CentralRow& row : expected.rows) {
        for (std::size_t field = 0; field < row.size(); ++field) {
            const bool quote = row[field].find_first_of(",\"") != std::string::npos;
            std::string text = row[field];
            for (std::size_t at = text.find('"'); at != std::string::npos; at = text.find('"', at + 2))
                text.insert(at, "\"");
            expectedCsv += (field ? "," : "") + (quote ? "\"" + text + "\"" : text);
        }
        expectedCsv += "\r\n";
    }
    EXPECT_EQ(out, expectedCsv);

    // The XML is a report document the shipped stylesheet renders, each
    // job with its server.
    ASSERT_EQ(run({"--central", "--printer=Laser", "--period=This year", "--format=xml", "--server=south", "--database",
                   database},
                  out, err),
              0)
        << err;
    EXPECT_NE(out.find("<server>south</server>"), std::string::npos);
    EXPECT_EQ(out.find("<server>north</server>"), std::string::npos);
    ASSERT_EQ(run({"--central", "--printer=Laser", "--period=This year", "--database", database}, out, err), 0) << err;
    EXPECT_EQ(test::HtmlTexts(out, "//table[@id='jobs']/tr[1]/th[5]"), std::vector<std::string>{"Server"});
    EXPECT_EQ(test::HtmlTexts(out, "//table[@id='jobs']/tr[@class='job']").size(), expected.rows.size());

    // What cannot be had says why, and writes nothing.
    struct Failing {
        std::vector<std::string> args;
        int code;
        std::string error;
    };
    const Failing failing[] = {
        {{"--central", "--database", "host=/nonexistent dbname=ostrel"},
         1,
         "ostrel-report: The central database cannot be reached: "},
        {{"--central"}, 1, "ostrel-report: no central database is configured"},
        // The monitors' role may not read jobs.
        {{"--central", "--database", server_->Conninfo("ostrel_writer")},
         1,
         "ostrel-report: The central database did not give the report: "},
        {{"--central", "--database", "dbname=x password=secret"}, 2, "ostrel-report: --database must not hold"},
        {{"--server", "north"}, 2, "ostrel-report: --server and --database go with --central"},
        {{"--central", "--server", "nowhere", "--database", database},
         1,
         "ostrel-report: The report your are trying to view does not exists."},
    };
    for (const Failing& f : failing) {
        EXPECT_EQ(run(f.args, out, err), f.code) << f.error;
        EXPECT_EQ(err.rfind(f.error, 0), 0u) << err;
        EXPECT_EQ(out, "");
    }
}

}  // namespace
}  // namespace ostrel
