#include "EventLogWriter.h"

#include "ApplicationFolder.h"
#include "Files.h"
#include "PeriodKeys.h"
#include "SafeFolder.h"
#include "SafeText.h"
#include "SettingsDocument.h"

#include <fcntl.h>

#include <array>
#include <cerrno>
#include <cstring>

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

// The three folders of a record, reached without following a link, made
// when missing. An empty folder name stands for Users or Printers itself.
std::array<EventLogWriter::RecordFolder, 3> EventLogWriter::OpenFolders(const RecordPlacement& placement) const
{
    const auto open = [&](const std::string& relative) {
        Safe<SafeFolder> folder = SafeFolder::Open(appFolder_, relative, MissingFolders::Create);
        const int error = folder ? 0 : errno;
        return RecordFolder{std::move(folder), error};
    };
    const auto below = [](const std::string& parent, const std::string& name) {
        return name.empty() ? parent : parent + "/" + name;
    };
    return {open("Logs"), open(below("Logs/Users", placement.userFolder)),
            open(below("Logs/Printers", placement.printerFolder))};
}

EventLogWriter::Outcome EventLogWriter::WriteLocked(const PendingRecord& pending)
{
    RecordPlacement placement;
    if (pending.placement)
        placement = *pending.placement;
    else
        placement = PlaceLocked(pending.record);
    const std::array<RecordFolder, 3> folders = OpenFolders(placement);
    const std::vector<std::string> names = PeriodNames(PeriodKeysAt(FromSeconds(placement.writtenAt)));
    if (!pending.placement) {
        for (const RecordFolder& folder : folders)
            for (const std::string& name : names) {
                const Safe<struct stat> there = folder.folder ? folder.folder.value.Stat(name) : Safe<struct stat>{};
                placement.sizesBefore.push_back(there ? static_cast<std::int64_t>(there.value.st_size) : -1);
            }
        journal_.Place(pending.sequence, placement);
    }

    Outcome outcome = Outcome::Written;
    for (size_t f = 0; f < folders.size(); ++f) {
        for (size_t n = 0; n < names.size(); ++n) {
            const std::int64_t before = placement.sizesBefore[f * names.size() + n];
            const Outcome one = PutInto(folders[f], names[n], before, pending.record.text);
            if (one == Outcome::Kept)
                outcome = Outcome::Kept;
        }
    }
    return outcome;
}

EventLogWriter::Outcome EventLogWriter::PutInto(const RecordFolder& in, const std::string& name,
                                                std::int64_t sizeBefore, const std::string& text)
{
    const Safe<SafeFolder>& folder = in.folder;
    // Read at once: the status of a failed call leaves errno as it met it.
    const auto failed = [&](SafeStatus status, int error) {
        if (status == SafeStatus::Failed && OutOfRoom(error))
            return Outcome::Kept;
        // A refused link is journaled where it is met.
        if (status != SafeStatus::Link)
            log_.Warn("Logs: cannot write " + (folder ? folder.value.Path() + "/" : std::string()) + name + ": " +
                      std::strerror(error) + "; records are left out of it");
        return Outcome::Lost;
    };
    if (!folder)
        return failed(folder.status, in.error);
    Safe<FileDescriptor> file = folder.value.OpenFile(name, O_RDWR | O_APPEND | O_CREAT, 0664);
    if (!file)
        return failed(file.status, errno);
    const int fd = file.value.Get();
    const std::optional<std::uint64_t> size = FileSize(fd);
    if (!size)
        return failed(SafeStatus::Failed, errno);

    // A new or empty file starts with the head room, in the same write.
    const std::uint64_t base = static_cast<std::uint64_t>(std::max<std::int64_t>(sizeBefore, 0));
    const std::string head(kHeadRoom, ' ');
    const std::string expected = base == 0 ? head + text : text;
    std::uint64_t from = *size;
    if (*size > base) {
        // Put there before a crash, whole or in part.
        const std::optional<std::string> there = ReadAt(fd, base, expected.size());
        if (there && *there == expected)
            return Outcome::Written;
        if (there && *size - base < expected.size() && expected.starts_with(*there)) {
            if (!TruncateTo(fd, base))
                return failed(SafeStatus::Failed, errno);
            from = base;
        }
    }
    // Whatever the file holds, one that is empty here starts with the head room.
    if (WriteAll(fd, from == 0 ? head + text : text))
        return Outcome::Written;
    // Nothing torn is left behind: what went in is taken out again, and a
    // file this record created goes with it.
    const int error = errno;
    TruncateTo(fd, from);
    if (from == 0 && sizeBefore < 0)
        folder.value.Remove(name);
    return failed(SafeStatus::Failed, error);
}

}  // namespace ostrel
