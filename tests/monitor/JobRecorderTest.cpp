#include "JobRecorder.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

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

}  // namespace
}  // namespace ostrel
