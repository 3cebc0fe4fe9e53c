#include "FakeClock.h"
#include "Files.h"
#include "Process.h"
#include "RegistryHive.h"
#include "ReportCommand.h"
#include "ReportDocument.h"
#include "ReportTestSupport.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using test::HtmlTexts;
using test::Money;
using test::TestJob;
using test::ZoneGuard;

const std::string kMissing = "ostrel-report: The report your are trying to view does not exists.\n";
const std::string kNotMonitored =
    "ostrel-report: The selected printer is not monitored. Please check the Printers menu.\n";
const std::string kCsvHeader = "day,month,year,hour,min,doc,pages,cost,printer,user";

struct Outcome {
    int code;
    std::string out, err;
};

// Reads CSV back by RFC 4180, so that what a spreadsheet or a script would
// see is checked, not how it is spelled.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    size_t at = 0;
    while (at < text.size()) {
        if (text[at] == '"') {
            for (++at; at < text.size(); ++at) {
                if (text[at] == '"' && at + 1 < text.size() && text[at + 1] == '"')
                    field += text[++at];
                else if (text[at] == '"')
                    break;
                else
                    field += text[at];
            }
            ++at;
        } else if (text[at] == ',') {
            row.push_back(field);
            field.clear();
            ++at;
        } else if (text.compare(at, 2, "\r\n") == 0) {
            row.push_back(field);
            field.clear();
            rows.push_back(row);
            row.clear();
            at += 2;
        } else {
            field += text[at++];
        }
    }
    EXPECT_TRUE(row.empty() && field.empty()) << "the last line must end with CRLF";
    return rows;
}

class OstrelReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app_.WriteSettings({{"Laser", "1"}, {"Büro Farbe", "2"}});
        app_.Record(jobs_, LocalTimePoint(2026, 3, 5, 9, 30));
    }

    Outcome Run(const Args& args, std::string appFolder = "<app>")
    {
        if (appFolder == "<app>")
            appFolder = app_.Path();
        std::ostringstream out, err;
        const int code = report::RunReportCommand(args, {appFolder, clock_}, out, err);
        return {code, out.str(), err.str()};
    }

    std::vector<TestJob> JobsOf(ReportKind kind, const std::string& name) const
    {
        std::vector<TestJob> picked;
        for (const TestJob& job : jobs_)
            if (kind == ReportKind::Aggregated || (kind == ReportKind::User ? job.user : job.printer) == name)
                picked.push_back(job);
        return picked;
    }

    ZoneGuard zone_{"UTC0"};
    FakeClock clock_{LocalTimePoint(2026, 3, 5, 18, 0)};
    test::ReportAppFolder app_;
    const std::vector<TestJob> jobs_ = {
        {"maria", "Laser", "Q3, final\nv2", 2, "5"},
        {"jürgen", "Büro Farbe", "say \"hi\" to Zoë", 3, "12"},
        {"maria", "Büro Farbe", "plain", 1, "12"},
        {"o'neil", "Laser", "tab\there", 4, "5"},
    };
};

struct Subject {
    const char* label;
    Args args;
    ReportKind kind;
    std::string name;
};

const Subject kSubjects[] = {
    {"machine by default", {}, ReportKind::Aggregated, ""},
    {"machine with --all", {"--all"}, ReportKind::Aggregated, ""},
    {"printer", {"--printer", "Büro Farbe"}, ReportKind::Printer, "Büro Farbe"},
    {"user", {"--user", "maria"}, ReportKind::User, "maria"},
    {"user typed as the spooler gave it", {"--user=o'neil"}, ReportKind::User, "o'neil"},
};

Args With(Args args, const Args& more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

TEST_F(OstrelReportTest, HtmlOfEachKindHoldsItsTotals)
{
    for (const Subject& s : kSubjects) {
        const Outcome result = Run(s.args);
        ASSERT_EQ(result.code, 0) << s.label << ": " << result.err;
        EXPECT_EQ(result.err, "") << s.label;
        test::Totals totals;
        for (const auto& [name, entry] : test::TotalsBy(JobsOf(s.kind, s.name), true)) {
            totals.jobs += entry.jobs;
            totals.pages += entry.pages;
            totals.cents += entry.cents;
        }
        EXPECT_EQ(HtmlTexts(result.out, "//td[@id='total-jobs']"), Args{std::to_string(totals.jobs)}) << s.label;
        EXPECT_EQ(HtmlTexts(result.out, "//td[@id='total-pages']"), Args{std::to_string(totals.pages)}) << s.label;
        EXPECT_EQ(HtmlTexts(result.out, "//td[@id='total-cost']"), Args{Money(totals.cents)}) << s.label;
        EXPECT_EQ(HtmlTexts(result.out, "//td[@id='period']"), Args{"03/05/2026"}) << s.label;
    }
}

TEST_F(OstrelReportTest, XmlOfEachKindIsTheReportDocument)
{
    for (const Subject& s : kSubjects) {
        const Outcome result = Run(With(s.args, {"--format", "xml"}));
        ASSERT_EQ(result.code, 0) << s.label << ": " << result.err;
        const auto document = PrepareReport(app_.Path(), {{s.kind, s.name, false}, "Today"}, clock_);
        ASSERT_TRUE(document) << s.label;
        EXPECT_EQ(result.out, *document) << s.label;
        EXPECT_EQ(result.out.rfind(ReportHeader(s.kind), 0), 0u) << s.label;
        EXPECT_EQ(result.out.substr(result.out.size() - 6), "</log>") << s.label;
    }
}

TEST_F(OstrelReportTest, CsvOfEachKindHasOneRowPerJob)
{
    for (const Subject& s : kSubjects) {
        const Outcome result = Run(With(s.args, {"--format=csv"}));
        ASSERT_EQ(result.code, 0) << s.label << ": " << result.err;
        const auto rows = ParseCsv(result.out);
        const std::vector<TestJob> jobs = JobsOf(s.kind, s.name);
        ASSERT_EQ(rows.size(), jobs.size() + 1) << s.label;
        EXPECT_EQ(result.out.substr(0, kCsvHeader.size() + 2), kCsvHeader + "\r\n") << s.label;
        for (size_t i = 0; i < jobs.size(); ++i) {
            const TestJob& job = jobs[i];
            const Args expected = {"05",
                                   "03",
                                   "2026",
                                   "09",
                                   "30",
                                   test::SafeName(job.document),
                                   std::to_string(job.pages),
                                   std::to_string(std::stoll(job.costPerPage) * job.pages),
                                   job.printer,
                                   test::SafeName(job.user)};
            EXPECT_EQ(rows[i + 1], expected) << s.label << " row " << i + 1;
        }
    }
}

TEST_F(OstrelReportTest, CsvQuotesOnlyWhatNeedsIt)
{
    const Outcome result = Run({"--user", "maria", "--format", "csv"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, kCsvHeader +
                              "\r\n"
                              "05,03,2026,09,30,\"Q3, final\nv2\",2,10,Laser,maria\r\n"
                              "05,03,2026,09,30,plain,1,12,Büro Farbe,maria\r\n");
}

TEST_F(OstrelReportTest, CommandLinesItCannotUseFailWithUsage)
{
    const std::vector<std::pair<Args, std::string>> cases = {
        {{"--format", "pdf"}, "--format takes html, xml or csv"},
        {{"--format"}, "--format takes html, xml or csv"},
        {{"--printer"}, "--printer needs a name"},
        {{"--user"}, "--user needs a name"},
        {{"--period"}, "--period needs a period name"},
        {{"-o"}, "-o needs a file name"},
        {{"-o", ""}, "-o needs a file name"},
        {{"--printer", "Laser", "--user", "maria"}, "give one of --printer, --user and --all"},
        {{"--all", "--all"}, "give one of --printer, --user and --all"},
        {{"--all=yes"}, "--all takes no value"},
        {{"--colour"}, "unknown argument '--colour'"},
        {{"Today"}, "unknown argument 'Today'"},
    };
    for (const auto& [args, message] : cases) {
        const Outcome result = Run(args);
        EXPECT_EQ(result.code, 2) << message;
        EXPECT_EQ(result.out, "") << message;
        EXPECT_EQ(result.err.rfind("ostrel-report: " + message + "\nUsage: ostrel-report", 0), 0u) << result.err;
    }
}

TEST_F(OstrelReportTest, NoReportGivesTheConsolesMessage)
{
    const std::vector<std::pair<Args, std::string>> cases = {
        {{"--period", "today"}, kMissing},
        {{"--period", "This Week"}, kMissing},
        {{"--period", "Last year"}, kMissing},
        {{"--user", "nobody"}, kMissing},
        {{"--user", "maria", "--period", "Yesterday", "--format", "csv"}, kMissing},
        {{"--printer", "Plotter"}, kNotMonitored},
        {{"--printer", "laser"}, kNotMonitored},
        {{"--printer", "Plotter", "--period", "someday"}, kNotMonitored},
    };
    for (const auto& [args, message] : cases) {
        const Outcome result = Run(args);
        EXPECT_EQ(result.code, 1) << args[1];
        EXPECT_EQ(result.out, "") << args[1];
        EXPECT_EQ(result.err, message) << args[1];
    }
}

TEST_F(OstrelReportTest, AnotherPeriodByName)
{
    const Outcome result = Run({"--period=This week", "--user", "jürgen", "--format", "xml"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_NE(result.out.find("<period>Week 10 of 2026</period>"), std::string::npos);
}

TEST_F(OstrelReportTest, OutputFileTakesTheReport)
{
    const fs::path file = app_.Logs().parent_path() / "out" / "report.csv";
    fs::create_directories(file.parent_path());
    const Outcome written = Run({"--format", "csv", "-o", file.string()});
    ASSERT_EQ(written.code, 0) << written.err;
    EXPECT_EQ(written.out, "");
    EXPECT_EQ(test::FileBytes(file), Run({"--format", "csv"}).out);

    const Outcome unwritable = Run({"-o", (file.parent_path() / "missing" / "r.html").string()});
    EXPECT_EQ(unwritable.code, 1);
    EXPECT_NE(unwritable.err.find("could not be written to"), std::string::npos) << unwritable.err;
}

TEST_F(OstrelReportTest, HelpAndAMissingApplicationFolder)
{
    const Outcome help = Run({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(help.out.rfind("Usage: ostrel-report", 0), 0u);

    const Outcome noFolder = Run({}, "");
    EXPECT_EQ(noFolder.code, 1);
    EXPECT_EQ(noFolder.err, "ostrel-report: the application folder is not set (registry value AppPath).\n");
}

TEST_F(OstrelReportTest, HtmlFailsClearlyWithoutItsStylesheet)
{
    fs::remove(app_.Logs() / "printers.xsl");
    const Outcome result = Run({"--printer", "Laser"});
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("The stylesheet 'printers.xsl' of the report is missing from"), std::string::npos)
        << result.err;
    EXPECT_EQ(Run({"--printer", "Laser", "--format", "csv"}).code, 0) << "CSV needs no stylesheet";
}

TEST(OstrelReportProgram, FindsTheApplicationFolderThroughTheRegistry)
{
    test::TempFolder registry;
    test::ReportAppFolder app;
    app.WriteSettings({{"Laser", "1"}});
    DirectoryRegistry hive(registry / "HKEY_LOCAL_MACHINE");
    ASSERT_TRUE(hive.Set("Software\\Ostrel", "AppPath", {RegType::Sz, app.Path() + "/" + '\0'}));
    const std::map<std::string, std::string> env = {{"OSTREL_REGISTRY_ROOT", registry.Path().string()}};

    // The program reads the real clock: the jobs are recorded at the real
    // time and the report asks for the year, which no test run straddles
    // but at its very last second.
    app.Record({{"anna", "Laser", "a, b", 2, "5"}, {"bo", "Laser", "c", 1, "5"}}, SystemClock().Now());
    const auto csv =
        test::RunProgram(test::BuiltProgram("ostrel-report"), {"--period", "This year", "--format", "csv"}, env);
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_EQ(ParseCsv(csv.out).size(), 3u) << csv.out;

    const fs::path html = app.Logs().parent_path() / "report.html";
    const auto written = test::RunProgram(test::BuiltProgram("ostrel-report"),
                                          {"--printer", "Laser", "--period", "This year", "-o", html.string()}, env);
    ASSERT_EQ(written.exitCode, 0) << written.err;
    EXPECT_EQ(HtmlTexts(test::FileBytes(html), "//td[@id='total-cost']"), Args{"0.15"});

    const auto refused = test::RunProgram(test::BuiltProgram("ostrel-report"), {"--printer", "Plotter"}, env);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, kNotMonitored);

    const auto usage = test::RunProgram(test::BuiltProgram("ostrel-report"), {"--format", "pdf"}, env);
    EXPECT_EQ(usage.exitCode, 2);
}

// Runs `program` as nobody, in the group `group` alone (fork, setgroups,
// setgid, setuid, exec), and returns its exit code and messages.
Outcome RunAsNobody(const fs::path& program, gid_t group, const Args& args, const std::string& registryRoot)
{
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody)
        return {-1, {}, "no account nobody"};
    const uid_t uid = nobody->pw_uid;
    const std::string registry = "OSTREL_REGISTRY_ROOT=" + registryRoot;
    std::vector<std::string> texts = {program.string()};
    texts.insert(texts.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    char* envp[] = {const_cast<char*>(registry.c_str()), nullptr};

    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0)
        return {-1, {}, "no pipe"};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        if (::setgroups(0, nullptr) == 0 && ::setgid(group) == 0 && ::setuid(uid) == 0)
            ::execve(program.c_str(), argv.data(), envp);
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    const auto drain = [](int fd) {
        std::string text;
        char buffer[4096];
        for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<size_t>(got));
        ::close(fd);
        return text;
    };
    Outcome outcome{-1, drain(out[0]), drain(err[0])};
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
        outcome.code = WEXITSTATUS(status);
    return outcome;
}

// The logs are for the group: an account outside it is told so, once and
// plainly, whatever it asks for; a member gets its report.
TEST(OstrelReportProgram, AnAccountOutsideTheGroupIsToldWhoMayReadTheReports)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "changing accounts needs root";
    test::TempFolder registry;
    test::ReportAppFolder app;
    app.WriteSettings({{"Laser", "1"}});
    DirectoryRegistry hive(registry / "HKEY_LOCAL_MACHINE");
    ASSERT_TRUE(hive.Set("Software\\Ostrel", "AppPath", {RegType::Sz, app.Path() + '\0'}));
    app.Record({{"anna", "Laser", "a", 2, "5"}}, SystemClock().Now());
    // Root's group (0) stands for ostrel: the registry store open to all,
    // the application folder and its logs to the group alone.
    fs::permissions(registry.Path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec |
                                         fs::perms::group_read | fs::perms::group_exec);
    ASSERT_EQ(::chmod(app.Path().c_str(), 02770), 0);
    ASSERT_EQ(::chmod(app.Logs().c_str(), 02770), 0);

    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    // A copy nobody can reach, wherever the build lies.
    test::TempFolder bin;
    fs::permissions(bin.Path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const fs::path program = bin / "ostrel-report";
    fs::copy_file(test::BuiltProgram("ostrel-report"), program);
    const std::string told =
        "ostrel-report: Reports are for the members of the group root, and nobody is not one of "
        "them. An administrator adds an account to it with: adduser nobody root (the account "
        "then logs in again).\n";
    for (const Args& args : {Args{}, Args{"--printer", "Laser", "--format", "csv"}, Args{"--user", "anna"}}) {
        const Outcome outsider = RunAsNobody(program, nobody->pw_gid, args, registry.Path().string());
        EXPECT_EQ(outsider.code, 1) << outsider.err;
        EXPECT_EQ(outsider.err, told);
        EXPECT_EQ(outsider.out, "");
    }
    const Outcome member =
        RunAsNobody(program, 0, {"--period", "This year", "--format", "csv"}, registry.Path().string());
    ASSERT_EQ(member.code, 0) << member.err;
    EXPECT_EQ(ParseCsv(member.out).size(), 2u) << member.out;
}

}  // namespace
}  // namespace ostrel
