#include "FakeClock.h"
#include "Files.h"
#include "ReportDocument.h"
#include "ReportEvents.h"
#include "ReportTestSupport.h"
#include "SafeText.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using test::FileBytes;
using test::TestJob;
using test::ZoneGuard;

constexpr size_t kBlanks = 525;

// The headers as the console writes them, spelled out.
const std::string kPrinterHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><?xml-stylesheet href='printers.xsl' type='text/xsl'?><log>";
const std::string kUserHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><?xml-stylesheet href='users.xsl' type='text/xsl'?><log>";
const std::string kMachineHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><?xml-stylesheet href='style.xsl' type='text/xsl'?><log>";

class ReportDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app_.WriteSettings({{"Laser", "1"}, {"Büro Farbe", "2"}});
        app_.Record(jobs_, recordedAt_);
    }

    ReportResult<fs::path> Show(ReportKind kind, std::string name, std::string period = "Today",
                                bool defaultPrinter = false)
    {
        return MakeDisplayReport(app_.Path(), {{kind, std::move(name), defaultPrinter}, std::move(period)}, clock_);
    }

    fs::path Display() const { return app_.Logs() / "DisplayReport.xml"; }

    ZoneGuard zone_{"UTC0"};
    const Clock::TimePoint recordedAt_ = LocalTimePoint(2026, 3, 5, 9, 30);
    FakeClock clock_{LocalTimePoint(2026, 3, 5, 17, 0)};
    test::ReportAppFolder app_;
    const std::vector<TestJob> jobs_ = {
        {"maria", "Laser", "Budget 2026.xlsx", 3, "5"},
        {"jürgen", "Büro Farbe", "Grüße.odt", 2, "12"},
        {"maria", "Büro Farbe", "Plan", 1, "12"},
    };
};

TEST_F(ReportDocumentTest, HeaderAndCaptionGoOverTheBlanksOfTheMonitorsFile)
{
    struct Case {
        const char* label;
        ReportKind kind;
        std::string name;
        fs::path periodFile;
        std::string header;
        std::string caption;
    };
    const Case cases[] = {
        {"printer", ReportKind::Printer, "Büro Farbe", app_.Logs() / "Printers/Printer_2/d_20260305.xml",
         kPrinterHeader, "<period>03/05/2026</period>"},
        {"user", ReportKind::User, "maria", app_.Logs() / "Users/maria/d_20260305.xml", kUserHeader,
         "<period>03/05/2026</period>"},
        {"machine", ReportKind::Aggregated, "", app_.Logs() / "d_20260305.xml", kMachineHeader,
         "<period>03/05/2026</period>"},
    };
    for (const Case& c : cases) {
        const std::string source = FileBytes(c.periodFile);
        ASSERT_GT(source.size(), kBlanks) << c.label;
        ASSERT_EQ(source.substr(0, kBlanks), std::string(kBlanks, ' ')) << c.label;

        const auto shown = Show(c.kind, c.name);
        ASSERT_TRUE(shown) << c.label << ": " << shown.Error();
        EXPECT_EQ(*shown, Display()) << c.label;

        const std::string head = c.header + c.caption;
        const std::string expected = head + std::string(kBlanks - head.size(), ' ') + source.substr(kBlanks) + "</log>";
        EXPECT_EQ(FileBytes(Display()), expected) << c.label;
        EXPECT_EQ(FileBytes(c.periodFile), source) << c.label << ": the period file changed";
    }
}

TEST_F(ReportDocumentTest, WeekCaptionsFollowTheKind)
{
    struct Case {
        ReportKind kind;
        std::string name;
        std::string header;
        std::string caption;
    };
    // 5 March 2026 is day 63 of the year: week 10.
    const Case cases[] = {
        {ReportKind::Printer, "Laser", kPrinterHeader, "<period>This Week</period>"},
        {ReportKind::User, "maria", kUserHeader, "<period>Week 10 of 2026</period>"},
        {ReportKind::Aggregated, "", kMachineHeader, "<period>This Week</period>"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Show(c.kind, c.name, "This week")) << c.header;
        EXPECT_EQ(FileBytes(Display()).substr(0, c.header.size() + c.caption.size()), c.header + c.caption);
    }
}

TEST_F(ReportDocumentTest, TheDocumentHoldsEveryRecordOfThePeriodFile)
{
    ASSERT_TRUE(Show(ReportKind::Aggregated, ""));
    const auto events = ReadReportEvents(FileBytes(Display()));
    ASSERT_TRUE(events) << events.Error();
    ASSERT_EQ(events->size(), jobs_.size());
    const ReportEvent second{"05", "03", "2026", "09", "30", "Grüße.odt", "2", "24", "Büro Farbe", "jürgen"};
    EXPECT_EQ((*events)[1], second);
}

TEST_F(ReportDocumentTest, ASecondReportReplacesTheFirstWhole)
{
    ASSERT_TRUE(Show(ReportKind::Aggregated, ""));
    const std::string first = FileBytes(Display());
    ASSERT_TRUE(Show(ReportKind::User, "jürgen"));
    const std::string second = FileBytes(Display());
    EXPECT_LT(second.size(), first.size());
    EXPECT_EQ(second.substr(0, kUserHeader.size()), kUserHeader);
    EXPECT_EQ(second.substr(second.size() - 6), "</log>");
    const auto events = ReadReportEvents(second);
    ASSERT_TRUE(events) << events.Error();
    ASSERT_EQ(events->size(), 1u);
    EXPECT_EQ((*events)[0].user, "jürgen");
}

TEST_F(ReportDocumentTest, EachFailureHasTheConsolesMessage)
{
    struct Case {
        const char* label;
        ReportKind kind;
        std::string name;
        std::string period;
        bool defaultPrinter;
        std::string message;
    };
    const std::string notMonitored = "The selected printer is not monitored. Please check the Printers menu.";
    const std::string defaultNotMonitored = "The default printer is not monitored. Please check the Printers menu.";
    const std::string missing = "The report your are trying to view does not exists.";
    const Case cases[] = {
        {"printer not in settings.xml", ReportKind::Printer, "Plotter", "Today", false, notMonitored},
        {"default printer not in settings.xml", ReportKind::Printer, "Plotter", "Today", true, defaultNotMonitored},
        {"printer name differs in case", ReportKind::Printer, "laser", "Today", false, notMonitored},
        {"printer and period both unknown", ReportKind::Printer, "Plotter", "today", false, notMonitored},
        {"no events this period, printer", ReportKind::Printer, "Laser", "Yesterday", false, missing},
        {"no events this period, machine", ReportKind::Aggregated, "", "Last year", false, missing},
        {"user without a folder", ReportKind::User, "nobody", "Today", false, missing},
        {"period outside the list", ReportKind::Aggregated, "", "today", false, missing},
        {"empty period", ReportKind::User, "maria", "", false, missing},
    };
    for (const Case& c : cases) {
        const auto shown = Show(c.kind, c.name, c.period, c.defaultPrinter);
        ASSERT_FALSE(shown) << c.label;
        EXPECT_EQ(shown.Error(), c.message) << c.label;
        EXPECT_FALSE(fs::exists(Display())) << c.label;
    }
}

TEST_F(ReportDocumentTest, ASettingsDocumentWithoutThePrinterMeansNotMonitored)
{
    fs::remove(fs::path(app_.Path()) / "settings.xml");
    const auto shown = Show(ReportKind::Printer, "Laser");
    ASSERT_FALSE(shown);
    EXPECT_EQ(shown.Error(), "The selected printer is not monitored. Please check the Printers menu.");
}

TEST_F(ReportDocumentTest, APeriodFileThatCannotBeReadIsACopyFailure)
{
    ASSERT_TRUE(Show(ReportKind::User, "maria"));
    const std::string previous = FileBytes(Display());
    // A folder where last week's file would be: it exists but cannot be read as a file.
    fs::create_directories(app_.Logs() / "Users/maria/w_9_2026.xml");
    const auto shown = Show(ReportKind::User, "maria", "Last week");
    ASSERT_FALSE(shown);
    EXPECT_EQ(shown.Error(),
              "The report your are trying to view cannot be displayed. File could not be copyed to report folder.");
    EXPECT_EQ(FileBytes(Display()), previous) << "a failed report must leave the last document as it was";
}

TEST_F(ReportDocumentTest, ADocumentThatCannotBeWrittenIsACopyFailure)
{
    // A non-empty folder in the place of DisplayReport.xml cannot be replaced.
    fs::create_directories(Display() / "in-the-way");
    const auto shown = Show(ReportKind::Aggregated, "");
    ASSERT_FALSE(shown);
    EXPECT_EQ(shown.Error(),
              "The report your are trying to view cannot be displayed. File could not be copyed to report folder.");
    EXPECT_EQ(FileBytes(app_.Logs() / "d_20260305.xml").substr(0, kBlanks), std::string(kBlanks, ' '));
}

TEST_F(ReportDocumentTest, APrinterListedTwiceIsReportedUnderItsLastId)
{
    app_.WriteSettings({{"Laser", "1"}, {"Büro Farbe", "2"}, {"Laser", "7"}});
    const fs::path file = *PeriodFilePath(app_.Path(), {ReportKind::Printer, "Laser", false},
                                          {"d_", "20260305", "<period>03/05/2026</period>"});
    EXPECT_EQ(file, app_.Logs() / "Printers/Printer_7/d_20260305.xml");
}

TEST_F(ReportDocumentTest, AnIdThatWouldLeaveThePrintersFolderFindsTheMonitorsFolderInside)
{
    app_.WriteSettings({{"Laser", "../../etc"}});
    const fs::path file = *PeriodFilePath(app_.Path(), {ReportKind::Printer, "Laser", false},
                                          {"d_", "20260305", "<period>03/05/2026</period>"});
    EXPECT_EQ(file, app_.Logs() / "Printers/Printer_.._.._etc/d_20260305.xml");
    app_.WriteSettings({{"Laser", ""}});
    const auto shown = Show(ReportKind::Printer, "Laser");
    ASSERT_FALSE(shown);
    EXPECT_EQ(shown.Error(), "The selected printer is not monitored. Please check the Printers menu.");
}

TEST(ReportDocumentNames, NamesFindTheFoldersTheMonitorWrote)
{
    ZoneGuard zone("UTC0");
    test::ReportAppFolder app;
    app.WriteSettings({{"HP LaserJet", "3"}});
    FakeClock clock(LocalTimePoint(2026, 3, 5, 17, 0));
    struct Case {
        const char* label;
        std::string spoolerName;  // as the job carried it
        std::string typedName;    // as the console lists it or a script types it
    };
    const Case cases[] = {
        {"plain", "anna", "anna"},
        {"non-ASCII", "Zoë Ångström", "Zoë Ångström"},
        {"XML specials typed as the spooler gave them", "o'brien & <co>", "o'brien & <co>"},
        {"XML specials typed as recorded", "o'brien & <co>", "obrien  co"},
        {"a path that climbs", "../../etc", "../../etc"},
        {"a dot", ".", "."},
        {"a slash", "dom/user", "dom/user"},
        {"empty", "", ""},
        {"very long", std::string(300, 'x'), std::string(300, 'x')},
    };
    for (const Case& c : cases)
        app.Record({{c.spoolerName, "HP LaserJet", c.label, 1, "5"}}, LocalTimePoint(2026, 3, 5, 9, 0));
    for (const Case& c : cases) {
        const auto path = PeriodFilePath(app.Path(), {ReportKind::User, c.typedName, false},
                                         {"d_", "20260305", "<period>03/05/2026</period>"});
        ASSERT_TRUE(path) << c.label;
        const fs::path relative = fs::relative(path->lexically_normal(), app.Logs() / "Users");
        EXPECT_NE(relative.begin()->string(), "..") << c.label << ": " << path->string();
        const auto document = PrepareReport(app.Path(), {{ReportKind::User, c.typedName, false}, "Today"}, clock);
        ASSERT_TRUE(document) << c.label << ": " << document.Error();
        const auto events = ReadReportEvents(*document);
        ASSERT_TRUE(events) << c.label << ": " << events.Error();
        bool found = false;
        for (const ReportEvent& event : *events)
            found = found || event.doc == c.label;
        EXPECT_TRUE(found) << c.label;
    }
}

TEST(ReportDocumentBuild, ExactBytesForEveryShapeOfPeriodFile)
{
    const std::string header = kMachineHeader + "<period>2026</period>";
    const std::string record =
        "\n<event><day>05</day><month>03</month><year>2026</year><hour>09</hour><min>30</min>"
        "<doc>a</doc><pages>1</pages><cost>5</cost><printer>P</printer><user>u</user></event>";
    const std::string blanks(kBlanks, ' ');
    const std::string rest(kBlanks - header.size(), ' ');
    struct Case {
        const char* label;
        std::string file;
        std::string document;
    };
    const Case cases[] = {
        {"one record", blanks + record, header + rest + record + "</log>"},
        {"two records", blanks + record + record, header + rest + record + record + "</log>"},
        {"blanks only", blanks, header + rest + "</log>"},
        {"empty file", "", header + "</log>"},
        {"a record half written", blanks + record + record.substr(0, 40), header + rest + record + "</log>"},
        {"only a record half written", blanks + record.substr(0, 30), header + rest + "</log>"},
        {"a line end after the last record", blanks + record + "\n", header + rest + record + "</log>"},
        {"records written on Windows", blanks + "\r" + record + "\r" + record,
         header + rest + "\r" + record + "\r" + record + "</log>"},
        {"a short blank run keeps every record", std::string(10, ' ') + record, header + record + "</log>"},
        {"no blank run at all", record, header + record + "</log>"},
        {"text that is no record stays, to show the damage", blanks + record + "junk",
         header + rest + record + "junk</log>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildReportDocument(c.file, ReportKind::Aggregated, "<period>2026</period>"), c.document) << c.label;
}

TEST(ReportDocumentBuild, HeadersNameTheirStylesheetsAndFitTheBlankRun)
{
    const std::pair<ReportKind, std::string> cases[] = {{ReportKind::Printer, kPrinterHeader},
                                                        {ReportKind::User, kUserHeader},
                                                        {ReportKind::Aggregated, kMachineHeader}};
    // The longest caption any period gives.
    const std::string longestCaption = "<period>Week 53 of 2026</period><period>2nd Semester of 2026</period>";
    for (const auto& [kind, header] : cases) {
        EXPECT_EQ(ReportHeader(kind), header);
        EXPECT_LT(header.size() + longestCaption.size(), kBlanks);
    }
}

TEST(ReportDocumentPaths, EachKindHasItsFolder)
{
    test::TempFolder folder;
    const std::string app = folder.Path().string();
    ASSERT_TRUE(ReplaceFile(folder / "settings.xml",
                            "<log><printers><name>Laser</name><ID>4</ID><cost>1</cost><monitored>1</monitored>"
                            "</printers></log>"));
    const ResolvedPeriod week{"w_", "9_2006", "<period>This Week</period>"};
    EXPECT_EQ(*PeriodFilePath(app, {ReportKind::Printer, "Laser", false}, week),
              fs::path(app + "/Logs/Printers/Printer_4/w_9_2006.xml"));
    EXPECT_EQ(*PeriodFilePath(app, {ReportKind::User, "maria", false}, week),
              fs::path(app + "/Logs/Users/maria/w_9_2006.xml"));
    EXPECT_EQ(*PeriodFilePath(app, {ReportKind::User, "", false}, week), fs::path(app + "/Logs/Users/w_9_2006.xml"));
    EXPECT_EQ(*PeriodFilePath(app, {ReportKind::Aggregated, "ignored", false}, week),
              fs::path(app + "/Logs/w_9_2006.xml"));
    EXPECT_EQ(DisplayReportPath(app), fs::path(app + "/Logs/DisplayReport.xml"));
}

}  // namespace
}  // namespace ostrel
