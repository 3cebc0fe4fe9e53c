#include "EventLogWriter.h"

#include "AppendFile.h"
#include "ApplicationFolder.h"
#include "PeriodKeys.h"
#include "SafeText.h"
#include "SettingsDocument.h"

#include <cerrno>
#include <cstring>
#include <system_error>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDiskFull = "Logs: the disk is full; records are kept and written once there is room";

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

std::int64_t Seconds(Clock::TimePoint at)
{
    return std::chrono::duration_cast<std::chrono::seconds>(at.time_since_epoch()).count();
}

Clock::TimePoint FromSeconds(std::int64_t seconds)
{
    return Clock::TimePoint(std::chrono::seconds(seconds));
}

// Room may come back: worth keeping the record for.
bool OutOfRoom(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

}  // namespace

EventLogWriter::EventLogWriter(std::string appFolder, Clock& clock)
    : appFolder_(std::move(appFolder)), clock_(clock), journal_(InApplicationFolder(appFolder_, kJournalName))
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

void EventLogWriter::Replay()
{
    std::lock_guard lock(lock_);
    journal_.Load();
    FlushLocked();
}

void EventLogWriter::Write(const EventRecord& record)
{
    std::lock_guard lock(lock_);
    journal_.Take(record, Seconds(clock_.Now()));
    FlushLocked();
}

void EventLogWriter::RetryKept()
{
    if (!kept_)
        return;
    std::lock_guard lock(lock_);
    FlushLocked();
}

Clock::TimePoint EventLogWriter::WatchedSince(const std::string& queue)
{
    std::lock_guard lock(lock_);
    return FromSeconds(journal_.WatchedSince(queue, Seconds(clock_.Now())));
}

void EventLogWriter::ForgetWatching()
{
    std::lock_guard lock(lock_);
    journal_.ForgetWatching();
}

bool EventLogWriter::Owed(const std::string& queue, std::uint32_t jobId, std::int64_t endedAt)
{
    std::lock_guard lock(lock_);
    return journal_.Owed(queue, jobId, endedAt);
}

void EventLogWriter::FlushLocked()
{
    // In the order taken: a record kept back holds back those after it.
    while (!journal_.Pending().empty()) {
        const PendingRecord& pending = journal_.Pending().front();
        if (WriteLocked(pending) == Outcome::Kept) {
            if (!kept_.exchange(true))
                log_.Warn(kDiskFull);
            return;
        }
        journal_.Done(pending.sequence);
    }
    if (kept_.exchange(false)) {
        log_.Forget(kDiskFull);
        LogWarning("Logs: there is room again; the records kept back are written");
    }
}

RecordPlacement EventLogWriter::PlaceLocked(const EventRecord& record)
{
    RecordPlacement placement;
    placement.writtenAt = Seconds(clock_.Now());
    SettingsDocument settings = SettingsDocument::InFolder(appFolder_);
    // A printer no longer in the settings files straight into Printers.
    const auto id = settings.FindPrinterId(record.printer);
    placement.printerFolder = id ? PrinterFolderName(*id) : std::string();
    placement.userFolder = UserFolderName(record.user);
    settings.AddUser(record.user);
    return placement;
}

EventLogWriter::Outcome EventLogWriter::WriteLocked(const PendingRecord& pending)
{
    const fs::path logs = InApplicationFolder(appFolder_, "Logs");
    RecordPlacement placement;
    if (pending.placement) {
        placement = *pending.placement;
    } else {
        placement = PlaceLocked(pending.record);
        std::error_code ignored;
        fs::create_directories(logs / "Users" / placement.userFolder, ignored);
        fs::create_directories(logs / "Printers" / placement.printerFolder, ignored);
        for (const fs::path& file :
             PeriodFiles(FromSeconds(placement.writtenAt), placement.userFolder, placement.printerFolder))
            placement.sizesBefore.push_back(FileSize(file).value_or(-1));
        journal_.Place(pending.sequence, placement);
    }

    const std::vector<fs::path> files =
        PeriodFiles(FromSeconds(placement.writtenAt), placement.userFolder, placement.printerFolder);
    if (pending.placement) {
        // A replay: the folders may be what the crash left out.
        std::error_code ignored;
        fs::create_directories(files[6].parent_path(), ignored);
        fs::create_directories(files[12].parent_path(), ignored);
    }
    Outcome outcome = Outcome::Written;
    for (size_t i = 0; i < files.size(); ++i)
        if (PutInto(files[i], placement.sizesBefore[i], pending.record.text) == Outcome::Kept)
            outcome = Outcome::Kept;
    return outcome;
}

EventLogWriter::Outcome EventLogWriter::PutInto(const fs::path& file, std::int64_t sizeBefore, const std::string& text)
{
    const auto lost = [&](int error) {
        if (OutOfRoom(error))
            return Outcome::Kept;
        log_.Warn("Logs: cannot write " + file.string() + ": " + std::strerror(error) +
                  "; records are left out of it");
        return Outcome::Lost;
    };
    std::optional<AppendFile> out = AppendFile::Open(file);
    if (!out)
        return lost(AppendFile::LastError());
    const std::optional<std::int64_t> size = out->Size();
    if (!size)
        return lost(AppendFile::LastError());

    // A new or empty file starts with the head room, in the same write.
    const std::int64_t base = std::max<std::int64_t>(sizeBefore, 0);
    const std::string expected = base == 0 ? std::string(kHeadRoom, ' ') + text : text;
    std::int64_t from = *size;
    if (*size > base) {
        // Put there before a crash, whole or in part.
        const std::optional<std::string> there = out->ReadAt(base, expected.size());
        if (there && *there == expected)
            return Outcome::Written;
        if (there && *size - base < static_cast<std::int64_t>(expected.size()) && expected.starts_with(*there)) {
            if (!out->Truncate(base))
                return lost(AppendFile::LastError());
            from = base;
        }
    }
    // Whatever the file holds, one that is empty here starts with the head room.
    if (out->Append(from == 0 ? std::string(kHeadRoom, ' ') + text : text))
        return Outcome::Written;
    // Nothing torn is left behind: what went in is taken out again, and a
    // file this record created goes with it.
    const int error = AppendFile::LastError();
    out->Truncate(from);
    if (from == 0 && sizeBefore < 0)
        RemoveFile(file);
    return lost(error);
}

}  // namespace ostrel
