#include "ProcessLauncher.h"

#include "Files.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace ostrel::test {
namespace {

using namespace std::chrono_literals;

// Waits in real time for what a child process does; the child runs
// outside any clock of ours.
template <class Condition>
bool Eventually(Condition condition)
{
    for (auto deadline = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < deadline;) {
        if (condition())
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

// A program that writes down what it was started with, then ends.
std::filesystem::path WriteReporter(const TempFolder& folder)
{
    const auto program = folder / "reporter";
    const std::string script =
        "#!/bin/sh\n"
        "out=\"$0.out\"\n"
        "{ echo \"args=$#\"; echo \"env=$OSTREL_LAUNCH_TEST\"; grep SigBlk /proc/self/status;"
        " echo \"stdin=$(readlink /proc/self/fd/0)\"; } > \"$out.tmp\" && mv \"$out.tmp\" \"$out\"\n";
    EXPECT_TRUE(ReplaceFile(program, script, 0755));
    return program;
}

TEST(ProcessLauncher, StartsTheProgramBareWithTheCallersEnvironment)
{
    TempFolder folder;
    const auto program = WriteReporter(folder);
    ::setenv("OSTREL_LAUNCH_TEST", "inherited", 1);
    // The monitor's host blocks its quit signals in every thread.
    sigset_t quit;
    sigset_t previous;
    sigemptyset(&quit);
    sigaddset(&quit, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &quit, &previous);

    SpawnProcessLauncher launcher;
    const bool started = launcher.Start(program);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ::unsetenv("OSTREL_LAUNCH_TEST");
    ASSERT_TRUE(started);

    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(folder / "reporter.out"); }));
    const std::string report = ReadFileBytes(folder / "reporter.out").value_or("");
    EXPECT_NE(report.find("args=0\n"), std::string::npos) << report;
    EXPECT_NE(report.find("env=inherited\n"), std::string::npos) << report;
    EXPECT_NE(report.find("SigBlk:\t0000000000000000\n"), std::string::npos) << report;
    EXPECT_NE(report.find("stdin=/dev/null\n"), std::string::npos) << report;

    EXPECT_TRUE(Eventually([&] {
        launcher.ReapFinished();
        return launcher.Unreaped() == 0;
    }));
}

TEST(ProcessLauncher, AProgramThatCannotStartIsReported)
{
    TempFolder folder;
    ASSERT_TRUE(ReplaceFile(folder / "not-executable", "#!/bin/sh\n", 0644));
    SpawnProcessLauncher launcher;
    EXPECT_FALSE(launcher.Start(folder / "missing"));
    EXPECT_FALSE(launcher.Start(folder / "not-executable"));
    EXPECT_EQ(launcher.Unreaped(), 0u);
}

TEST(ProcessLauncher, RootStartsOnlyItsOwnProgramsByTheirOwnName)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "the rule is root's";
    TempFolder folder;
    const auto reporter = WriteReporter(folder);
    ASSERT_TRUE(ReplaceFile(folder / "Relayer", "#!/bin/sh\n", 0755));
    ASSERT_TRUE(ReplaceFile(folder / "writable", "#!/bin/sh\n", 0775));
    std::filesystem::create_directory(folder / "other");
    std::filesystem::create_symlink("/bin/true", folder / "other" / "Relayer");
    std::filesystem::create_symlink(folder / "Relayer", folder / "other" / "linked");

    struct Case {
        const char* label;
        std::filesystem::path program;
        bool safe;
    };
    const Case cases[] = {
        {"root's own, read-only for others", folder / "Relayer", true},
        {"a link to another program of the machine", folder / "other" / "Relayer", false},
        {"a link under another name", folder / "other" / "linked", false},
        {"writable by its group", folder / "writable", false},
        {"missing", folder / "missing", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeForRootToStart(c.program), c.safe) << c.label;

    // Someone else's program is never root's.
    ASSERT_EQ(::chown(reporter.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(SafeForRootToStart(reporter));
    SpawnProcessLauncher launcher;
    EXPECT_FALSE(launcher.Start(reporter));
}

// The application folder is the administrators' group's to write, and
// Relayer in it is a link to the installed mailer.
TEST(ProcessLauncher, RootTakesTheMailerLinkOnlyToAFolderNoOneElseMayChange)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "the rule is root's";
    namespace fs = std::filesystem;
    TempFolder folder;
    for (const char* name : {"bin", "shared", "a1", "a2", "a3", "a4"})
        fs::create_directory(folder / name);
    for (const char* name : {"bin/Relayer", "shared/Relayer", "a4/Relayer"})
        fs::copy_file("/bin/true", folder / name);
    for (const char* name : {"shared", "a1", "a2", "a3", "a4"})
        ASSERT_EQ(::chmod((folder / name).c_str(), 02775), 0);
    fs::create_symlink(folder / "bin" / "Relayer", folder / "a1" / "Relayer");
    fs::create_symlink("../bin/Relayer", folder / "a2" / "Relayer");
    fs::create_symlink(folder / "shared" / "Relayer", folder / "a3" / "Relayer");

    struct Case {
        const char* label;
        const char* program;
        bool safe;
    };
    const Case cases[] = {
        {"a link to the installed mailer", "a1/Relayer", true},
        {"a relative link, looked up in the group's folder", "a2/Relayer", false},
        {"a link into a folder the group may write", "a3/Relayer", false},
        {"the program itself in the group's folder", "a4/Relayer", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeForRootToStart(folder / c.program), c.safe) << c.label;

    // Started from the checked descriptor: the exec itself succeeded.
    SpawnProcessLauncher launcher;
    EXPECT_TRUE(launcher.Start(folder / "a1" / "Relayer"));
    EXPECT_FALSE(launcher.Start(folder / "a3" / "Relayer"));
    EXPECT_TRUE(Eventually([&] {
        launcher.ReapFinished();
        return launcher.Unreaped() == 0;
    }));
}

}  // namespace
}  // namespace ostrel::test
