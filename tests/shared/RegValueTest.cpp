#include "Files.h"
#include "RegValue.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

constexpr const char* kPath = "Software\\Ostrel\\AppRuns";

RegData Dword(std::uint32_t value)
{
    std::string bytes(4, '\0');
    for (size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return {RegType::Dword, bytes};
}

class RegValueTest : public ::testing::Test {
protected:
    test::TempFolder temp;
    DirectoryRegistry hive{temp / "HKLM"};

    std::optional<RegData> Stored(const char* name = "AppRuns") const { return hive.Query("Software\\Ostrel", name); }
    void Store(const RegData& data) { ASSERT_TRUE(hive.Set("Software\\Ostrel", "AppRuns", data)); }
};

TEST_F(RegValueTest, MissingValueReadsAsTheDefaultWithoutCreatingAnything)
{
    for (std::uint32_t fallback : {0u, 7u}) {
        RegValueDword value(kPath, fallback, false, hive);
        EXPECT_EQ(value.Get(), fallback);
        EXPECT_FALSE(value.Valid());
    }
    for (const std::string fallback : {"", "fallback"}) {
        RegValueString value(kPath, fallback, false, hive);
        EXPECT_EQ(value.Get(), fallback);
        EXPECT_FALSE(value.Valid());
    }
    EXPECT_FALSE(fs::exists(temp / "HKLM"));
}

TEST_F(RegValueTest, SettingAnAbsentValueToZeroWritesNothingUntilWrite)
{
    RegValueDword number(kPath, 0, false, hive);
    number.Set(0);
    RegValueString text("Software\\Ostrel\\Text", "", false, hive);
    text.Set("");
    EXPECT_FALSE(fs::exists(temp / "HKLM"));

    number.Write();
    EXPECT_TRUE(fs::is_regular_file(temp / "HKLM/Software/Ostrel/AppRuns"));
    EXPECT_EQ(Stored(), Dword(0));
    EXPECT_TRUE(number.Valid());

    // The default is what Get answers, never what the cache holds.
    RegValueDword withDefault("Software\\Ostrel\\Other", 7, false, hive);
    withDefault.Set(7);
    EXPECT_EQ(Stored("Other"), Dword(7));
}

TEST_F(RegValueTest, SetOfTheCachedValueLeavesTheStoreAlone)
{
    Store(Dword(5));
    RegValueDword value(kPath, 0, false, hive);
    ASSERT_TRUE(value.Valid());
    ASSERT_EQ(value.Get(), 5u);

    Store(Dword(9));
    EXPECT_EQ(value.Get(), 5u) << "a valid cache is answered without reading";
    value.Set(5);
    EXPECT_EQ(Stored(), Dword(9));

    value.Write();
    EXPECT_EQ(Stored(), Dword(5));
    value.Set(0x12345678);
    EXPECT_EQ(Stored(), (RegData{RegType::Dword, "\x78\x56\x34\x12"s}));
}

TEST_F(RegValueTest, ForceReadsOnEveryGetAndWritesOnEverySet)
{
    Store(Dword(5));
    RegValueDword value(kPath, 0, true, hive);
    EXPECT_EQ(value.Get(), 5u);
    Store(Dword(9));
    EXPECT_EQ(value.Get(), 9u);
    Store(Dword(3));
    value.Set(9);
    EXPECT_EQ(Stored(), Dword(9));
}

TEST_F(RegValueTest, FailedReadKeepsTheCachedValue)
{
    Store(Dword(5));
    RegValueDword value(kPath, 77, false, hive);
    ASSERT_EQ(value.Get(), 5u);

    Store({RegType::Binary, "12345678"});
    EXPECT_EQ(value.Read(), 77u);
    ASSERT_TRUE(hive.Remove("Software\\Ostrel", "AppRuns"));
    EXPECT_EQ(value.Read(), 77u);
    EXPECT_TRUE(value.Valid());
    EXPECT_EQ(value.Get(), 5u);
}

TEST_F(RegValueTest, FailedWriteStillChangesTheCachedValue)
{
    Store(Dword(5));
    RegValueDword value(kPath, 0, false, hive);
    ASSERT_EQ(value.Get(), 5u);
    // A plain file where the key folder should be makes every write fail.
    fs::remove_all(temp / "HKLM/Software");
    std::ofstream(temp / "HKLM/Software") << "not a key";

    value.Set(7);
    EXPECT_EQ(Stored(), std::nullopt);
    EXPECT_EQ(value.Get(), 7u);
}

struct PathCase {
    const char* label;
    const char* fullPath;
    const char* keyPath;
    const char* file;
};

void PrintTo(const PathCase& c, std::ostream* out)
{
    *out << c.fullPath;
}

class RegValuePathTest : public RegValueTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(RegValuePathTest, SplitsKeyPathFromValueName)
{
    const PathCase& c = GetParam();
    RegValueDword value(c.fullPath, 0, false, hive);
    EXPECT_EQ(value.KeyPath(), c.keyPath);
    EXPECT_EQ(value.ValueName(), "AppRuns");

    value.Set(3);
    EXPECT_EQ(ReadFileBytes(temp / "HKLM" / c.file), "REG_DWORD\n\3\0\0\0"s);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, RegValuePathTest,
    ::testing::Values(
        PathCase{"Plain", "Software\\Ostrel\\AppRuns", "Software\\Ostrel", "Software/Ostrel/AppRuns"},
        PathCase{"LeadingBackslash", "\\Software\\Ostrel\\AppRuns", "Software\\Ostrel", "Software/Ostrel/AppRuns"},
        PathCase{"DoubledBeforeName", "Software\\Ostrel\\\\AppRuns", "Software\\Ostrel", "Software/Ostrel/AppRuns"},
        PathCase{"ManyBackslashes", "\\\\Software\\Ostrel\\\\\\AppRuns", "Software\\Ostrel", "Software/Ostrel/AppRuns"},
        PathCase{"NameOnly", "AppRuns", "", "AppRuns"}),
    [](const ::testing::TestParamInfo<PathCase>& testCase) { return std::string(testCase.param.label); });

TEST_F(RegValueTest, TextIsStoredWithOneTerminatingZero)
{
    RegValueString value(kPath, "", false, hive);
    value.Set("x");
    value.Set("");
    EXPECT_EQ(Stored(), (RegData{RegType::Sz, "\0"s}));

    for (const std::string text : {"Caf\xc3\xa9", "\xff\x80\xfe", "line\r\nnext", "C:\\Program Files\\Ostrel"}) {
        SCOPED_TRACE(text);
        value.Set(text);
        EXPECT_EQ(Stored(), (RegData{RegType::Sz, text + '\0'}));
        EXPECT_EQ(RegValueString(kPath, "fallback", false, hive).Get(), text);
    }
}

TEST_F(RegValueTest, DwordTakesTheRawBytesOfAnyTypeUpToFour)
{
    struct Case {
        const char* label;
        RegData stored;
        std::uint32_t expected;
        bool valid;
    };
    const std::vector<Case> cases = {
        {"dword", Dword(0x12345678), 0x12345678, true},
        {"binary of two bytes", {RegType::Binary, "\x02\x01"}, 0x0102, true},
        {"one high byte", {RegType::Binary, "\x80"}, 0x80, true},
        {"binary of four high bytes", {RegType::Binary, "\xff\xff\xff\xfe"}, 0xFEFFFFFF, true},
        {"binary of eight bytes", {RegType::Binary, "\1\0\0\0\0\0\0\0"s}, 77, false},
        {"text of one digit", {RegType::Sz, "1\0"s}, 0x0031, true},
        {"no bytes", {RegType::Dword, ""}, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Store(c.stored);
        RegValueDword value(kPath, 77, false, hive);
        EXPECT_EQ(value.Get(), c.expected);
        EXPECT_EQ(value.Valid(), c.valid);
    }
}

TEST_F(RegValueTest, TextEndsAtTheFirstZeroWhateverTheType)
{
    struct Case {
        const char* label;
        RegData stored;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"expandable text", {RegType::ExpandSz, "%SystemRoot%\\ostrel\0"s}, "%SystemRoot%\\ostrel"},
        {"zero inside", {RegType::Sz, "abc\0def\0"s}, "abc"},
        {"binary without zero", {RegType::Binary, "abc"}, "abc"},
        {"zero length", {RegType::Sz, ""}, ""},
        {"dword", Dword(5), "\x05"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Store(c.stored);
        RegValueString value(kPath, "fallback", false, hive);
        EXPECT_EQ(value.Get(), c.expected);
        EXPECT_TRUE(value.Valid());
    }
}

}  // namespace
}  // namespace ostrel
