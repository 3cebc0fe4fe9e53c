#include "OldLogCleaner.h"

#include "ApplicationFolder.h"
#include "PeriodKeys.h"

#include <optional>
#include <system_error>
#include <vector>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

bool AllDigits(std::string_view text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

int Number(std::string_view digits)
{
    int value = 0;
    for (const char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

// A period file name taken apart: its prefix letter, the period text
// between the prefix and the year (the day key for day files) and the year.
struct PeriodName {
    char kind = 0;
    std::string_view period;
    int year = 0;
};

// "x_" + period + "_" + four-digit year + ".xml", with the period checked
// by `validPeriod`.
template <class Valid>
std::optional<PeriodName> SplitPeriodName(std::string_view name, Valid validPeriod)
{
    constexpr std::string_view kExtension = ".xml";
    if (name.size() < 2 + 1 + 1 + 4 + kExtension.size() || !name.ends_with(kExtension))
        return std::nullopt;
    const std::string_view stem = name.substr(2, name.size() - 2 - kExtension.size());
    const std::string_view year = stem.substr(stem.size() - 4);
    const std::string_view period = stem.substr(0, stem.size() - 5);
    if (stem[stem.size() - 5] != '_' || !AllDigits(year) || !AllDigits(period) || !validPeriod(period))
        return std::nullopt;
    return PeriodName{name[0], period, Number(year)};
}

std::optional<PeriodName> ParsePeriodName(std::string_view name)
{
    if (name.size() < 2 || name[1] != '_')
        return std::nullopt;
    switch (name[0]) {
    case 'd':
        // The day key: eight digits, the day number in the last two.
        if (name.size() == 14 && name.ends_with(".xml") && AllDigits(name.substr(2, 8)))
            return PeriodName{'d', name.substr(2, 8), Number(name.substr(2, 4))};
        return std::nullopt;
    case 'y':
        if (name.size() == 10 && name.ends_with(".xml") && AllDigits(name.substr(2, 4)))
            return PeriodName{'y', {}, Number(name.substr(2, 4))};
        return std::nullopt;
    case 'w':
        // As "%d" writes it: no leading zero.
        return SplitPeriodName(name, [](std::string_view w) { return w.size() <= 2 && w[0] != '0'; });
    case 'm':
        return SplitPeriodName(name, [](std::string_view m) { return m.size() == 2; });
    case 'q':
        return SplitPeriodName(name, [](std::string_view q) { return q.size() == 1 && q[0] >= '1' && q[0] <= '4'; });
    case 's':
        return SplitPeriodName(name, [](std::string_view s) { return s == "1" || s == "2"; });
    default:
        return std::nullopt;
    }
}

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
    case 1:
        return (m == 12 && year == today.year - 1) || year == today.year;
    case 2:
        return year == today.year;
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
    const std::optional<PeriodName> name = ParsePeriodName(fileName);
    if (!name)
        return LogFileFate::NotAPeriodFile;
    bool keep = true;
    switch (name->kind) {
    case 'd':
        keep = KeepDay(Number(name->period.substr(6, 2)), today);
        break;
    case 'w':
        keep = KeepWeek(Number(name->period), name->year, today);
        break;
    case 'm':
        keep = KeepMonth(Number(name->period), name->year, today);
        break;
    case 'q':
        keep = KeepQuarter(Number(name->period), name->year, today);
        break;
    case 's':
        keep = KeepSemester(Number(name->period), name->year, today);
        break;
    default:  // year files
        break;
    }
    return keep ? LogFileFate::Keep : LogFileFate::Delete;
}

bool RemoveLogFile(const std::filesystem::path& file)
{
    std::error_code error;
    if (fs::remove(file, error) && !error)
        return true;
    // Where the platform refuses to delete a read-only file, make it
    // writable and try once more.
    std::error_code ignored;
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add | fs::perm_options::nofollow, ignored);
    return fs::remove(file, error) && !error;
}

CleanupTally CleanOldLogs(const std::filesystem::path& logsFolder, Clock::TimePoint now,
                          const LogFileRemover& remove, std::stop_token stop)
{
    const CleanupDate today = CleanupDateAt(now);
    CleanupTally tally;
    std::vector<fs::path> due;
    std::error_code error;
    fs::recursive_directory_iterator entry(logsFolder, fs::directory_options::skip_permission_denied, error);
    for (const fs::recursive_directory_iterator end; !error && entry != end; entry.increment(error)) {
        if (stop.stop_requested())
            return tally;
        // Both answered from the folder listing itself, without a stat per file.
        std::error_code typeError;
        if (entry->is_symlink(typeError) || !entry->is_regular_file(typeError))
            continue;
        const std::string_view path = entry->path().native();
        const LogFileFate fate = JudgeLogFile(path.substr(path.rfind('/') + 1), today);
        if (fate == LogFileFate::NotAPeriodFile)
            continue;
        ++tally.periodFiles;
        if (fate == LogFileFate::Delete)
            due.push_back(entry->path());
    }
    // Deleted after the walk, so that the walk never reads a folder that is changing under it.
    for (const fs::path& file : due) {
        if (stop.stop_requested())
            break;
        if (remove(file))
            ++tally.deleted;
        else
            ++tally.undeletable;
    }
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
    const fs::path logs = InApplicationFolder(appFolder_, "Logs");
    do {
        CleanOldLogs(logs, clock_.Now(), remove_, stop);
    } while (clock_.SleepFor(kInterval, stop));
    return 0;
}

}  // namespace ostrel
