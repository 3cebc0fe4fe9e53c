#include "KestrunTasks.h"

#include "FakeClock.h"
#include "Files.h"
#include "RegValue.h"
#include "RegistryHive.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The product's wiring: the tasks libKestrun.so starts, made over the real
// spooler, of one application folder.
namespace ostrel::test {
namespace {

namespace fs = std::filesystem;

TEST(KestrunTasksProduct, TheProductMakesACleanerOfItsApplicationFolder)
{
    TempFolder folder;
    FakeClock clock(LocalTimePoint(2024, 3, 10, 12, 0, 0));
    const fs::path logs = folder / "Logs";
    fs::create_directories(logs);
    ASSERT_TRUE(ReplaceFile(logs / "d_20240101.xml", std::string(525, ' ')));
    ASSERT_TRUE(ReplaceFile(logs / "d_20240310.xml", std::string(525, ' ')));
    DirectoryRegistry hive(folder / "registry");
    KestrunTasks tasks({hive, clock, folder.Path().string()});
    std::unique_ptr<WorkerThread> cleaner = tasks.MakeOldLogCleaner();
    ASSERT_NE(cleaner, nullptr);
    cleaner->Start();
    ASSERT_TRUE(clock.WaitForSleep(1));
    EXPECT_EQ(SortedFileNames(logs), std::vector<std::string>{"d_20240310.xml"});
    cleaner->Stop();
}

TEST(KestrunTasksProduct, TheFactoryMakesTheReportTaskOfTheApplicationFolder)
{
    TempFolder app;
    DirectoryRegistry hive(app / "registry");
    FakeClock clock(LocalTimePoint(2024, 3, 1, 8, 0, 0));
    KestrunTasks tasks({hive, clock, app.Path().string()});
    std::unique_ptr<WorkerThread> mailer = tasks.MakeReportMailer();
    ASSERT_NE(mailer, nullptr);
    mailer->Start();
    ASSERT_TRUE(clock.WaitForSleep(1));
    mailer->Stop();
    EXPECT_EQ(RegValueString("Software\\Ostrel\\ToSendDay", "", false, hive).Get(), "20240301");
}

}  // namespace
}  // namespace ostrel::test
