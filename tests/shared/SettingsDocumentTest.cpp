#include "Files.h"
#include "SettingsDocument.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using Printers = std::vector<MonitoredPrinter>;

size_t Occurrences(std::string_view text, std::string_view part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(SettingsDocumentTest, WorkedExampleIsBuiltByteForByte)
{
    test::TempFolder temp;
    const SettingsDocument document = SettingsDocument::InFolder(temp.Path().string());
    ASSERT_EQ(document.File(), temp / "settings.xml");
    ASSERT_TRUE(ReplaceFile(document.File(), "<log></log>"));
    SettingsDocument editor(document.File());

    // Each change is written only when the new printer got the expected ID.
    EXPECT_TRUE(editor.Edit([](std::string& text) { return settings_text::AddPrinter(text, "Laser 1", "0") == "1"; }));
    EXPECT_TRUE(editor.Edit([](std::string& text) { return settings_text::AddPrinter(text, "Laser 2", "0") == "2"; }));
    EXPECT_TRUE(editor.Edit([](std::string& text) { return settings_text::SetMonitored(text, "Laser 1", false); }));
    EXPECT_TRUE(editor.Edit([](std::string& text) { return settings_text::SetCost(text, "Laser 2", "5"); }));
    EXPECT_FALSE(editor.Edit([](std::string& text) {
        text = "dropped";
        return false;
    }));
    EXPECT_TRUE(editor.AddUser("john"));
    EXPECT_TRUE(editor.AddUser("maria"));
    EXPECT_FALSE(editor.AddUser("john"));

    EXPECT_EQ(ReadFileBytes(document.File()),
              "<log><printers><name>Laser 2</name><ID>2</ID><cost>5</cost><monitored>1</monitored><name>Laser 1</name>"
              "<ID>1</ID><cost>0</cost><monitored>0</monitored></printers><users><username>maria</username>"
              "<username>john</username></users></log>");
    EXPECT_EQ(document.ReadMonitoredPrinters(), (Printers{{"Laser 2", "5"}}));
    EXPECT_EQ(document.LookUpPrinterId("Laser 2"), "2");
    EXPECT_EQ(document.LookUpPrinterId("Laser 1"), "1");
    EXPECT_EQ(document.LookUpPrinterId("Laser"), "");
    EXPECT_EQ(test::SortedFileNames(temp.Path()), (std::vector<std::string>{"settings.xml", "settings.xml.lock"}));
}

TEST(SettingsDocumentTest, MissingDocumentGetsAUserListOfItsOwn)
{
    test::TempFolder temp;
    SettingsDocument document(temp / "settings.xml");
    EXPECT_EQ(document.Read(), "");
    EXPECT_TRUE(document.ReadMonitoredPrinters().empty());
    EXPECT_TRUE(document.AddUser("u"));
    EXPECT_EQ(ReadFileBytes(document.File()), "<users><username>u</username></users>");
}

TEST(SettingsDocumentTest, ADocumentThatCannotBeReadIsNeverReplaced)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as a user who may write but not read the document";
    test::TempFolder temp;
    constexpr uid_t kNobody = 65534;
    const fs::path file = temp / "settings.xml";
    const std::string original = "<log><printers><name>Laser</name></printers></log>";
    ASSERT_TRUE(ReplaceFile(file, original, 0200));  // write-only for its owner
    ASSERT_EQ(::chown(temp.Path().c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chown(file.c_str(), kNobody, kNobody), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The edit must refuse, not write a document of the user list alone.
        const bool edited = ::setuid(kNobody) == 0 && SettingsDocument(file).AddUser("maria");
        ::_exit(edited ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFileBytes(file), original);
}

// The root monitor adds users: a settings.xml linked to a secret is neither
// read nor rewritten, so the secret never lands in the group's folder.
TEST(SettingsDocumentTest, ALinkInTheDocumentsPlaceIsNeitherReadNorReplaced)
{
    test::TempFolder temp;
    test::TempFolder outside;
    const std::string secret = "<log><printers><name>secret</name></printers><users></users></log>";
    ASSERT_TRUE(ReplaceFile(outside / "secret", secret, 0600));
    fs::create_symlink(outside / "secret", temp / "settings.xml");
    SettingsDocument document(temp / "settings.xml");
    EXPECT_EQ(document.Read(), "");
    EXPECT_FALSE(document.AddUser("maria"));
    EXPECT_TRUE(fs::is_symlink(temp / "settings.xml"));
    EXPECT_EQ(ReadFileBytes(outside / "secret"), secret);
}

TEST(SettingsTextTest, OnlyTheExactTextOneMeansMonitored)
{
    for (const char* flag : {"1", "1 ", " 1", "01", "", "true", "0"}) {
        SCOPED_TRACE(flag);
        const std::string document =
            "<printers><name>P</name><ID>1</ID><cost> 2.5 </cost><monitored>"s + flag + "</monitored></printers>";
        const Printers expected = flag == "1"s ? Printers{{"P", " 2.5 "}} : Printers{};
        EXPECT_EQ(settings_text::MonitoredPrinters(document), expected);
    }
    EXPECT_EQ(settings_text::MonitoredPrinters("<name>P</name><ID>1</ID><cost></cost><monitored>1</monitored>"),
              (Printers{{"P", ""}}));
}

TEST(SettingsTextTest, PrintersAreFoundByTheirWholeName)
{
    std::string document = "<log></log>";
    ASSERT_EQ(settings_text::AddPrinter(document, "Laser", "1"), "1");
    ASSERT_EQ(settings_text::AddPrinter(document, "Laser 2", "2"), "2");
    EXPECT_EQ(settings_text::PrinterId(document, "Laser"), "1");
    EXPECT_EQ(settings_text::PrinterId(document, "Laser 2"), "2");
    EXPECT_EQ(settings_text::PrinterId(document, "Laser 3"), "");

    EXPECT_TRUE(settings_text::SetMonitored(document, "Laser", false));
    EXPECT_TRUE(settings_text::SetCost(document, "Laser", "9"));
    const std::string expected =
        "<log><printers><name>Laser 2</name><ID>2</ID><cost>2</cost><monitored>1</monitored>"
        "<name>Laser</name><ID>1</ID><cost>9</cost><monitored>0</monitored></printers></log>";
    EXPECT_EQ(document, expected);
    EXPECT_FALSE(settings_text::SetCost(document, "Laser 3", "4"));
    EXPECT_FALSE(settings_text::SetMonitored(document, "Laser 3", true));
    EXPECT_EQ(document, expected);
}

TEST(SettingsTextTest, DuplicateNamesAnswerWithTheLaterEntry)
{
    std::string document =
        "<log><printers><name>P</name><ID>3</ID><cost>1</cost><monitored>1</monitored>"
        "<name>P</name><ID>8</ID><cost>2</cost><monitored>0</monitored></printers></log>";
    EXPECT_EQ(settings_text::PrinterId(document, "P"), "8");
    EXPECT_TRUE(settings_text::SetMonitored(document, "P", true));
    EXPECT_EQ(settings_text::MonitoredPrinters(document), (Printers{{"P", "1"}, {"P", "2"}}));
    // The next ID follows the largest one, not the number of entries.
    EXPECT_EQ(settings_text::AddPrinter(document, "Q", "0"), "9");
}

TEST(SettingsTextTest, IncompleteEntriesNeverBorrowFromTheirNeighbour)
{
    const std::string b = "<name>B</name><ID>2</ID><cost>6</cost><monitored>1</monitored>";
    // document, monitored printers, ID of A
    const std::vector<std::tuple<std::string, Printers, std::string>> cases = {
        {"<name>A</name><ID>1</ID><cost>5</cost>" + b, {{"B", "6"}}, "1"},
        {"<name>A</name><ID>1</ID><monitored>1</monitored>" + b, {{"B", "6"}}, "1"},
        {"<name>A</name><cost>5</cost><monitored>1</monitored>" + b, {{"A", "5"}, {"B", "6"}}, ""},
        {"<name>A</name><ID>1</ID><cost>5</cost><monitored>1</monitored><name>B", {{"A", "5"}}, "1"},
        {"<printers><name>A<ID>1</ID>", {}, ""},
    };
    for (const auto& [document, monitored, idOfA] : cases) {
        SCOPED_TRACE(document);
        EXPECT_EQ(settings_text::MonitoredPrinters(document), monitored);
        EXPECT_EQ(settings_text::PrinterId(document, "A"), idOfA);
    }
    // An edit of an element the entry lacks changes nothing at all.
    std::string withoutFlag = std::get<0>(cases[0]), withoutCost = std::get<0>(cases[1]);
    EXPECT_FALSE(settings_text::SetMonitored(withoutFlag, "A", false));
    EXPECT_EQ(withoutFlag, std::get<0>(cases[0]));
    EXPECT_FALSE(settings_text::SetCost(withoutCost, "A", "7"));
    EXPECT_EQ(withoutCost, std::get<0>(cases[1]));
}

TEST(SettingsTextTest, AddUserMatchesWholeUsernameElementsOnly)
{
    const std::string printers =
        "<printers><name>Laser</name><ID>1</ID><cost>0</cost><monitored>1</monitored></printers>";
    const std::string joanna = "<username>joanna</username></users>";
    const std::string full = "<log>" + printers + "<users>" + joanna + "</log>";
    // document before, user, document after
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {full, "Laser", "<log>" + printers + "<users><username>Laser</username>" + joanna + "</log>"},
        {full, "name", "<log>" + printers + "<users><username>name</username>" + joanna + "</log>"},
        {full, "cost", "<log>" + printers + "<users><username>cost</username>" + joanna + "</log>"},
        {full, "ann", "<log>" + printers + "<users><username>ann</username>" + joanna + "</log>"},
        {full, "joanna", full},
        {"<log>" + printers + "<x/></log>", "u",
         "<log>" + printers + "<users><username>u</username></users><x/></log>"},
        {"<log><x/></log>", "u", "<log><x/><users><username>u</username></users></log>"},
        {"<x/>", "u", "<x/><users><username>u</username></users>"},
        {"", "u", "<users><username>u</username></users>"},
    };
    for (const auto& [before, user, after] : cases) {
        SCOPED_TRACE(before + " + " + user);
        std::string document = before;
        EXPECT_EQ(settings_text::AddUser(document, user), before != after);
        EXPECT_EQ(document, after);
    }
}

TEST(SettingsDocumentTest, ReadWholeFileDropsOnlyCarriageReturnsBeforeLineFeeds)
{
    test::TempFolder temp;
    EXPECT_EQ(ReadWholeFile(temp / "missing.xml"), "");
    // stored, read
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"<log>\r\n<users>\r\n</users>\r\n</log>\r\n", "<log>\n<users>\n</users>\n</log>\n"},
        {"<log>\n</log>\n", "<log>\n</log>\n"},
        {"a\rb\n\r", "a\rb\n\r"},
        {"a\r\r\nb", "a\r\nb"},
        {"a\0b\r\nc"s, "a\0b\nc"s},
    };
    for (const auto& [stored, read] : cases) {
        ASSERT_TRUE(ReplaceFile(temp / "settings.xml", stored));
        EXPECT_EQ(ReadWholeFile(temp / "settings.xml"), read) << stored;
    }
}

TEST(SettingsTextTest, StripXmlSpecialsRemovesMarkupCharactersOnly)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"Laser 2", "Laser 2"},
        {"<b>Tom & \"Jerry\"'s</b>", "bTom  Jerrys/b"},
        {"&amp;", "amp;"},
        {"Caf\xc3\xa9\t\\x", "Caf\xc3\xa9\t\\x"},
    };
    for (const auto& [text, stripped] : cases)
        EXPECT_EQ(StripXmlSpecials(text), stripped) << text;
}

TEST(SettingsDocumentTest, ConcurrentProcessesAddingUsersLoseNobody)
{
    constexpr int kChildren = 4;
    constexpr int kUsersEach = 50;
    test::TempFolder temp;
    const fs::path file = temp / "settings.xml";
    ASSERT_TRUE(ReplaceFile(file, "<log><printers></printers></log>"));
    const auto userName = [](int child, int user) {
        return "user-" + std::to_string(child) + "-" + std::to_string(user);
    };

    std::vector<pid_t> children;
    for (int child = 0; child < kChildren; ++child) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            SettingsDocument document(file);
            bool allAdded = true;
            for (int user = 0; user < kUsersEach; ++user)
                allAdded = document.AddUser(userName(child, user)) && allAdded;
            ::_exit(allAdded ? 0 : 1);
        }
        children.push_back(pid);
    }
    // Meanwhile every read must find a whole document.
    int partialReads = 0;
    for (size_t ended = 0; ended < children.size();) {
        const std::string document = ReadWholeFile(file);
        partialReads += document.starts_with("<log>") && document.ends_with("</log>") ? 0 : 1;
        for (pid_t& pid : children) {
            int status = 0;
            if (pid > 0 && ::waitpid(pid, &status, WNOHANG) == pid) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
                pid = 0;
                ++ended;
            }
        }
    }
    EXPECT_EQ(partialReads, 0);

    const std::string document = ReadWholeFile(file);
    EXPECT_EQ(Occurrences(document, "<username>"), size_t{kChildren * kUsersEach});
    for (int child = 0; child < kChildren; ++child)
        for (int user = 0; user < kUsersEach; ++user)
            EXPECT_EQ(Occurrences(document, "<username>" + userName(child, user) + "</username>"), 1u)
                << userName(child, user);
    EXPECT_EQ(test::SortedFileNames(temp.Path()), (std::vector<std::string>{"settings.xml", "settings.xml.lock"}));
}

}  // namespace
}  // namespace ostrel
