// The console's edits of settings.xml and the monitor's writer at once, in
// two processes: neither loses the other's changes.
#include "EventLogWriter.h"
#include "Files.h"
#include "SettingsDocument.h"
#include "SettingsEdits.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <map>

namespace ostrel::test {
namespace {

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(SettingsEditsTest, ConsoleAndMonitorEditingAtOnceLoseNothing)
{
    TempFolder folder;
    ::setenv("OSTREL_REGISTRY_ROOT", (folder / "registry").c_str(), 1);
    const std::string app = folder.Path().string();
    ASSERT_TRUE(ReplaceFile(folder / "settings.xml", "<log><printers></printers><users></users></log>"));
    constexpr int kRounds = 120;

    // The monitor: one recorded job of a new user after another.
    const pid_t monitor = ::fork();
    ASSERT_GE(monitor, 0);
    if (monitor == 0) {
        EventLogWriter writer(app, SystemClock());
        for (int i = 0; i < kRounds; ++i)
            writer.Write(
                {"\n<event><user>user" + std::to_string(i) + "</user></event>", "user" + std::to_string(i), "P0"});
        std::_Exit(0);
    }

    // The console: printers chosen and costs set, as fast as it can.
    for (int i = 0; i < kRounds; ++i) {
        const std::string name = "P" + std::to_string(i % 3);
        settings_edits::ApplyPrinters(app, {{name, "0"}});
        settings_edits::ApplyCost(app, name, i);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(monitor, &status, 0), monitor);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const std::string document = ReadWholeFile(folder / "settings.xml");
    for (int i = 0; i < kRounds; ++i)
        EXPECT_EQ(Count(document, "<username>user" + std::to_string(i) + "</username>"), 1u) << i;
    std::map<std::string, int> lastCost;
    for (int i = 0; i < kRounds; ++i)
        lastCost["P" + std::to_string(i % 3)] = i;
    const auto printers = settings_text::ConfiguredPrinters(document);
    ASSERT_EQ(printers.size(), 3u) << document;
    for (const auto& printer : printers) {
        EXPECT_EQ(printer.cost, std::to_string(lastCost[printer.name])) << printer.name;
        EXPECT_EQ(printer.monitored, printer.name == "P" + std::to_string((kRounds - 1) % 3)) << printer.name;
    }
}

}  // namespace
}  // namespace ostrel::test
