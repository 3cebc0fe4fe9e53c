#include "Files.h"
#include "Process.h"
#include "RegCommand.h"
#include "RegistryHive.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

const std::string kKey = "HKLM\\Software\\Ostrel";
const std::string kShown = "HKEY_LOCAL_MACHINE\\Software\\Ostrel\n";
const std::string kNotFound = "ERROR: The system was unable to find the specified registry key or value.\n";
const std::string kDone = "The operation completed successfully.\n";
const std::string kCancelled = "The operation was cancelled.\n";

RegData Sz(const std::string& text)
{
    return {RegType::Sz, text + '\0'};
}

RegData Dword(std::uint32_t v)
{
    return {RegType::Dword,
            {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF), static_cast<char>((v >> 16) & 0xFF),
             static_cast<char>(v >> 24)}};
}

// Reads like the store but refuses every change, as a store without rights does.
class ReadOnlyHive final : public RegistryHive {
public:
    explicit ReadOnlyHive(const RegistryHive& inner) : inner_(inner) {}
    std::optional<RegData> Query(std::string_view k, std::string_view n) const override { return inner_.Query(k, n); }
    bool Set(std::string_view, std::string_view, const RegData&) override { return false; }
    bool Remove(std::string_view, std::string_view) override { return false; }
    std::optional<std::vector<RegEntry>> Enumerate(std::string_view k) const override { return inner_.Enumerate(k); }

private:
    const RegistryHive& inner_;
};

struct Outcome {
    int code;
    std::string out, err;
};

Outcome Reg(RegistryHive& hive, const Args& args, const std::string& input = {})
{
    std::istringstream in(input);
    std::ostringstream out, err;
    const int code = reg::RunRegCommand(args, hive, in, out, err);
    return {code, out.str(), err.str()};
}

class OstrelRegTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hive_.Set("Software\\Ostrel", "Existing", Dword(5)));
        ASSERT_TRUE(hive_.Set("Software\\Ostrel", "Text", Sz("hello")));
    }

    Outcome Run(const Args& args, const std::string& input = {}) { return Reg(hive_, args, input); }
    std::optional<RegData> Stored(const std::string& name) const { return hive_.Query("Software\\Ostrel", name); }

    // Every folder and file of the store, with the files' bytes.
    std::map<std::string, std::string> Snapshot() const
    {
        std::map<std::string, std::string> items;
        for (const auto& item : fs::recursive_directory_iterator(temp_.Path()))
            items[item.path().string()] = ReadFileBytes(item.path()).value_or("<folder>");
        return items;
    }

    test::TempFolder temp_;
    DirectoryRegistry hive_{temp_ / "HKEY_LOCAL_MACHINE"};
};

TEST_F(OstrelRegTest, BadInputFailsWithAMessageAndUsageHintAndLeavesTheStoreAlone)
{
    std::vector<std::pair<Args, std::string>> cases{
        {{}, "Invalid syntax."},
        {{"list", kKey}, "Invalid command \"list\""},
        {{"add", kKey, "/v", "New", "/t", "REG_BINARY", "/d", "01"}, "Invalid type \"REG_BINARY\""},
        {{"add", kKey, "/v", "New", "/ve"}, "Invalid switch /ve."},
        {{"add", kKey, "/v"}, "The switch /v needs an argument."},
        {{"add", kKey, "/v", "/f"}, "The switch /v needs an argument."},
        {{"add", kKey, "/v", "New", "/d"}, "The switch /d needs an argument."},
        {{"add", kKey, "/v", "A", "/V", "B"}, "The switch /V was given more than once."},
        {{"add", kKey, "/v", "A", "stray"}, "Unexpected argument \"stray\"."},
        {{"add", "/v", "New", "/d", "1"}, "Missing the key"},
        {{"delete", kKey, "/f"}, "Missing /v NAME"},
        {{"query", kKey, "/f"}, "The switch /f is not valid for query."},
        {{"delete", kKey, "/v", "Existing", "/d", "1"}, "The switch /d is not valid for delete."},
        {{"add", kKey, "/v", "New", "/t", "REG_DWORD"}, "REG_DWORD needs its data"},
        {{"add", "HKCU\\Software", "/v", "New", "/d", "x"}, "HKEY_LOCAL_MACHINE (HKLM) only, not HKCU"},
        {{"add", "Software\\Ostrel", "/v", "New", "/d", "x"}, "must start with HKLM or HKEY_LOCAL_MACHINE"},
        {{"add", "", "/v", "New", "/d", "x"}, "Invalid key name \"\""},
        {{"add", "HKLM\\..\\..\\etc", "/v", "New", "/d", "x"}, "Invalid key name \"..\""},
        {{"add", kKey, "/v", ".hidden", "/d", "x"}, "Invalid value name \".hidden\""},
        {{"add", kKey, "/v", "a/b", "/d", "x"}, "Invalid value name \"a/b\""},
        {{"query", kKey, "/v", ""}, "The value name is empty."},
        {{"add", kKey, "/v", std::string(256, 'n'), "/d", "x"}, "longer than 255 characters"},
    };
    // A rejected number must not touch the value already there either.
    for (const std::string data : {"abc", "-1", "+1", " 1", "1 ", "1.5", "4294967296", "99999999999999999999", "0x",
                                   "0x100000000", "0xg", "x10", ""})
        cases.push_back({{"add", kKey, "/v", "Existing", "/t", "REG_DWORD", "/d", data, "/f"},
                         "Invalid REG_DWORD data \"" + data + "\""});

    const auto before = Snapshot();
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const Outcome outcome = Run(args, "yes\n");
        EXPECT_EQ(outcome.code, 1);
        EXPECT_EQ(outcome.out, "");
        EXPECT_TRUE(outcome.err.starts_with("ERROR: ")) << outcome.err;
        EXPECT_NE(outcome.err.find(message), std::string::npos) << outcome.err;
        EXPECT_NE(outcome.err.find("Type \"ostrel-reg /?\" for usage."), std::string::npos);
        EXPECT_EQ(Snapshot(), before);
    }
}

// The cases spell the key in each accepted way; all reach the same key.
TEST_F(OstrelRegTest, AddedValuesAreStoredAndQueriedLikeReg)
{
    struct Case {
        Args args;
        RegData stored;
        std::string shown;
    };
    const std::vector<Case> cases{
        {{"add", kKey, "/v", "N", "/t", "REG_DWORD", "/d", "0"}, Dword(0), "REG_DWORD    0x0"},
        {{"ADD", "hklm\\Software\\Ostrel", "/v", "N", "/t", "reg_dword", "/d", "007"}, Dword(7), "REG_DWORD    0x7"},
        {{"add", "HKEY_LOCAL_MACHINE\\Software\\Ostrel", "/v", "N", "/t", "REG_DWORD", "/d", "4294967295"},
         Dword(0xFFFFFFFF),
         "REG_DWORD    0xffffffff"},
        {{"add", kKey, "/v", "N", "/t", "REG_DWORD", "/d", "0XfF"}, Dword(0xFF), "REG_DWORD    0xff"},
        {{"add", kKey, "/v", "N", "/t", "REG_DWORD", "/d", "0x00012345"}, Dword(0x12345), "REG_DWORD    0x12345"},
        {{"Add", "Hkey_Local_Machine/Software/Ostrel", "/v", "N", "/d", "/var/spool/cups"},
         Sz("/var/spool/cups"),
         "REG_SZ    /var/spool/cups"},
        {{"add", "HKLM/Software\\\\Ostrel/", "/V", "N", "/T", "REG_SZ", "/D", "a \\ b"},
         Sz("a \\ b"),
         "REG_SZ    a \\ b"},
        {{"add", kKey, "/v", "N"}, Sz(""), "REG_SZ    "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        hive_.Remove("Software\\Ostrel", "N");
        const Outcome added = Run(c.args);
        EXPECT_EQ(added.code, 0) << added.err;
        EXPECT_EQ(added.out, kDone);
        EXPECT_EQ(Stored("N"), c.stored);
        EXPECT_EQ(Run({"query", c.args[1], "/v", "N"}).out, kShown + "    N    " + c.shown + "\n\n");
    }
}

TEST_F(OstrelRegTest, QueryListsEveryValueOfTheKeySortedByName)
{
    ASSERT_TRUE(hive_.Set("Software\\Ostrel", "Blob", {RegType::Binary, std::string("\x01\xab\x00\x7f", 4)}));
    ASSERT_TRUE(hive_.Set("Software\\Ostrel", "Short", {RegType::Dword, "\x02"}));
    ASSERT_TRUE(hive_.Set("Software\\Ostrel\\Sub", "Deeper", Sz("not listed")));
    const Outcome outcome = Run({"query", kKey});
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.out, kShown +
                               "    Blob    REG_BINARY    01AB007F\n    Existing    REG_DWORD    0x5\n"
                               "    Short    REG_DWORD    02\n    Text    REG_SZ    hello\n\n");
}

TEST_F(OstrelRegTest, ChangingAnExistingValueAsksUnlessForcedAndOnlyYesGoesAhead)
{
    const std::string overwrite = "Value Existing exists, overwrite(Yes/No)? ";
    const std::string remove = "Delete the registry value Existing (Yes/No)? ";
    const Args add{"add", kKey, "/v", "Existing", "/t", "REG_DWORD", "/d", "6"};
    const Args del{"delete", kKey, "/v", "Existing"};
    auto forced = [](Args args) {
        args.push_back("/F");
        return args;
    };
    struct Case {
        Args args;
        std::string input;
        std::string out;
        std::optional<RegData> after;
    };
    const std::vector<Case> cases{
        {add, "y\n", overwrite + kDone, Dword(6)},
        {add, "  Yes \r\n", overwrite + kDone, Dword(6)},
        {add, "n\n", overwrite + kCancelled, Dword(5)},
        {add, "yess\n", overwrite + kCancelled, Dword(5)},
        {add, "no\nyes\n", overwrite + kCancelled, Dword(5)},
        {add, "", overwrite + "\n" + kCancelled, Dword(5)},
        {forced(add), "n\n", kDone, Dword(6)},
        {del, "YES\n", remove + kDone, std::nullopt},
        {del, "\n", remove + kCancelled, Dword(5)},
        {del, "", remove + "\n" + kCancelled, Dword(5)},
        {forced(del), "n\n", kDone, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args) + " answered " + c.input);
        ASSERT_TRUE(hive_.Set("Software\\Ostrel", "Existing", Dword(5)));
        const Outcome outcome = Run(c.args, c.input);
        EXPECT_EQ(outcome.code, c.out.ends_with(kDone) ? 0 : 1);
        EXPECT_EQ(outcome.out, c.out);
        EXPECT_EQ(Stored("Existing"), c.after);
        EXPECT_EQ(Stored("Text"), Sz("hello"));
    }
}

TEST_F(OstrelRegTest, MissingKeysAndValuesAreNotFound)
{
    const auto before = Snapshot();
    for (const Args& args : std::vector<Args>{{"query", "HKLM\\Software\\Missing"},
                                              {"query", kKey, "/v", "existing"},
                                              {"delete", kKey, "/v", "Missing"},
                                              {"delete", "HKLM\\Software\\Missing", "/v", "Existing", "/f"}}) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const Outcome outcome = Run(args, "yes\n");
        EXPECT_EQ(outcome.code, 1);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, kNotFound);
        EXPECT_EQ(Snapshot(), before);
    }
}

TEST_F(OstrelRegTest, FailedWritesAreReported)
{
    ReadOnlyHive readOnly(hive_);
    const auto before = Snapshot();
    const std::vector<std::pair<RegistryHive*, Args>> cases{
        {&readOnly, {"add", kKey, "/v", "New", "/d", "x"}},
        {&readOnly, {"delete", kKey, "/v", "Existing", "/f"}},
        // A value file where a key folder would have to go fails in the real store.
        {&hive_, {"add", kKey + "\\Existing", "/v", "New", "/d", "x"}},
    };
    for (const auto& [hive, args] : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const Outcome outcome = Reg(*hive, args);
        EXPECT_EQ(outcome.code, 1);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, "ERROR: Access is denied.\n");
        EXPECT_EQ(Snapshot(), before);
    }
}

TEST_F(OstrelRegTest, HelpPrintsUsage)
{
    for (const Args& args : std::vector<Args>{{"/?"}, {"-h"}, {"--help"}, {"ADD", "/?"}}) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.code, 0);
        EXPECT_NE(outcome.out.find("ostrel-reg add    KEY /v NAME"), std::string::npos) << outcome.out;
        EXPECT_EQ(outcome.err, "");
    }
}

TEST(OstrelRegProgramTest, UsesTheStoreUnderTheEnvironmentRootAndExitsWithTheResult)
{
    test::TempFolder root;
    const std::map<std::string, std::string> env{{"OSTREL_REGISTRY_ROOT", root.Path().string()}};
    auto result = test::RunProgram(test::BuiltProgram("ostrel-reg"),
                                   {"add", "HKLM/Software/Ostrel", "/v", "Runs", "/t", "REG_DWORD", "/d", "16"}, env);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(DirectoryRegistry(root / "HKEY_LOCAL_MACHINE").Query("Software\\Ostrel", "Runs"), Dword(16));

    result = test::RunProgram(test::BuiltProgram("ostrel-reg"), {"query", kKey}, env);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, kShown + "    Runs    REG_DWORD    0x10\n\n");

    result = test::RunProgram(test::BuiltProgram("ostrel-reg"), {"delete", kKey, "/v", "Runs"}, env, "no\n");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "Delete the registry value Runs (Yes/No)? " + kCancelled);

    result = test::RunProgram(test::BuiltProgram("ostrel-reg"), {"query", kKey, "/v", "Missing"}, env);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, kNotFound);
}

}  // namespace
}  // namespace ostrel
