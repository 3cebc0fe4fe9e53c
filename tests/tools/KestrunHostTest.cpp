#include "Process.h"
#include "RegValue.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <thread>

namespace ostrel::test {
namespace {

using namespace std::chrono_literals;

class KestrunHostTest : public ::testing::TestWithParam<int> {
protected:
    KestrunHostTest() : hive_(folder_ / "registry" / "HKEY_LOCAL_MACHINE")
    {
        std::filesystem::create_directory(folder_ / "app");
        RegValueString appPath("Software\\Ostrel\\AppPath", "", false, hive_);
        appPath.Set((folder_ / "app").string());
        SetDword("AppRuns", 0);
        SetDword("Reset", 7);  // the worker writes 1, then its first cycle 0
    }

    void SetDword(const char* name, std::uint32_t value)
    {
        RegValueDword dword(std::string("Software\\Ostrel\\") + name, 0, false, hive_);
        dword.Set(value);
        dword.Write();
    }
    std::uint32_t Dword(const char* name)
    {
        return RegValueDword(std::string("Software\\Ostrel\\") + name, 99, false, hive_).Get();
    }
    std::map<std::string, std::string> Environment() const
    {
        return {{"OSTREL_REGISTRY_ROOT", (folder_ / "registry").string()}};
    }

    // Polls the store, which the host changes from another process.
    bool Eventually(const std::function<bool()>& condition)
    {
        for (auto deadline = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < deadline;) {
            if (condition())
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return condition();
    }

    TempFolder folder_;
    DirectoryRegistry hive_;
};

TEST_P(KestrunHostTest, RunsTheMonitorAndEndsCleanlyOnTheQuitSignal)
{
    Process host(BuiltProgram("kestrun-host"), {}, Environment());
    EXPECT_TRUE(Eventually([&] { return Dword("AppRuns") == 1 && Dword("Reset") == 0; }))
        << "AppRuns " << Dword("AppRuns") << ", Reset " << Dword("Reset");

    ASSERT_TRUE(host.Signal(GetParam()));
    // The worker sleeps for 20 s between cycles; the signal must cut that short.
    const auto result = host.Wait(1s);
    ASSERT_TRUE(result) << "kestrun-host still runs a second after the signal";
    EXPECT_EQ(result->exitCode, 0) << result->err;  // 3 would mean threads were left running
    EXPECT_EQ(result->signal, 0);
}

INSTANTIATE_TEST_SUITE_P(QuitSignals, KestrunHostTest, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto& instance) { return instance.param == SIGTERM ? "Sigterm" : "Sigint"; });

TEST(KestrunHost, WithoutTheLibraryFailsWithAClearMessage)
{
    TempFolder folder;
    std::filesystem::copy_file(BuiltProgram("kestrun-host"), folder / "kestrun-host");
    const ProcessResult result =
        RunProgram(folder / "kestrun-host", {}, {{"OSTREL_REGISTRY_ROOT", folder.Path().string()}});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("cannot load libKestrun.so"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace ostrel::test
