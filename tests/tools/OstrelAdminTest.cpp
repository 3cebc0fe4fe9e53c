// The real ostrel-admin program on a headless machine of the test's own: a
// private CUPS scheduler, a real kestrun-host recording at the cost it set,
// the real Relayer against the tests' mail server and against one that
// refuses the login, and a user without rights.
#include "CupsServer.h"
#include "Files.h"
#include "PeriodKeys.h"
#include "Process.h"
#include "RegValue.h"
#include "SettingsDocument.h"
#include "SmtpSink.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <thread>

namespace ostrel::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kPassword = "Tr0ub4dor&3 horse";
// The password as the PLAIN login sends it for bob.
constexpr const char* kPlainLogin = "AGJvYgBUcjB1YjRkb3ImMyBob3JzZQ==";

template <class Condition>
bool Eventually(Condition condition, std::chrono::milliseconds patience)
{
    for (auto deadline = std::chrono::steady_clock::now() + patience; std::chrono::steady_clock::now() < deadline;) {
        if (condition())
            return true;
        std::this_thread::sleep_for(50ms);
    }
    return condition();
}

class OstrelAdminTest : public ::testing::Test {
protected:
    OstrelAdminTest() : hive_(folder_ / "registry" / "HKEY_LOCAL_MACHINE")
    {
        fs::create_directories(App() / "Logs");
        fs::copy_file(fs::path(OSTREL_DATA_DIR) / "TestEmail.xml", App() / "Logs" / "TestEmail.xml");
        fs::create_symlink(BuiltProgram("Relayer"), App() / "Relayer");
        EXPECT_TRUE(ReplaceFile(App() / "settings.xml", "<log></log>"));
        RegValueString appPath("Software\\Ostrel\\AppPath", "", false, hive_);
        appPath.Set(App().string());
    }

    fs::path App() const { return folder_ / "app"; }
    std::map<std::string, std::string> Environment() const
    {
        return {{"OSTREL_REGISTRY_ROOT", (folder_ / "registry").string()},
                {"CUPS_SERVER", cups_.Address()},
                {"JOURNAL_STREAM", ""}};
    }
    ProcessResult Admin(std::vector<std::string> args, std::string input = {})
    {
        ProcessResult result = RunProgram(BuiltProgram("ostrel-admin"), std::move(args), Environment(), input);
        for (const std::string& shown : {result.out, result.err}) {
            EXPECT_EQ(shown.find(kPassword), std::string::npos) << shown;
            EXPECT_EQ(shown.find(kPlainLogin), std::string::npos) << shown;
        }
        return result;
    }
    std::uint32_t Dword(const char* name)
    {
        return RegValueDword(std::string("Software\\Ostrel\\") + name, 99, false, hive_).Get();
    }
    std::vector<std::string> MailSettings(const std::string& port, const char* auth)
    {
        return {"mail",
                "--to",
                "alice@example.org",
                "--from-name",
                "Print R\xC3\xBCm",
                "--from",
                "ostrel@example.org",
                "--server",
                "127.0.0.1",
                "--port",
                port,
                "--auth",
                auth,
                "--user",
                "bob"};
    }

    CupsServer cups_{{"Office"}, {"Inkjet"}};
    TempFolder folder_;
    DirectoryRegistry hive_;
};

TEST_F(OstrelAdminTest, ConfiguresMonitoringAndMailOfAHeadlessServer)
{
    // Office at 5 cents a page, then monitoring on.
    ProcessResult result = Admin({"monitor", "Office", "--cost", "5"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out + result.err, "");
    EXPECT_EQ(SettingsDocument::InFolder(App().string()).ReadMonitoredPrinters(),
              (std::vector<MonitoredPrinter>{{"Office", "5"}}));
    EXPECT_EQ(Dword("Reset"), 1u);
    result = Admin({"printers"});
    EXPECT_EQ(result.out, "Inkjet: not monitored\nOffice: monitored, 5 cents per page\n") << result.err;
    result = Admin({"printers", "--json"});
    EXPECT_EQ(result.out,
              "[{\"name\":\"Inkjet\",\"monitored\":false,\"cost\":null,\"scheduler\":true},"
              "{\"name\":\"Office\",\"monitored\":true,\"cost\":5,\"scheduler\":true}]\n")
        << result.err;
    ASSERT_EQ(Admin({"start"}).exitCode, 0);
    EXPECT_EQ(Dword("AppRuns"), 1u);

    // A real monitor records what Office prints at that cost.
    {
        Process host(BuiltProgram("kestrun-host"), {}, Environment());
        const auto yearLog = [&] {
            return ReadWholeFile(App() / "Logs" /
                                 ("y_" + PeriodKeysAt(std::chrono::system_clock::now()).year + ".xml"));
        };
        bool watching = false;
        for (int probe = 1; probe <= 15 && !watching; ++probe) {
            const std::string title = "probe " + std::to_string(probe);
            cups_.Submit({"Office", "prober", title, cups_.PdfWithPages(1)});
            watching = Eventually([&] { return yearLog().find(title) != std::string::npos; }, 15s);
        }
        ASSERT_TRUE(watching) << "kestrun-host recorded no job of the printer ostrel-admin chose";
        cups_.Submit({"Office", "alice", "Budget", cups_.PdfWithPages(3)});
        const std::string record = "<doc>Budget</doc><pages>3</pages><cost>15</cost><printer>Office</printer>";
        EXPECT_TRUE(Eventually([&] { return yearLog().find(record) != std::string::npos; }, kCupsPatience))
            << yearLog();

        result = Admin({"status", "--json"});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_NE(result.out.find("{\"monitoring\":true,\"appRuns\":1,\"host\":{\"running\":true,"), std::string::npos)
            << result.out;
        const std::string day = PeriodKeysAt(std::chrono::system_clock::now()).day;
        EXPECT_NE(result.out.find("\"lastRecord\":\"" + day.substr(0, 4) + "-" + day.substr(4, 2) + "-" +
                                  day.substr(6, 2) + " "),
                  std::string::npos)
            << result.out;
        result = Admin({"status"});
        EXPECT_EQ(result.out.rfind("application status: Monitoring\nkestrun-host: running (", 0), 0u) << result.out;
        ASSERT_TRUE(host.Signal(SIGTERM));
        ASSERT_TRUE(host.Wait(10s));
    }

    // The test message through the real mailer, to a server that takes it.
    SmtpSink sink;
    ASSERT_NE(sink.Port(), 0);
    ASSERT_EQ(Admin(MailSettings(std::to_string(sink.Port()), "None")).exitCode, 0);
    EXPECT_EQ(Dword("EmailLog"), 1u);
    result = Admin({"mail", "test"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    ASSERT_EQ(sink.Count(), 1u);
    EXPECT_NE(sink.Read(1, "envelope").find("alice@example.org"), std::string::npos);

    // And to one that refuses the login and repeats what it was sent: the
    // reason, a failure, and never the password.
    SmtpSink refusing({"bob", "other", "PLAIN", {}, {}, false, true});
    ASSERT_NE(refusing.Port(), 0);
    result = Admin(MailSettings(std::to_string(refusing.Port()), "AUTH PLAIN"), std::string(kPassword) + "\n");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    result = Admin({"mail", "test"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("ostrel-admin: the test message was not sent: could not send the test message"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("Login denied; the server said: 535"), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_EQ(refusing.Count(), 0u);

    ASSERT_EQ(Admin({"mail", "--off"}).exitCode, 0);
    EXPECT_EQ(Dword("EmailLog"), 0u);
}

TEST_F(OstrelAdminTest, AUserOutsideTheGroupIsToldAndChangesNothing)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    // Readable by all, as an installed store and folder are.
    fs::permissions(folder_.Path(), fs::perms(0755));
    for (const auto& entry : fs::recursive_directory_iterator(folder_.Path()))
        if (!entry.is_symlink())
            fs::permissions(entry.path(), fs::perms(entry.is_directory() ? 0755 : 0644));
    const std::string before = ReadWholeFile(App() / "settings.xml");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"monitor", "Office"}, std::vector<std::string>{"start"}}) {
        std::vector<std::string> asNobody = {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                             BuiltProgram("ostrel-admin").string()};
        asNobody.insert(asNobody.end(), args.begin(), args.end());
        const ProcessResult result = RunProgram("/usr/bin/setpriv", asNobody, Environment());
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_EQ(result.err.rfind("ostrel-admin: Your changes cannot be saved: nobody may not write to ", 0), 0u)
            << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    EXPECT_EQ(ReadWholeFile(App() / "settings.xml"), before);
    EXPECT_EQ(Dword("AppRuns"), 99u);
    EXPECT_EQ(Dword("Reset"), 99u);
}

}  // namespace
}  // namespace ostrel::test
