#include "Files.h"
#include "RegistryHive.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <latch>
#include <string>
#include <thread>
#include <vector>

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

mode_t ModeOf(const fs::path& file)
{
    struct stat status {};
    EXPECT_EQ(::stat(file.c_str(), &status), 0) << file;
    return status.st_mode & 07777;
}

class DirectoryRegistryTest : public ::testing::Test {
protected:
    test::TempFolder temp;
    DirectoryRegistry hive{temp / "HKLM"};
};

TEST_F(DirectoryRegistryTest, ValueFileHoldsTypeNameLineThenExactBytes)
{
    struct Case {
        const char* name;
        RegData data;
        std::string file;
    };
    const std::vector<Case> cases = {
        {"dword", {RegType::Dword, "\x05\0\0\0"s}, "REG_DWORD\n\x05\0\0\0"s},
        {"text with newline and zeros", {RegType::Sz, "a\nb\0c\0"s}, "REG_SZ\na\nb\0c\0"s},
        {"empty bytes", {RegType::Binary, ""}, "REG_BINARY\n"},
        {"type without a name", {static_cast<RegType>(42), "\r\n"}, "42\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Empty key components are ignored.
        ASSERT_TRUE(hive.Set("\\Software\\\\Ostrel\\", c.name, c.data));
        EXPECT_EQ(ReadFileBytes(temp / "HKLM/Software/Ostrel" / c.name), c.file);
        EXPECT_EQ(hive.Query("Software\\Ostrel", c.name), c.data);
    }
}

TEST_F(DirectoryRegistryTest, MalformedValueFileReadsAsMissing)
{
    const std::vector<std::string> contents = {"", "REG_SZ", "REG_TEXT\nabc", "4294967296\nabc", "-1\nabc"};
    fs::create_directories(temp / "HKLM/Key");
    for (const auto& content : contents) {
        SCOPED_TRACE(content);
        ASSERT_TRUE(ReplaceFile(temp / "HKLM/Key/Value", content));
        EXPECT_EQ(hive.Query("Key", "Value"), std::nullopt);
    }
}

TEST_F(DirectoryRegistryTest, UnsafeNamesAreRejectedAndNothingIsCreated)
{
    struct Case {
        std::string key;
        std::string name;
    };
    const std::vector<Case> cases = {
        {"Software", "."},
        {"Software", ".."},
        {"Software", ".hidden"},
        {"Software", "a/b"},
        {"Software", ""},
        {"..", "escaped"},
        {"Software\\..\\..", "x"},
        {"Software\\.git", "value"},
        {"Software/Ostrel", "value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key + " / " + c.name);
        EXPECT_FALSE(hive.Set(c.key, c.name, {RegType::Sz, "x\0"s}));
        EXPECT_EQ(hive.Query(c.key, c.name), std::nullopt);
        EXPECT_FALSE(hive.Remove(c.key, c.name));
    }
    EXPECT_EQ(hive.Enumerate("Software\\.."), std::nullopt);
    EXPECT_TRUE(test::SortedFileNames(temp.Path()).empty()) << "something was created beside or inside the hive";
}

TEST_F(DirectoryRegistryTest, CredentialsAreKeptFromOtherUsersAndExistingModesSurvive)
{
    // A mode that went through the umask would lose the group's write bit.
    struct UmaskGuard {
        mode_t previous = ::umask(022);
        ~UmaskGuard() { ::umask(previous); }
    } umaskGuard;
    struct Case {
        const char* name;
        mode_t created;
        mode_t changedTo;
    };
    const std::vector<Case> cases = {
        {"ESMTPPassword", 0660, 0640},
        {"ESMTPServer", 0660, 0600},
        {"EEmailAddress", 0660, 0666},
        {"AppRuns", 0664, 0600},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = temp / "HKLM/Software/Ostrel" / c.name;
        ASSERT_TRUE(hive.Set("Software\\Ostrel", c.name, {RegType::Sz, "one\0"s}));
        EXPECT_EQ(ModeOf(file), c.created);
        ASSERT_EQ(::chmod(file.c_str(), c.changedTo), 0);
        ASSERT_TRUE(hive.Set("Software\\Ostrel", c.name, {RegType::Sz, "two\0"s}));
        EXPECT_EQ(ModeOf(file), c.changedTo);
        EXPECT_EQ(hive.Query("Software\\Ostrel", c.name), (RegData{RegType::Sz, "two\0"s}));
    }
}

TEST_F(DirectoryRegistryTest, EnumerateListsValuesSortedAndRemoveReportsMissingOnes)
{
    for (const char* name : {"b", "A", "a"})
        ASSERT_TRUE(hive.Set("Key", name, {RegType::Sz, std::string(name) + '\0'}));
    ASSERT_TRUE(hive.Set("Key\\Sub", "inner", {RegType::Dword, "\0\0\0\0"s}));
    // What an interrupted write leaves behind.
    ASSERT_TRUE(ReplaceFile(temp / "HKLM/Key/.b.Xy12Zq", "REG_SZ\nstale\0"s));

    const auto entries = hive.Enumerate("Key");
    ASSERT_TRUE(entries.has_value());
    std::vector<std::string> names;
    for (const auto& entry : *entries) {
        names.push_back(entry.name);
        EXPECT_EQ(entry.data, (RegData{RegType::Sz, entry.name + '\0'}));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A", "a", "b"}));

    // A key without values is still a key.
    ASSERT_TRUE(hive.Remove("Key\\Sub", "inner"));
    const auto emptyKey = hive.Enumerate("Key\\Sub");
    ASSERT_TRUE(emptyKey.has_value());
    EXPECT_TRUE(emptyKey->empty());
    EXPECT_EQ(hive.Enumerate("Missing"), std::nullopt);

    EXPECT_EQ(hive.Query("Key\\Sub", "inner"), std::nullopt);
    EXPECT_FALSE(hive.Remove("Key\\Sub", "inner"));
    EXPECT_FALSE(hive.Remove("Missing", "inner"));
}

TEST_F(DirectoryRegistryTest, ConcurrentWritersNeverLeaveATornValue)
{
    constexpr int kWriters = 3;
    constexpr int kReaders = 2;
    constexpr int kWritesEach = 25;
    std::vector<RegData> written;
    for (int i = 0; i < kWriters; ++i)
        written.push_back({RegType::Sz, std::string(64 * 1024, static_cast<char>('a' + i)) + '\0'});
    // Stored up front, so that a reader never has a reason to find nothing.
    ASSERT_TRUE(hive.Set("Software\\Ostrel", "Big", written[0]));

    std::latch start(kWriters + kReaders);
    std::atomic<int> writersLeft{kWriters}, failedWrites{0}, reads{0}, badReads{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kWriters; ++i)
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            for (int n = 0; n < kWritesEach; ++n)
                failedWrites += hive.Set("Software\\Ostrel", "Big", written[i]) ? 0 : 1;
            --writersLeft;
        });
    for (int i = 0; i < kReaders; ++i)
        threads.emplace_back([&] {
            start.arrive_and_wait();
            while (writersLeft > 0) {
                const auto value = hive.Query("Software\\Ostrel", "Big");
                ++reads;
                if (!value || std::find(written.begin(), written.end(), *value) == written.end())
                    ++badReads;
            }
        });
    for (auto& thread : threads)
        thread.join();

    EXPECT_EQ(failedWrites, 0);
    EXPECT_GT(reads, 0);
    EXPECT_EQ(badReads, 0);
    EXPECT_EQ(test::SortedFileNames(temp / "HKLM/Software/Ostrel"), std::vector<std::string>{"Big"});
}

}  // namespace
}  // namespace ostrel
