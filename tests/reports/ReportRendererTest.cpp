#include "FakeClock.h"
#include "Files.h"
#include "ReportDocument.h"
#include "ReportRenderer.h"
#include "ReportSource.h"
#include "ReportTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using test::HtmlTexts;
using test::Money;
using test::TestJob;
using test::Totals;
using test::ZoneGuard;

struct Summary {
    std::string jobs, pages, cost;
    bool operator==(const Summary&) const = default;
};

Summary SummaryOf(const std::string& html)
{
    const auto one = [&](const char* id) {
        const auto texts = HtmlTexts(html, std::string("//td[@id='") + id + "']");
        return texts.size() == 1 ? texts[0] : "<" + std::to_string(texts.size()) + " cells>";
    };
    return {one("total-jobs"), one("total-pages"), one("total-cost")};
}

Summary SummaryOf(const Totals& totals)
{
    return {std::to_string(totals.jobs), std::to_string(totals.pages), Money(totals.cents)};
}

// A period of one day recorded by the monitor's writer: users whose runs
// of jobs end before, on and after the 64-event blocks of the machine-wide
// stylesheet's sums, two printers, names beyond ASCII.
class ReportRendererTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        zone_ = std::make_unique<ZoneGuard>("UTC0");
        app_ = std::make_unique<test::ReportAppFolder>();
        app_->WriteSettings({{"Laser", "1"}, {"Büro Farbe", "2"}});
        const std::vector<std::pair<std::string, int>> users = {{"anna", 1},  {"bob", 63},     {"chris", 64},
                                                                {"dora", 65}, {"Jürgen", 130}, {"東京", 7}};
        int n = 0;
        for (const auto& [user, count] : users) {
            for (int i = 0; i < count; ++i, ++n) {
                const bool laser = n % 3 != 0;
                jobs_.push_back({user, laser ? "Laser" : "Büro Farbe", "Doc " + std::to_string(n) + " – Bericht",
                                 static_cast<std::uint32_t>(n % 7 + 1), laser ? "5" : "12"});
            }
        }
        // Interleave the users, as real printing does.
        std::vector<TestJob> mixed;
        for (size_t stride = 0; stride < 5; ++stride)
            for (size_t i = stride; i < jobs_.size(); i += 5)
                mixed.push_back(jobs_[i]);
        jobs_ = mixed;
        app_->Record(jobs_, LocalTimePoint(2026, 3, 5, 9, 30));
    }
    static void TearDownTestSuite()
    {
        app_.reset();
        zone_.reset();
        jobs_.clear();
    }

    std::string Render(ReportKind kind, const std::string& name)
    {
        FakeClock clock(LocalTimePoint(2026, 3, 5, 18, 0));
        const auto shown = MakeDisplayReport(app_->Path(), {{kind, name, false}, "Today"}, clock);
        EXPECT_TRUE(shown) << shown.Error();
        const auto html = RenderReportFile(*shown);
        EXPECT_TRUE(html) << html.Error();
        return html ? *html : std::string();
    }

    static std::vector<TestJob> JobsWhere(bool byUser, const std::string& name)
    {
        std::vector<TestJob> picked;
        for (const TestJob& job : jobs_)
            if ((byUser ? job.user : job.printer) == name)
                picked.push_back(job);
        return picked;
    }

    static Totals TotalsOf(const std::vector<TestJob>& jobs)
    {
        Totals totals;
        for (const auto& [name, entry] : test::TotalsBy(jobs, true)) {
            totals.jobs += entry.jobs;
            totals.pages += entry.pages;
            totals.cents += entry.cents;
        }
        return totals;
    }

    static void ExpectSubtotals(const std::string& html, const std::string& table, bool byUser)
    {
        const std::map<std::string, Totals> expected = test::TotalsBy(jobs_, byUser);
        const std::string row = "//table[@id='" + table + "']//tr[@class='subtotal']";
        const auto names = HtmlTexts(html, row + "/td[@class='name']");
        const auto jobs = HtmlTexts(html, row + "/td[@class='jobs']");
        const auto pages = HtmlTexts(html, row + "/td[@class='pages']");
        const auto costs = HtmlTexts(html, row + "/td[@class='cost']");
        ASSERT_EQ(names.size(), expected.size()) << table;
        ASSERT_TRUE(jobs.size() == names.size() && pages.size() == names.size() && costs.size() == names.size());
        size_t i = 0;
        for (const auto& [name, totals] : expected) {  // a map: names in byte order, as the report sorts them
            EXPECT_EQ(names[i], name) << table << " row " << i;
            EXPECT_EQ(jobs[i], std::to_string(totals.jobs)) << table << " " << name;
            EXPECT_EQ(pages[i], std::to_string(totals.pages)) << table << " " << name;
            EXPECT_EQ(costs[i], Money(totals.cents)) << table << " " << name;
            ++i;
        }
    }

    static std::unique_ptr<ZoneGuard> zone_;
    static std::unique_ptr<test::ReportAppFolder> app_;
    static std::vector<TestJob> jobs_;
};

std::unique_ptr<ZoneGuard> ReportRendererTest::zone_;
std::unique_ptr<test::ReportAppFolder> ReportRendererTest::app_;
std::vector<TestJob> ReportRendererTest::jobs_;

TEST_F(ReportRendererTest, EachKindShowsTheTotalsOfItsJobs)
{
    struct Case {
        const char* label;
        ReportKind kind;
        std::string name;
        std::vector<TestJob> jobs;
        std::string subject;  // the h1's subject, empty for the machine
    };
    const Case cases[] = {
        {"machine", ReportKind::Aggregated, "", jobs_, ""},
        {"printer Laser", ReportKind::Printer, "Laser", JobsWhere(false, "Laser"), "Laser"},
        {"printer Büro Farbe", ReportKind::Printer, "Büro Farbe", JobsWhere(false, "Büro Farbe"), "Büro Farbe"},
        {"user Jürgen", ReportKind::User, "Jürgen", JobsWhere(true, "Jürgen"), "Jürgen"},
        {"user 東京", ReportKind::User, "東京", JobsWhere(true, "東京"), "東京"},
        {"user anna, one job", ReportKind::User, "anna", JobsWhere(true, "anna"), "anna"},
    };
    for (const Case& c : cases) {
        const std::string html = Render(c.kind, c.name);
        ASSERT_FALSE(c.jobs.empty()) << c.label;
        EXPECT_EQ(SummaryOf(html), SummaryOf(TotalsOf(c.jobs))) << c.label;
        EXPECT_EQ(HtmlTexts(html, "//table[@id='jobs']//tr[@class='job']").size(), c.jobs.size()) << c.label;
        EXPECT_EQ(HtmlTexts(html, "//td[@id='period']"), std::vector<std::string>{"03/05/2026"}) << c.label;
        if (!c.subject.empty()) {
            EXPECT_EQ(HtmlTexts(html, "//span[@id='subject']"), std::vector<std::string>{c.subject}) << c.label;
        }
    }
}

TEST_F(ReportRendererTest, JobRowsShowDateTimeDocumentAndMoney)
{
    const std::string html = Render(ReportKind::User, "東京");
    const auto cells = HtmlTexts(html, "//table[@id='jobs']//tr[@class='job'][1]/td");
    const std::vector<TestJob> jobs = JobsWhere(true, "東京");
    ASSERT_EQ(cells.size(), 6u);
    EXPECT_EQ(cells[0], "2026-03-05");
    EXPECT_EQ(cells[1], "09:30");
    EXPECT_EQ(cells[2], jobs[0].document);
    EXPECT_EQ(cells[3], jobs[0].printer);
    EXPECT_EQ(cells[4], std::to_string(jobs[0].pages));
    EXPECT_EQ(cells[5], Money(std::stoll(jobs[0].costPerPage) * jobs[0].pages));
    const auto header = HtmlTexts(html, "//table[@id='jobs']//th");
    EXPECT_EQ(header, (std::vector<std::string>{"Date", "Time", "Document", "Printer", "Pages", "Cost"}));
}

TEST_F(ReportRendererTest, TheMachineWideReportHasSubtotalsPerUserAndPerPrinter)
{
    const std::string html = Render(ReportKind::Aggregated, "");
    ExpectSubtotals(html, "users", true);
    ExpectSubtotals(html, "printers", false);
}

TEST_F(ReportRendererTest, ProcessorsWithoutNodeSetsGroupTheClassicWayToTheSameRows)
{
    // The same stylesheet told that the EXSLT node-set function is missing,
    // as some browsers' processors are.
    std::string classic = test::FileBytes(app_->Logs() / "style.xsl");
    const std::string test = "function-available('exsl:node-set')";
    ASSERT_NE(classic.find(test), std::string::npos);
    classic.replace(classic.find(test), test.size(), "false()");
    test::TempFolder folder;
    ASSERT_TRUE(ReplaceFile(folder / "classic.xsl", classic));

    ASSERT_TRUE(Render(ReportKind::Aggregated, "").size());
    std::string document = test::FileBytes(app_->Logs() / "DisplayReport.xml");
    document.replace(document.find("style.xsl"), 9, "classic.xsl");
    const auto html = RenderReport(document, folder.Path());
    ASSERT_TRUE(html) << html.Error();
    ExpectSubtotals(*html, "users", true);
    ExpectSubtotals(*html, "printers", false);
}

// Documents written by hand, as a damaged or edited log would be.
class HandWrittenReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"printers.xsl", "users.xsl", "style.xsl"})
            fs::copy_file(test::ReportAppFolder::ShippedStylesheet(name), folder_ / name);
    }

    static std::string Event(const std::string& doc, const std::string& pages, const std::string& cost,
                             const std::string& printer = "P", const std::string& user = "u")
    {
        return "\n<event><day>05</day><month>03</month><year>2026</year><hour>09</hour><min>07</min><doc>" + doc +
               "</doc><pages>" + pages + "</pages><cost>" + cost + "</cost><printer>" + printer + "</printer><user>" +
               user + "</user></event>";
    }

    static std::string Document(ReportKind kind, const std::string& events)
    {
        return BuildReportDocument(std::string(525, ' ') + events, kind, "<period>03/05/2026</period>");
    }

    test::TempFolder folder_;
};

TEST_F(HandWrittenReportTest, CostsShowAsMoneyWithTwoDecimals)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"0", "0.00"},     {"5", "0.05"},          {"10", "0.10"},
        {"100", "1.00"},   {"123456", "1,234.56"}, {"2147483647", "21,474,836.47"},
        {"-250", "-2.50"},
    };
    for (const auto& [cents, shown] : cases) {
        const auto html = RenderReport(Document(ReportKind::Printer, Event("d", "1", cents)), folder_.Path());
        ASSERT_TRUE(html) << html.Error();
        EXPECT_EQ(HtmlTexts(*html, "//td[@id='total-cost']"), std::vector<std::string>{shown}) << cents;
        EXPECT_EQ(HtmlTexts(*html, "//tr[@class='job']/td[6]"), std::vector<std::string>{shown}) << cents;
    }
}

TEST_F(HandWrittenReportTest, MarkupInNamesStaysText)
{
    const std::string doc = "&lt;script&gt;alert(1)&lt;/script&gt; &amp; &lt;b&gt;";
    const std::string user = "&lt;img src=x onerror=alert(1)&gt;";
    for (ReportKind kind : {ReportKind::Printer, ReportKind::User, ReportKind::Aggregated}) {
        const auto html = RenderReport(Document(kind, Event(doc, "1", "5", "P", user)), folder_.Path());
        ASSERT_TRUE(html) << html.Error();
        EXPECT_TRUE(HtmlTexts(*html, "//script").empty());
        EXPECT_TRUE(HtmlTexts(*html, "//img").empty());
        const auto cells = HtmlTexts(*html, "//tr[@class='job']/td");
        EXPECT_NE(std::find(cells.begin(), cells.end(), "<script>alert(1)</script> & <b>"), cells.end());
        EXPECT_NE(html->find("&lt;script&gt;"), std::string::npos);
    }
}

TEST_F(HandWrittenReportTest, APeriodWithoutJobsSaysSo)
{
    for (ReportKind kind : {ReportKind::Printer, ReportKind::User, ReportKind::Aggregated}) {
        const auto html = RenderReport(Document(kind, ""), folder_.Path());
        ASSERT_TRUE(html) << html.Error();
        EXPECT_EQ(SummaryOf(*html), (Summary{"0", "0", "0.00"}));
        EXPECT_EQ(HtmlTexts(*html, "//p[contains(., 'No jobs')]").size(), 1u);
        EXPECT_TRUE(HtmlTexts(*html, "//table[@id='jobs']").empty());
    }
}

TEST_F(HandWrittenReportTest, FailuresComeBackAsMessagesAndPrintNothing)
{
    const std::string good = Document(ReportKind::User, Event("d", "1", "5"));
    std::string noInstruction = good;
    noInstruction.erase(noInstruction.find("<?xml-stylesheet"),
                        noInstruction.find("<log>") - noInstruction.find("<?xml-stylesheet"));
    const auto withHref = [&](const std::string& href) {
        std::string document = good;
        document.replace(document.find("users.xsl"), 9, href);
        return document;
    };
    const std::string event = Event("d", "1", "5");
    ASSERT_TRUE(ReplaceFile(folder_ / "not-xml.xsl", "this is no stylesheet"));
    ASSERT_TRUE(ReplaceFile(folder_ / "not-xslt.xsl", "<html><body>plain</body></html>"));
    ASSERT_TRUE(ReplaceFile(folder_ / "stops.xsl",
                            "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                            "<xsl:template match='/'><xsl:message terminate='yes'>cannot go on</xsl:message>"
                            "</xsl:template></xsl:stylesheet>"));
    struct Case {
        const char* label;
        std::string document;
        std::string says;
    };
    const Case cases[] = {
        {"a record cut short in the middle", Document(ReportKind::User, event + event.substr(0, 60) + event),
         "not well-formed XML (line "},
        {"not XML at all", "no report here", "not well-formed XML"},
        {"bytes that are not UTF-8", Document(ReportKind::User, Event("caf\xE9", "1", "5")), "not well-formed XML"},
        {"no stylesheet instruction", noInstruction, "names no stylesheet"},
        {"a stylesheet outside the folder", withHref("../users.xsl"), "not a file in the document's folder"},
        {"an absolute stylesheet path", withHref("/etc/passwd"), "not a file in the document's folder"},
        {"a stylesheet on the network", withHref("http://example.com/users.xsl"),
         "not a file in the document's folder"},
        {"a file URL", withHref("file:///etc/users.xsl"), "not a file in the document's folder"},
        {"a missing stylesheet", withHref("gone.xsl"), "The stylesheet 'gone.xsl' of the report is missing from"},
        {"a stylesheet that is not XML", withHref("not-xml.xsl"), "cannot be used"},
        {"a stylesheet that is not XSLT", withHref("not-xslt.xsl"), "cannot be used"},
        {"a stylesheet that stops", withHref("stops.xsl"), "cannot go on"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        const auto html = RenderReport(c.document, folder_.Path());
        const std::string printed = testing::internal::GetCapturedStderr();
        ASSERT_FALSE(html) << c.label;
        EXPECT_NE(html.Error().find(c.says), std::string::npos) << c.label << ": " << html.Error();
        EXPECT_EQ(html.Error().find('\n'), std::string::npos) << c.label << ": one line";
        EXPECT_EQ(printed, "") << c.label;
    }
}

TEST_F(HandWrittenReportTest, AStylesheetCannotWriteFiles)
{
    const fs::path target = folder_ / "written.txt";
    ASSERT_TRUE(ReplaceFile(folder_ / "writes.xsl",
                            "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'"
                            " xmlns:exsl='http://exslt.org/common' extension-element-prefixes='exsl'>"
                            "<xsl:template match='/'><exsl:document href='" +
                                target.string() +
                                "' method='text'>owned</exsl:document><p>done</p></xsl:template></xsl:stylesheet>"));
    std::string document = Document(ReportKind::User, Event("d", "1", "5"));
    document.replace(document.find("users.xsl"), 9, "writes.xsl");
    testing::internal::CaptureStderr();
    const auto html = RenderReport(document, folder_.Path());
    testing::internal::GetCapturedStderr();
    ASSERT_FALSE(html);
    EXPECT_NE(html.Error().find("denied"), std::string::npos) << html.Error();
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(HandWrittenReportTest, AStylesheetReadsOnlyFilesOfTheDocumentsFolder)
{
    test::TempFolder outside;
    ASSERT_TRUE(ReplaceFile(outside / "secret.xml", "<x>SECRET</x>"));
    ASSERT_TRUE(ReplaceFile(folder_ / "beside.xml", "<x>BESIDE</x>"));
    fs::create_directory(folder_ / "below");
    ASSERT_TRUE(ReplaceFile(folder_ / "below" / "deeper.xml", "<x>DEEPER</x>"));
    fs::create_symlink(outside / "secret.xml", folder_ / "link.xml");
    struct Case {
        const char* label;
        std::string href;
        const char* shown;  // nullptr: the read is refused
    };
    const Case cases[] = {
        {"a file beside the document", "beside.xml", "BESIDE"},
        {"a file below its folder", "below/deeper.xml", "DEEPER"},
        {"a file above it", "../" + outside.Path().filename().string() + "/secret.xml", nullptr},
        {"an absolute path", (outside / "secret.xml").string(), nullptr},
        {"a link leading out", "link.xml", nullptr},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(ReplaceFile(folder_ / "reads.xsl",
                                "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                                "<xsl:template match='/'><p><xsl:value-of select=\"document('" +
                                    c.href + "')/x\"/></p></xsl:template></xsl:stylesheet>"));
        std::string document = Document(ReportKind::User, Event("d", "1", "5"));
        document.replace(document.find("users.xsl"), 9, "reads.xsl");
        const auto html = RenderReport(document, folder_.Path());
        if (c.shown) {
            ASSERT_TRUE(html) << c.label << ": " << html.Error();
            EXPECT_NE(html->find(c.shown), std::string::npos) << c.label << ": " << *html;
        } else if (html) {
            EXPECT_EQ(html->find("SECRET"), std::string::npos) << c.label << ": " << *html;
        }
    }
}

TEST_F(HandWrittenReportTest, AFolderWithBlanksAndAccentsIsFound)
{
    const fs::path logs = folder_ / "Application Data ü" / "Logs";
    fs::create_directories(logs);
    fs::copy_file(folder_ / "style.xsl", logs / "style.xsl");
    ASSERT_TRUE(ReplaceFile(logs / "DisplayReport.xml", Document(ReportKind::Aggregated, Event("d", "2", "10"))));
    const auto html = RenderReportFile(logs / "DisplayReport.xml");
    ASSERT_TRUE(html) << html.Error();
    EXPECT_EQ(SummaryOf(*html), (Summary{"1", "2", "0.10"}));
}

// The viewer shows its own tables only for a stylesheet whose top level
// declares the parameter "viewer", however it is written.
TEST_F(HandWrittenReportTest, TheViewerTakesPartOnlyForATopLevelViewerParameter)
{
    struct Case {
        const char* label;
        const char* declarations;
        bool tables;
    };
    const Case cases[] = {
        {"double quotes", R"(<xsl:param name="viewer"/>)", true},
        {"single quotes", R"(<xsl:param name='viewer' select="'page'"/>)", true},
        {"another prefix", R"(<t:param xmlns:t="http://www.w3.org/1999/XSL/Transform" name="viewer"/>)", true},
        {"in a comment", R"(<!-- <xsl:param name="viewer"/> -->)", false},
        {"a template's parameter", R"(<xsl:template name="t"><xsl:param name="viewer"/></xsl:template>)", false},
        {"another name", R"(<xsl:param name="viewers"/>)", false},
        {"not XSLT's", R"(<x:param xmlns:x="urn:other" name="viewer"/>)", false},
    };
    std::string document = Document(ReportKind::Aggregated, Event("d", "2", "10"));
    document.replace(document.find("style.xsl"), 9, "own.xsl");
    for (const Case& c : cases) {
        ASSERT_TRUE(ReplaceFile(folder_ / "own.xsl",
                                std::string(R"(<xsl:stylesheet version="1.0" )"
                                            R"(xmlns:xsl="http://www.w3.org/1999/XSL/Transform">)") +
                                    c.declarations + R"(<xsl:template match="/"><p>page</p></xsl:template>)" +
                                    "</xsl:stylesheet>"));
        const auto page = RenderViewerPage(document, folder_.Path(), {{"jobs", "1"}});
        ASSERT_TRUE(page) << c.label << ": " << page.Error();
        EXPECT_EQ(page->tables, c.tables) << c.label;
        EXPECT_NE(page->html.find("page"), std::string::npos) << c.label;
    }
}

TEST_F(HandWrittenReportTest, AMissingDocumentIsAMessage)
{
    const auto html = RenderReportFile(folder_ / "DisplayReport.xml");
    ASSERT_FALSE(html);
    EXPECT_NE(html.Error().find("cannot be read"), std::string::npos) << html.Error();
}

// The machine's own report document and the central store's, through each
// shipped stylesheet: the first as it always rendered, byte for byte (the
// pages kept from before the server column came); the second with each
// job's server, and its subtotals per server.
TEST(CentralDocumentTest, StylesheetsShowAServerColumnOnlyForJobsThatCarryIt)
{
    const fs::path golden = OSTREL_GOLDEN_DIR;
    const std::string local = *ReadFileBytes(golden / "local-report.xml");
    ReportResult<ReportEventTable> table = ReportEventTable::Read(local);
    ASSERT_TRUE(table);
    ReportEventTable central;
    const char* servers[] = {"north", "south", "north"};
    for (std::size_t row = 0; row < table->Rows(); ++row) {
        ReportEventTable::Fields fields;
        for (std::size_t field = 0; field < ReportEventTable::Server; ++field)
            fields[field] = table->Text(row, static_cast<ReportEventTable::Field>(field));
        fields[ReportEventTable::Server] = servers[row];
        central.Append(fields);
    }
    struct Sheet {
        const char* name;
        ReportKind kind;
        int serverColumn;  // of the jobs table, from 1
    };
    for (const Sheet& sheet : {Sheet{"style", ReportKind::Aggregated, 6}, Sheet{"printers", ReportKind::Printer, 5},
                               Sheet{"users", ReportKind::User, 5}}) {
        const std::string stylesheet =
            *ReadFileBytes(test::ReportAppFolder::ShippedStylesheet(sheet.name + std::string(".xsl")));
        const ReportResult<std::string> before = RenderWithStylesheet(local, stylesheet);
        ASSERT_TRUE(before) << before.Error();
        EXPECT_EQ(*before, *ReadFileBytes(golden / ("local-" + std::string(sheet.name) + ".html"))) << sheet.name;

        const std::string document = ReportDocumentOf(sheet.kind, "<period>This Week</period>", central, true);
        const ReportResult<std::string> html = RenderWithStylesheet(document, stylesheet);
        ASSERT_TRUE(html) << html.Error();
        const std::string column = "[" + std::to_string(sheet.serverColumn) + "]";
        EXPECT_EQ(HtmlTexts(*html, "//table[@id='jobs']/tr[1]/th" + column), std::vector<std::string>{"Server"})
            << sheet.name;
        EXPECT_EQ(HtmlTexts(*html, "//table[@id='jobs']/tr[@class='job']/td" + column),
                  (std::vector<std::string>{"north", "south", "north"}))
            << sheet.name;
        EXPECT_EQ(HtmlTexts(*html, "//table[@id='servers']//td[@class='name']"),
                  (sheet.kind == ReportKind::Aggregated ? std::vector<std::string>{"north", "south"}
                                                        : std::vector<std::string>{}))
            << sheet.name;
    }
}

}  // namespace
}  // namespace ostrel
