#include "ShiftedText.h"

#include "RegValue.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace ostrel {
namespace {

std::string AllBytes()
{
    std::string text;
    for (int byte = 0; byte < 256; ++byte)
        text += static_cast<char>(byte);
    return text;
}

// The stored form of a text without special bytes, byte by byte.
std::string PlainShift(std::string_view text)
{
    std::string shifted;
    for (const char c : text)
        shifted += static_cast<char>(static_cast<unsigned char>(static_cast<unsigned char>(c) + kTextShift));
    return shifted;
}

TEST(ShiftedText, OrdinaryTextsShiftByteForByte)
{
    struct Case {
        const char* label;
        std::string plain;
    };
    const Case cases[] = {
        {"empty", ""},
        {"address", "alice@example.org"},
        {"password with symbols", "p@ss w0rd!~"},
        {"UTF-8 name", "J\xC3\xBCrgen M\xC3\xBCller \xE2\x82\xAC"},
        {"highest UTF-8 lead byte", "\xF4\x8F\xBF\xBF"},
        {"bytes that wrap past 255", "\xF0\xF4\xFF"},
    };
    for (const auto& c : cases) {
        const std::string stored = ShiftText(c.plain);
        EXPECT_EQ(stored.size(), c.plain.size()) << c.label;
        EXPECT_EQ(stored, PlainShift(c.plain)) << c.label;
        if (!c.plain.empty()) {
            EXPECT_NE(stored, c.plain) << c.label;
        }
        EXPECT_EQ(UnshiftText(stored), c.plain) << c.label;
    }
}

TEST(ShiftedText, EveryByteComesBackAndNoneIsStoredAsZero)
{
    for (int byte = 0; byte < 256; ++byte) {
        const std::string plain{'a', static_cast<char>(byte), 'z'};
        const std::string stored = ShiftText(plain);
        EXPECT_EQ(stored.find('\0'), std::string::npos) << "byte " << byte;
        EXPECT_EQ(UnshiftText(stored), plain) << "byte " << byte;
    }
}

TEST(ShiftedText, TheTwoSpecialBytesAreEscaped)
{
    const char zeroByte = static_cast<char>(0x100 - kTextShift);
    const char escapeByte = static_cast<char>(0x101 - kTextShift);
    struct Case {
        const char* label;
        std::string plain;
        std::string stored;
    };
    const Case cases[] = {
        {"byte that would be 0", std::string(1, zeroByte), "\x01\x01"},
        {"byte that would be the escape", std::string(1, escapeByte), "\x01\x02"},
        {"both, between letters", std::string("a") + zeroByte + escapeByte + "b",
         PlainShift("a") + "\x01\x01\x01\x02" + PlainShift("b")},
        {"twice in a row", std::string(2, zeroByte), "\x01\x01\x01\x01"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShiftText(c.plain), c.stored) << c.label;
        EXPECT_EQ(UnshiftText(c.stored), c.plain) << c.label;
    }
}

TEST(ShiftedText, ALoneEscapeReadsAsThePlainShiftOfIt)
{
    // A text stored by a plain byte-wise shift that ends in, or continues
    // after, the escape byte with anything but a code byte.
    const char escapeByte = static_cast<char>(0x101 - kTextShift);
    EXPECT_EQ(UnshiftText("\x01"), std::string(1, escapeByte));
    EXPECT_EQ(UnshiftText(std::string("\x01") + PlainShift("x")), std::string(1, escapeByte) + "x");
}

TEST(ShiftedText, EveryByteSurvivesTheRegistryStore)
{
    test::TempFolder folder;
    DirectoryRegistry hive(folder / "registry");
    const std::string plain = AllBytes();
    RegValueString stored("Software\\Ostrel\\ESMTPPass4MailServer", "", false, hive);
    stored.Set(ShiftText(plain));
    stored.Write();

    RegValueString loaded("Software\\Ostrel\\ESMTPPass4MailServer", "", false, hive);
    EXPECT_EQ(UnshiftText(loaded.Get()), plain);
}

}  // namespace
}  // namespace ostrel
