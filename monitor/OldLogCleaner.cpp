#include "OldLogCleaner.h"

#include "PeriodKeys.h"

#include <optional>
#include <vector>

namespace ostrel {
namespace {

bool KeepDay(int d, const CleanupDate& today)
{
    if (today.day == 1)
        return d == 1 || d == today.lastDayOfPreviousMonth;
    if (today.day == 2)
        return d == 1 || d == 2;
    return d >= today.day - 1;
}

bool KeepWeek(int w, int year, const CleanupDate& today)
{
    if (w == today.week && year == today.year)
        return true;
    if (today.week == 1)
        return w == 53 && year == today.year - 1;
    return w == today.week - 1 && year == today.year;
}

bool KeepMonth(int m, int year, const CleanupDate& today)
{
    switch (today.month) {
    case 1: return (m == 12 && year == today.year - 1) || year == today.year;
    case 2: return year == today.year;
    default:
        // Other years' files wait for the next January or February pass.
        return m >= today.month - 1 || year != today.year;
    }
}

bool KeepQuarter(int q, int year, const CleanupDate& today)
{
    const int current = (today.month - 1) / 3 + 1;
    if (q == current && year == today.year)
        return true;
    if (current == 1)
        return q == 4 && year == today.year - 1;
    return q == current - 1 && year == today.year;
}

bool KeepSemester(int s, int year, const CleanupDate& today)
{
    if (today.month >= 7)
        return year == today.year;
    return (s == 1 && year == today.year) || (s == 2 && year == today.year - 1);
}

// One folder, then its subfolders. The listing is read whole before any
// file is deleted, so that it never reads a folder that is changing under
// it; deleting from the same descriptor keeps every deletion in the folder
// that was listed. Links are typed as links by the listing and skipped.
// False when the stop was requested.
bool CleanFolder(const SafeFolder& folder, const CleanupDate& today, const LogFileRemover& remove,
                 const std::stop_token& stop, int depth, CleanupTally& tally)
{
    const Safe<std::vector<FolderEntry>> listing = folder.List();
    if (!listing)
        return !stop.stop_requested();  // unreadable: skipped, as before
    std::vector<const std::string*> due;
    std::vector<const std::string*> subfolders;
    for (const FolderEntry& entry : listing.value) {
        if (entry.type == FolderEntry::Type::Folder) {
            subfolders.push_back(&entry.name);
            continue;
        }
        if (entry.type != FolderEntry::Type::File)
            continue;
        const LogFileFate fate = JudgeLogFile(entry.name, today);
        if (fate == LogFileFate::NotAPeriodFile)
            continue;
        ++tally.periodFiles;
        if (fate == LogFileFate::Delete)
            due.push_back(&entry.name);
    }
    for (const std::string* name : due) {
        if (stop.stop_requested())
            return false;
        if (remove(folder, *name))
            ++tally.deleted;
        else
            ++tally.undeletable;
    }
    if (depth + 1 >= kDeepestLogFolder)
        return !stop.stop_requested();
    for (const std::string* name : subfolders) {
        if (stop.stop_requested())
            return false;
        const Safe<SafeFolder> subfolder = folder.Folder(*name);
        if (subfolder && !CleanFolder(subfolder.value, today, remove, stop, depth + 1, tally))
            return false;
    }
    return !stop.stop_requested();
}

}  // namespace

CleanupDate CleanupDateAt(Clock::TimePoint now)
{
    using namespace std::chrono;
    const std::tm local = LocalTime(now);
    const int year = local.tm_year + 1900;
    const int month = local.tm_mon + 1;
    const year_month_day lastOfPrevious{sys_days(std::chrono::year(year) / std::chrono::month(month) / 1) - days(1)};
    return CleanupDate{year, month, local.tm_mday, WeekNumber(now),
                       static_cast<int>(static_cast<unsigned>(lastOfPrevious.day()))};
}

LogFileFate JudgeLogFile(std::string_view fileName, const CleanupDate& today)
{
    const std::optional<PeriodFile> name = ParsePeriodFileName(fileName);
    if (!name)
        return LogFileFate::NotAPeriodFile;
    bool keep = true;
    switch (name->period) {
    case Period::Day: keep = KeepDay(name->number, today); break;
    case Period::Week: keep = KeepWeek(name->number, name->year, today); break;
    case Period::Month: keep = KeepMonth(name->number, name->year, today); break;
    case Period::Quarter: keep = KeepQuarter(name->number, name->year, today); break;
    case Period::Semester: keep = KeepSemester(name->number, name->year, today); break;
    case Period::Year: break;
    }
    return keep ? LogFileFate::Keep : LogFileFate::Delete;
}

bool RemoveLogFile(const SafeFolder& folder, const std::string& name)
{
    return folder.Remove(name) == SafeStatus::Ok;
}

CleanupTally CleanOldLogs(const std::filesystem::path& appFolder, Clock::TimePoint now, const LogFileRemover& remove,
                          std::stop_token stop)
{
    const CleanupDate today = CleanupDateAt(now);
    CleanupTally tally;
    Safe<SafeFolder> logs = SafeFolder::Open(appFolder, kLogsFolder);
    if (logs)
        CleanFolder(logs.value, today, remove, stop, 0, tally);
    return tally;
}

OldLogCleaner::OldLogCleaner(Clock& clock, std::string appFolder, LogFileRemover remove)
    : clock_(clock), appFolder_(std::move(appFolder)), remove_(std::move(remove))
{
}

OldLogCleaner::~OldLogCleaner()
{
    Stop();
}

std::uint32_t OldLogCleaner::Run(std::stop_token stop)
{
    do {
        CleanOldLogs(appFolder_, clock_.Now(), remove_, stop);
    } while (clock_.SleepFor(kInterval, stop));
    return 0;
}

}  // namespace ostrel
