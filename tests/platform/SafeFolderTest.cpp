#include "SafeFolder.h"

#include "Files.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <map>

namespace ostrel::test {
namespace {

namespace fs = std::filesystem;

// Every refused link journaled, by line.
class JournalRecorder {
public:
    JournalRecorder()
    {
        SetLinkJournal([this](const std::string& line) { lines.push_back(line); });
    }
    ~JournalRecorder() { SetLinkJournal(nullptr); }
    std::vector<std::string> lines;
};

// An application folder whose Logs tree has links planted at every level,
// and an outside folder they point to.
class SafeFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(app_ / "Logs" / "Users" / "alice");
        fs::create_directories(outside_ / "folder");
        ASSERT_TRUE(ReplaceFile(outside_ / "secret", "secret"));
        ASSERT_TRUE(ReplaceFile(app_ / "Logs" / "Users" / "alice" / "d_20240310.xml", "alice"));
        fs::create_directory_symlink(outside_ / "folder", app_ / "Linked");
        fs::create_directory_symlink(outside_ / "folder", app_ / "Logs" / "Users" / "bob");
        fs::create_directory_symlink("../..", app_ / "Logs" / "Users" / "up");
        fs::create_symlink(outside_ / "secret", app_ / "Logs" / "y_2024.xml");
        fs::create_symlink(outside_ / "missing", app_ / "Logs" / "Users" / "alice" / "dangling.xml");
        ASSERT_EQ(::mkfifo((app_ / "Logs" / "pipe.xml").c_str(), 0664), 0);
    }

    // Everything outside, with its bytes, to show that nothing there changed.
    std::map<std::string, std::string> Outside() const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(outside_.Path()))
            files[entry.path().string()] = entry.is_regular_file() ? ReadFileBytes(entry.path()).value_or("?") : "";
        return files;
    }

    TempFolder app_;
    TempFolder outside_;
};

TEST_F(SafeFolderTest, NoOperationGoesThroughALinkOrOutOfTheFolder)
{
    JournalRecorder journal;
    const auto before = Outside();
    const Safe<SafeFolder> root = SafeFolder::Open(app_.Path());
    ASSERT_TRUE(root);

    constexpr auto kLink = SafeStatus::Link;
    constexpr auto kBad = SafeStatus::BadName;
    struct Case {
        const char* label;
        std::string relative;
        SafeStatus expected;
    };
    const Case cases[] = {
        {"link as the first folder", "Linked/x.xml", kLink},
        {"link as a deeper folder", "Logs/Users/bob/d_20240310.xml", kLink},
        {"link to a parent folder", "Logs/Users/up/Logs/Users/alice/d_20240310.xml", kLink},
        {"link as the file", "Logs/y_2024.xml", kLink},
        {"dangling link as the file", "Logs/Users/alice/dangling.xml", kLink},
        {"a parent component", "Logs/../Logs/y_2023.xml", kBad},
        {"a parent component first", "../secret", kBad},
        {"absolute", (outside_ / "secret").string(), kBad},
        {"a current-folder component", "Logs/./y_2023.xml", kBad},
        {"an empty component", "Logs//y_2023.xml", kBad},
        {"empty", "", kBad},
    };
    for (const Case& c : cases) {
        // Each operation, creating folders where it can, still refuses.
        EXPECT_EQ(root.value.ReadFile(c.relative).status, c.expected) << c.label;
        EXPECT_EQ(root.value.Append(c.relative, "<event/>", "   ", 0664, MissingFolders::Create), c.expected)
            << c.label;
        EXPECT_EQ(root.value.OpenFile(c.relative, O_RDWR | O_APPEND | O_CREAT, 0664, MissingFolders::Create).status,
                  c.expected)
            << c.label;
        EXPECT_EQ(root.value.Stat(c.relative).status, c.expected) << c.label;
        const std::string folder = c.relative + "/sub";
        EXPECT_EQ(root.value.Folder(folder, MissingFolders::Create).status, c.expected) << c.label;
    }
    EXPECT_EQ(root.value.List("Logs/Users/bob").status, kLink);
    EXPECT_EQ(SafeFolder::Open(app_.Path(), "Logs/Users/bob/sub", MissingFolders::Create).status, kLink);
    EXPECT_EQ(root.value.Append("Logs/pipe.xml", "<event/>"), SafeStatus::WrongType) << "a FIFO never blocks";
    EXPECT_EQ(root.value.ReadFile("Logs").status, SafeStatus::WrongType);
    EXPECT_EQ(root.value.ReadFile("Logs/none.xml").status, SafeStatus::Missing);
    EXPECT_EQ(Outside(), before);

    // A link replaced is the link itself: its target keeps its bytes.
    EXPECT_EQ(root.value.Replace("Logs/y_2024.xml", "new", 0640), SafeStatus::Ok);
    EXPECT_EQ(root.value.Remove("Logs/Users/alice/dangling.xml"), SafeStatus::Ok);
    EXPECT_EQ(Outside(), before);
    EXPECT_EQ(root.value.ReadFile("Logs/y_2024.xml").value, "new");

    // One line per refused path, however often it was refused; control
    // characters of a planted name are escaped.
    const auto count = [&](const std::string& path) {
        return std::count_if(journal.lines.begin(), journal.lines.end(),
                             [&](const std::string& line) { return line.find(path + ":") != std::string::npos; });
    };
    EXPECT_EQ(count((app_ / "Logs" / "y_2024.xml").string()), 1);
    EXPECT_EQ(count((app_ / "Logs" / "Users" / "bob").string()), 1);
    EXPECT_EQ(count((app_ / "Linked").string()), 1);
    fs::create_symlink(outside_ / "secret", app_ / "Logs" / "a\nb");
    EXPECT_EQ(root.value.ReadFile("Logs/a\nb").status, kLink);
    EXPECT_EQ(count((app_ / "Logs" / "a\\x0ab").string()), 1);
}

TEST_F(SafeFolderTest, FilesAndFoldersAsTheLogsTreeUsesThem)
{
    const Safe<SafeFolder> logs = SafeFolder::Open(app_.Path(), "Logs");
    ASSERT_TRUE(logs);

    // Append makes the folders and gives a new file its head, in one write.
    ASSERT_EQ(logs.value.Append("Printers/p1/d_20240310.xml", "<a/>", "   ", 0664, MissingFolders::Create),
              SafeStatus::Ok);
    ASSERT_EQ(logs.value.Append("Printers/p1/d_20240310.xml", "<b/>", "   "), SafeStatus::Ok);
    EXPECT_EQ(ReadFileBytes(app_ / "Logs/Printers/p1/d_20240310.xml"), "   <a/><b/>");
    EXPECT_EQ(logs.value.Append("Printers/p2/d_20240310.xml", "<a/>"), SafeStatus::Missing);

    // The descriptor calls the event log writer works with.
    Safe<FileDescriptor> file = logs.value.OpenFile("Printers/p1/d_20240310.xml", O_RDWR | O_APPEND);
    ASSERT_TRUE(file);
    EXPECT_EQ(FileSize(file.value.Get()), 11u);
    EXPECT_EQ(ReadAt(file.value.Get(), 3, 4), "<a/>");
    EXPECT_EQ(ReadAt(file.value.Get(), 7, 100), "<b/>");
    EXPECT_TRUE(TruncateTo(file.value.Get(), 7));
    EXPECT_TRUE(AppendOnce(file.value.Get(), "<c/>", "   "));
    EXPECT_EQ(ReadFileBytes(app_ / "Logs/Printers/p1/d_20240310.xml"), "   <a/><c/>");

    // Replace: the existing mode kept or set exactly, never a temporary left.
    ASSERT_TRUE(ReplaceFile(app_ / "Logs/Report.xml", "old", 0664));
    EXPECT_EQ(logs.value.Replace("Report.xml", "kept", 0600), SafeStatus::Ok);
    EXPECT_EQ(logs.value.Stat("Report.xml").value.st_mode & 07777, 0664u);
    EXPECT_EQ(logs.value.Replace("Report.xml", "exact", 0640, ReplaceMode::Exactly), SafeStatus::Ok);
    EXPECT_EQ(logs.value.Stat("Report.xml").value.st_mode & 07777, 0640u);
    EXPECT_EQ(logs.value.ReadFile("Report.xml").value, "exact");
    EXPECT_EQ(logs.value.ReadFile("Report.xml", 4).status, SafeStatus::WrongType);

    // The listing types each entry from the folder itself.
    const auto listing = logs.value.List();
    ASSERT_TRUE(listing);
    std::map<std::string, FolderEntry::Type> types;
    for (const FolderEntry& entry : listing.value)
        types[entry.name] = entry.type;
    using Type = FolderEntry::Type;
    EXPECT_EQ(types, (std::map<std::string, Type>{{"Printers", Type::Folder},
                                                  {"Report.xml", Type::File},
                                                  {"Users", Type::Folder},
                                                  {"pipe.xml", Type::Other},
                                                  {"y_2024.xml", Type::Link}}));

    // Remove deletes read-only files, and never a folder.
    ::chmod((app_ / "Logs/Report.xml").c_str(), 0444);
    EXPECT_EQ(logs.value.Remove("Report.xml"), SafeStatus::Ok);
    EXPECT_EQ(logs.value.Remove("Report.xml"), SafeStatus::Missing);
    EXPECT_EQ(logs.value.Remove("Printers"), SafeStatus::WrongType);
    EXPECT_TRUE(fs::is_directory(app_ / "Logs/Printers"));
}

// The errno of the failing call comes back with the status, so that a
// caller tells a full disk from a missing file without reading errno
// after the calls have returned.
TEST_F(SafeFolderTest, FailuresCarryTheErrnoOfTheFailingCall)
{
    JournalRecorder journal;
    const Safe<SafeFolder> logs = SafeFolder::Open(app_.Path(), "Logs");
    ASSERT_TRUE(logs);
    struct Case {
        const char* label;
        SafeStatus status;
        int error;
        SafeStatus expectedStatus;
        int expectedError;
    };
    const auto fileCase = [](const char* label, const Safe<FileDescriptor>& got, SafeStatus status, int error) {
        return Case{label, got.status, got.error, status, error};
    };
    const auto folderCase = [](const char* label, const Safe<SafeFolder>& got, SafeStatus status, int error) {
        return Case{label, got.status, got.error, status, error};
    };
    const Case cases[] = {
        fileCase("a missing file", logs.value.OpenFile("Users/alice/none.xml", O_RDONLY), SafeStatus::Missing, ENOENT),
        fileCase("a missing folder on the way", logs.value.OpenFile("Users/carol/d.xml", O_RDONLY), SafeStatus::Missing,
                 ENOENT),
        fileCase("a linked file", logs.value.OpenFile("y_2024.xml", O_RDONLY), SafeStatus::Link, ELOOP),
        fileCase("a bad name, no call made", logs.value.OpenFile("../secret", O_RDONLY), SafeStatus::BadName, 0),
        fileCase("a file that opens", logs.value.OpenFile("Users/alice/d_20240310.xml", O_RDONLY), SafeStatus::Ok, 0),
        folderCase("a file where a folder should be", logs.value.Folder("Users/alice/d_20240310.xml"),
                   SafeStatus::WrongType, ENOTDIR),
        folderCase("a missing application folder", SafeFolder::Open(app_ / "none"), SafeStatus::Missing, ENOENT),
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.status, c.expectedStatus) << c.label;
        EXPECT_EQ(c.error, c.expectedError) << c.label;
    }
}

}  // namespace
}  // namespace ostrel::test
