#include "SafeText.h"

#include <gtest/gtest.h>

#include <set>

namespace ostrel {
namespace {

using namespace std::string_literals;

TEST(SafeText, XmlTextKeepsValidUtf8AndReplacesTheRest)
{
    struct Case {
        const char* label;
        std::string input;
        std::string expected;
    };
    const Case cases[] = {
        {"plain", "report.pdf", "report.pdf"},
        {"accents and emoji", "R\xC3\xA9sum\xC3\xA9 \xF0\x9F\x96\xA8", "R\xC3\xA9sum\xC3\xA9 \xF0\x9F\x96\xA8"},
        {"tab and line ends stay", "a\tb\r\nc", "a\tb\r\nc"},
        {"controls", "a\x01"s + "b\x1F\x7F" + "\0"s,
         "a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"latin-1 byte", "caf\xE9", "caf\xEF\xBF\xBD"},
        {"truncated sequence at the end", "ab\xE2\x82", "ab\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"overlong slash", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"surrogate", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"non-character", "\xEF\xBF\xBF", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SanitizeXmlText(c.input), c.expected) << c.label;
}

TEST(SafeText, UserFolderNamesStayInsideTheUsersFolder)
{
    struct Case {
        const char* label;
        std::string user;
        std::string folder;
    };
    const Case cases[] = {
        {"plain", "maria", "maria"},
        {"dot", ".", "_."},
        {"dot dot", "..", "_.."},
        {"path", "../../etc", ".._.._etc"},
        {"absolute", "/root", "_root"},
        {"zero byte", "a\0b"s, "a_b"},
        {"empty", "", ""},
        {"dots inside", "john.doe", "john.doe"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UserFolderName(c.user), c.folder) << c.label;
}

TEST(SafeText, PrinterFolderNamesStayInsideThePrintersFolder)
{
    const std::pair<std::string, std::string> cases[] = {
        {"7", "Printer_7"},
        {"../../../escape", "Printer_.._.._.._escape"},
        {"1/../../x", "Printer_1_.._.._x"},
        {"..", "Printer__.."},
        {"", "Printer_"},
    };
    for (const auto& [id, folder] : cases)
        EXPECT_EQ(PrinterFolderName(id), folder) << id;
    EXPECT_LE(PrinterFolderName(std::string(400, '9')).size(), 255u);
}

TEST(SafeText, LongUserNamesAreCutButStayApart)
{
    const std::string common(300, 'x');
    const std::string first = UserFolderName(common + "a");
    const std::string second = UserFolderName(common + "b");
    EXPECT_LE(first.size(), 200u);
    EXPECT_NE(first, second);
    EXPECT_EQ(first, UserFolderName(common + "a"));  // the console finds the same folder

    // A cut never splits a UTF-8 sequence.
    std::string accented;
    for (int i = 0; i < 150; ++i)
        accented += "\xC3\xA9";
    EXPECT_EQ(SanitizeXmlText(UserFolderName(accented)), UserFolderName(accented));
}

}  // namespace
}  // namespace ostrel
