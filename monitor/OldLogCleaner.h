#pragma once

#include "Clock.h"
#include "SafeFolder.h"
#include "WorkerThread.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>

namespace ostrel {

// The local date a clean-up pass judges the log files by, read once per pass.
struct CleanupDate {
    int year = 0;
    int month = 0;  // 1 to 12
    int day = 0;    // day of the month
    int week = 0;   // WeekNumber of the instant
    int lastDayOfPreviousMonth = 0;
};

CleanupDate CleanupDateAt(Clock::TimePoint now);

enum class LogFileFate {
    NotAPeriodFile,  // left alone
    Keep,
    Delete,
};

// What becomes of a file named `fileName` at `today`. Only names of exactly
// the form the event log writer gives its day, week, month, quarter and
// semester files can be deleted; year files are kept, and every other name
// (Report.xml, a stylesheet, a file that merely contains "d_") is no period
// file. The day rule reads only the day number of the name; the others
// compare the period and its year with the current and the previous period.
LogFileFate JudgeLogFile(std::string_view fileName, const CleanupDate& today);

// Deletes the file `name` of `folder`, read-only or not. False when it stays.
bool RemoveLogFile(const SafeFolder& folder, const std::string& name);

using LogFileRemover = std::function<bool(const SafeFolder& folder, const std::string& name)>;

struct CleanupTally {
    std::size_t periodFiles = 0;  // period files found
    std::size_t deleted = 0;
    std::size_t undeletable = 0;  // due, but the remover failed; skipped
};

// One pass over <appFolder>/Logs and its subfolders, to a depth of
// kDeepestLogFolder. The group may write the tree: every folder is opened
// from its parent's descriptor without following links (SafeFolder), and
// files are deleted from the descriptor of the folder they were listed in,
// so a link, planted before or during the pass, is neither followed nor
// deleted and a pass never reaches outside the tree. A file that cannot be
// deleted is skipped. The pass ends early when `stop` is requested. A
// missing Logs folder, or a link in its place, is an empty pass.
constexpr int kDeepestLogFolder = 16;
CleanupTally CleanOldLogs(const std::filesystem::path& appFolder, Clock::TimePoint now,
                          const LogFileRemover& remove = RemoveLogFile, std::stop_token stop = {});

// The monitor's clean-up task: a pass over <appFolder>/Logs as soon as it
// starts, then one every 12 hours, until its owner stops it.
class OldLogCleaner final : public WorkerThread {
public:
    static constexpr std::chrono::milliseconds kInterval = std::chrono::hours(12);

    OldLogCleaner(Clock& clock, std::string appFolder, LogFileRemover remove = RemoveLogFile);
    ~OldLogCleaner() override;

protected:
    std::uint32_t Run(std::stop_token stop) override;

private:
    Clock& clock_;
    const std::string appFolder_;
    const LogFileRemover remove_;
};

}  // namespace ostrel
