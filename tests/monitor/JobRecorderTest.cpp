#include "JobRecorder.h"

#include "DocumentNames.h"
#include "EventLogWriter.h"
#include "FakeClock.h"
#include "Files.h"
#include "RegistryHive.h"
#include "TempFolder.h"
#include "ZoneGuard.h"

#include <gtest/gtest.h>

#include <optional>

namespace ostrel {
namespace {

using test::TempFolder;

TEST(JobRecorder, CostIsTheCostTextReadAsAnIntegerTimesThePages)
{
    struct Case {
        const char* cost;
        std::uint32_t pages;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"5", 3, 15},
        {"2.5", 3, 6},
        {"", 3, 0},
        {"abc", 3, 0},
        {"  7 cents", 2, 14},
        {"+4", 2, 8},
        {"-2", 3, -6},
        {"5", 0, 0},
        // Beyond 32 bits the text is held at the largest 32-bit value, and
        // the product still fits.
        {"99999999999", 4294967295u, 2147483647LL * 4294967295LL},
        {"3000000", 3000, 9000000000LL},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JobRecorder::JobCost(c.cost, c.pages), c.expected) << '"' << c.cost << "\" x " << c.pages;
}

TEST(JobRecorder, EventTextHasTheFixedShape)
{
    PrintJob job;
    job.id = 4;
    job.document = "Q1 <draft> & \"final\" 'v2'.pdf";
    job.user = "maria";
    job.totalPages = 3;
    job.submitted = {2007, 2, 6, 3, 9, 5, 59, 0};
    EXPECT_EQ(JobRecorder::EventText(job, "5", "Laser & Co"),
              "\n<event><day>03</day><month>02</month><year>2007</year><hour>09</hour><min>05</min>"
              "<doc>Q1 draft  final v2.pdf</doc><pages>3</pages><cost>15</cost><printer>Laser  Co</printer>"
              "<user>maria</user></event>");

    job.document.clear();
    job.user.clear();
    job.submitted = {2026, 12, 4, 31, 23, 58, 0, 0};
    EXPECT_EQ(JobRecorder::EventText(job, "", "P"),
              "\n<event><day>31</day><month>12</month><year>2026</year><hour>23</hour><min>58</min>"
              "<doc></doc><pages>3</pages><cost>0</cost><printer>P</printer><user></user></event>");
}

TEST(JobRecorder, NamesFromAJobCannotBreakTheRecord)
{
    const std::string hostile = "../<x>&\x01\xFF\xC3\xA9";
    EXPECT_EQ(JobRecorder::SafeName(hostile), "../x\xEF\xBF\xBD\xEF\xBF\xBD\xC3\xA9");
}

// Sites that record the same two jobs, the second after the value was
// set: where names are kept out, the eighteen files differ from those of a
// site that keeps them in the doc element alone, and the records written
// before keep their names.
TEST(JobRecorder, WithoutDocumentNamesEveryFileHoldsADashAndIsOtherwiseTheSame)
{
    const test::ZoneGuard zone("UTC0");
    FakeClock clock(LocalTimePoint(2026, 3, 5, 10, 0));
    PrintJob job;
    job.id = 7;
    job.document = "Salary review <draft> & notes.pdf";
    job.user = "maria";
    job.totalPages = 2;
    job.submitted = {2026, 3, 4, 5, 9, 58, 0, 0};
    const std::string named = "<doc>Salary review draft  notes.pdf</doc>";

    struct Site {
        std::optional<std::uint32_t> value;  // RecordDocumentNames from the second job on; none: absent
        bool namesKept;
        TempFolder app{};
        TempFolder store{};
    };
    Site sites[] = {{std::nullopt, true}, {1, true}, {0, false}, {2, false}};
    for (Site& site : sites) {
        ASSERT_TRUE(ReplaceFile(site.app / "settings.xml",
                                "<log><printers><name>Laser</name><ID>1</ID><cost>5</cost>"
                                "<monitored>1</monitored></printers></log>"));
        DirectoryRegistry registry(site.store.Path());
        EventLogWriter writer(site.app.Path().string(), clock);
        JobRecorder recorder(writer, registry);
        recorder.Record(job, "5", "Laser");
        if (site.value)
            registry.Set("Software\\Ostrel", kRecordDocumentNamesValue, DwordData(*site.value));
        EXPECT_EQ(RecordsDocumentNames(registry), site.namesKept);
        recorder.Record(job, "5", "Laser");
    }

    const Site& reference = sites[0];
    const std::vector<std::filesystem::path> files =
        EventLogWriter(reference.app.Path().string(), clock).PeriodFiles(clock.Now(), "maria", "Printer_1");
    ASSERT_EQ(files.size(), 18u);
    for (const auto& file : files) {
        const std::string tail = file.lexically_relative(reference.app.Path()).string();
        const std::string expected = ReadFileBytes(file).value_or("<missing>");
        // Both records named there; elsewhere the first stays as it was and
        // the second differs in its doc alone.
        const std::size_t second = expected.rfind(named);
        ASSERT_TRUE(second != std::string::npos && expected.find(named) < second) << tail << ": " << expected;
        for (const Site& site : sites) {
            std::string want = expected;
            if (!site.namesKept)
                want.replace(second, named.size(), "<doc>" + std::string(kUnrecordedDocument) + "</doc>");
            EXPECT_EQ(ReadFileBytes(site.app / tail).value_or("<missing>"), want)
                << tail << " with the value " << (site.value ? std::to_string(*site.value) : "absent");
        }
    }
}

}  // namespace
}  // namespace ostrel
