#include "EventLogWriter.h"

#include "ApplicationFolder.h"
#include "Files.h"
#include "PeriodKeys.h"
#include "SafeText.h"
#include "SettingsDocument.h"

#include <system_error>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

// The six names of one folder, from the day to the year.
std::vector<std::string> PeriodNames(const PeriodKeys& keys)
{
    return {
        "d_" + keys.day + ".xml",
        "w_" + keys.week + "_" + keys.year + ".xml",
        "m_" + keys.month + "_" + keys.year + ".xml",
        "q_" + keys.quarter + "_" + keys.year + ".xml",
        "s_" + keys.semester + "_" + keys.year + ".xml",
        "y_" + keys.year + ".xml",
    };
}

}  // namespace

EventLogWriter::EventLogWriter(std::string appFolder, Clock& clock) : appFolder_(std::move(appFolder)), clock_(clock)
{
}

std::vector<fs::path> EventLogWriter::PeriodFiles(Clock::TimePoint now, const std::string& userFolder,
                                                  const std::string& printerFolder) const
{
    const fs::path logs = InApplicationFolder(appFolder_, "Logs");
    const std::vector<std::string> names = PeriodNames(PeriodKeysAt(now));
    std::vector<fs::path> files;
    // An empty folder name puts the files straight into Users or Printers.
    for (const fs::path& folder : {logs, logs / "Users" / userFolder, logs / "Printers" / printerFolder})
        for (const std::string& name : names)
            files.push_back(folder / name);
    return files;
}

void EventLogWriter::Write(const EventRecord& record)
{
    std::lock_guard lock(lock_);
    const Clock::TimePoint now = clock_.Now();

    SettingsDocument settings = SettingsDocument::InFolder(appFolder_);
    // A printer no longer in the settings files straight into Printers.
    const auto id = settings.FindPrinterId(record.printer);
    const std::string printerFolder = id ? PrinterFolderName(*id) : std::string();
    settings.AddUser(record.user);

    const std::string userFolder = UserFolderName(record.user);
    const fs::path logs = InApplicationFolder(appFolder_, "Logs");
    std::error_code ignored;
    fs::create_directories(logs / "Users" / userFolder, ignored);
    fs::create_directories(logs / "Printers" / printerFolder, ignored);

    const std::string head(kHeadRoom, ' ');
    for (const fs::path& file : PeriodFiles(now, userFolder, printerFolder))
        AppendToFile(file, record.text, head);
}

}  // namespace ostrel
