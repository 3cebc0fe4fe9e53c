#include "EventLogWriter.h"

#include "ApplicationFolder.h"
#include "Files.h"
#include "PeriodKeys.h"
#include "SafeText.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <functional>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDiskFull = "Logs: the disk is full; records are kept and written once there is room";
constexpr int kAppend = O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK;

// The six names of one folder, from the day to the year.
std::vector<std::string> PeriodNames(const PeriodKeys& keys)
{
    const auto names = PeriodFileNames(keys);
    return {names.begin(), names.end()};
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
    : appFolder_(std::move(appFolder)),
      clock_(clock),
      settings_(appFolder_),
      journal_(InApplicationFolder(appFolder_, kJournalName))
{
}

EventLogWriter::~EventLogWriter()
{
    Settle();
}

std::vector<fs::path> EventLogWriter::PeriodFiles(Clock::TimePoint now, const std::string& userFolder,
                                                  const std::string& printerFolder) const
{
    const std::vector<std::string> names = PeriodNames(PeriodKeysAt(now));
    std::vector<fs::path> files;
    for (const std::string& relative :
         {std::string(kLogsFolder), UserLogsFolder(userFolder), PrinterLogsFolder(printerFolder)})
        for (const std::string& name : names)
            files.push_back(InApplicationFolder(appFolder_, relative) / name);
    return files;
}

void EventLogWriter::Replay()
{
    {
        std::lock_guard lock(journalLock_);
        journal_.Load();
        // A new journal, or one that was lost, numbers from the clock (a
        // thousand a second), past any number an earlier one gave to the
        // central store.
        if (journal_.NextSequence() == 1)
            journal_.NumberPast(static_cast<std::uint64_t>(std::max<std::int64_t>(Seconds(clock_.Now()), 0)) * 1000);
        for (const PendingRecord& pending : journal_.Pending())
            keptBack_.insert(pending.sequence);
        FlushKeptLocked();
    }
    Settle();
}

bool EventLogWriter::Write(const EventRecord& record)
{
    // A job whose end another monitor of its queue took on already (the one
    // stopping at a reload, say) is not taken on twice.
    const auto takenOn = [&] {
        return record.jobId != 0 && !record.queue.empty() &&
               journal_.Recorded(record.queue, record.jobId, Seconds(clock_.Now()));
    };
    {
        // Behind records kept back, in order.
        std::lock_guard lock(journalLock_);
        if (takenOn())
            return false;
        if (!keptBack_.empty()) {
            keptBack_.insert(journal_.Take(record, Seconds(clock_.Now())));
            FlushKeptLocked();
            return true;
        }
    }
    RecordPlacement placement = Place(record);
    OpenRecord open = Open(placement);
    placement.sizesBefore = open.Sizes();
    std::uint64_t sequence = 0;
    std::uint64_t mark = 0;
    {
        std::lock_guard lock(journalLock_);
        if (takenOn())
            return false;
        sequence = journal_.TakePlaced(record, placement.writtenAt, placement);
        mark = journal_.Mark();
    }
    // The durable point, shared with the records other monitors took
    // meanwhile. Should the disk refuse it, the record is still written: a
    // crash may then lose it, as one before the journal line would.
    if (!journal_.SyncThrough(mark))
        log_.Warn("Logs: the journal could not be synced; records may not survive a power cut");
    const Outcome outcome = WriteOpen(open, placement, record.text, false);
    bool settle = false;
    {
        std::lock_guard lock(journalLock_);
        if (outcome == Outcome::Kept)
            KeepLocked(sequence);
        else
            AppliedLocked(sequence, open, placement);
        settle = SettleDueLocked();
    }
    // A monitor that finds another settling goes on: the records it adds
    // are settled next time.
    if (settle) {
        std::unique_lock settling(settleLock_, std::try_to_lock);
        if (settling)
            SettleLocked();
    }
    return true;
}

void EventLogWriter::RetryKept()
{
    if (!kept_)
        return;
    {
        std::lock_guard lock(journalLock_);
        FlushKeptLocked();
    }
    Settle();
}

void EventLogWriter::AppliedLocked(std::uint64_t sequence, const OpenRecord& open, const RecordPlacement& placement)
{
    if (unsettled_.sequences.empty())
        unsettled_.oldest = clock_.Now();
    unsettled_.sequences.push_back(sequence);
    for (std::size_t i = 0; i < open.files.size(); ++i) {
        if (!open.files[i].descriptor)
            continue;
        const std::string& folder = open.relatives[i / open.names.size()];
        unsettled_.files.insert(folder + "/" + open.NameOf(i));
        // A file this record may have made keeps its name only once its
        // folder is synced.
        if (placement.sizesBefore[i] <= 0)
            unsettled_.folders.insert(folder);
    }
}

bool EventLogWriter::SettleDueLocked() const
{
    // Each settling syncs every file touched since the last: with many
    // printers and users it waits for more records, so that a record pays
    // at most half a sync for it.
    const std::size_t records = unsettled_.sequences.size();
    return (records >= kSettleBatch && records >= 2 * (unsettled_.files.size() + unsettled_.folders.size())) ||
           (records != 0 && clock_.Now() - unsettled_.oldest >= kSettleAfter);
}

void EventLogWriter::Settle()
{
    std::lock_guard settling(settleLock_);
    SettleLocked();
}

void EventLogWriter::SettleLocked()
{
    Unsettled batch;
    {
        std::lock_guard lock(journalLock_);
        std::swap(batch, unsettled_);
    }
    if (batch.sequences.empty())
        return;
    // A file deleted meanwhile has nothing left to sync.
    const Safe<SafeFolder> app = SafeFolder::Open(appFolder_);
    bool synced = static_cast<bool>(app);
    for (const std::string& relative : app ? batch.files : std::set<std::string>()) {
        const Safe<FileDescriptor> file = app.value.OpenFile(relative, O_RDONLY | O_NONBLOCK);
        synced = (file ? SyncData(file.value.Get()) : file.status == SafeStatus::Missing) && synced;
    }
    for (const std::string& relative : app ? batch.folders : std::set<std::string>()) {
        const Safe<SafeFolder> folder = app.value.Folder(relative);
        synced = (folder ? SyncAll(folder.value.Descriptor()) : folder.status == SafeStatus::Missing) && synced;
    }
    // Unconfirmed, the records stay pending: the next start checks them.
    if (!synced) {
        log_.Warn("Logs: the period files could not be synced; their records are checked again at the next start");
        return;
    }
    std::lock_guard lock(journalLock_);
    for (const std::uint64_t sequence : batch.sequences)
        journal_.Done(sequence);
}

void EventLogWriter::OweToCentre(bool owe)
{
    std::lock_guard lock(journalLock_);
    journal_.OweToCentre(owe);
}

std::vector<OwedRecord> EventLogWriter::OwedRecords(std::size_t limit)
{
    std::vector<OwedRecord> records;
    std::uint64_t mark = 0;
    {
        std::lock_guard lock(journalLock_);
        records = journal_.OwedRecords(limit);
        mark = journal_.Mark();
    }
    // Only what the journal holds on disk goes out: a record the centre has
    // and a power cut took from the journal would lend its number to another.
    if (!records.empty() && !journal_.SyncThrough(mark))
        records.clear();
    return records;
}

void EventLogWriter::Forwarded(std::uint64_t upTo)
{
    std::lock_guard lock(journalLock_);
    journal_.Forwarded(upTo);
}

void EventLogWriter::NumberPast(std::uint64_t sequence)
{
    std::lock_guard lock(journalLock_);
    journal_.NumberPast(sequence);
}

EventLogWriter::Owing EventLogWriter::OwingToCentre()
{
    std::lock_guard lock(journalLock_);
    return {journal_.OwedCount(), journal_.OldestOwed()};
}

Clock::TimePoint EventLogWriter::WatchedSince(const std::string& queue)
{
    std::lock_guard lock(journalLock_);
    return FromSeconds(journal_.WatchedSince(queue, Seconds(clock_.Now())));
}

void EventLogWriter::ForgetWatching()
{
    std::lock_guard lock(journalLock_);
    journal_.ForgetWatching();
}

bool EventLogWriter::Owed(const std::string& queue, std::uint32_t jobId, std::int64_t endedAt)
{
    std::lock_guard lock(journalLock_);
    return journal_.Owed(queue, jobId, endedAt);
}

void EventLogWriter::KeepLocked(std::uint64_t sequence)
{
    keptBack_.insert(sequence);
    if (!kept_.exchange(true))
        log_.Warn(kDiskFull);
}

void EventLogWriter::FlushKeptLocked()
{
    // In the order taken: a record kept back holds back those after it.
    while (!keptBack_.empty()) {
        const std::uint64_t sequence = *keptBack_.begin();
        std::optional<PendingRecord> pending = journal_.Find(sequence);
        if (pending) {
            const bool placed = pending->placement.has_value();
            if (!placed)
                pending->placement = Place(pending->record);
            OpenRecord open = Open(*pending->placement);
            if (!placed) {
                pending->placement->sizesBefore = open.Sizes();
                journal_.Place(sequence, *pending->placement);
            }
            // Its lines, the placement too, on the disk before its first
            // append: a replay must find the sizes its appends went after.
            if (!journal_.SyncThrough(journal_.Mark()))
                log_.Warn("Logs: the journal could not be synced; records may not survive a power cut");
            if (WriteOpen(open, *pending->placement, pending->record.text, true) == Outcome::Kept) {
                KeepLocked(sequence);
                return;
            }
            AppliedLocked(sequence, open, *pending->placement);
        }
        keptBack_.erase(sequence);
    }
    if (kept_.exchange(false)) {
        log_.Forget(kDiskFull);
        LogWarning("Logs: there is room again; the records kept back are written");
    }
}

RecordPlacement EventLogWriter::Place(const EventRecord& record)
{
    RecordPlacement placement;
    placement.writtenAt = Seconds(clock_.Now());
    // A printer no longer in the settings files straight into Printers.
    const auto id = settings_.PrinterIdAddingUser(record.printer, record.user);
    placement.printerFolder = id ? PrinterFolderName(*id) : std::string();
    placement.userFolder = UserFolderName(record.user);
    return placement;
}

EventLogWriter::RecordFolder EventLogWriter::FolderFor(const std::string& relative)
{
    std::lock_guard lock(appLock_);
    if (!app_)
        app_ = SafeFolder::Open(appFolder_);
    if (!app_)
        return {nullptr, app_.status, app_.error};
    if (auto cached = folders_.find(relative); cached != folders_.end())
        return {cached->second, SafeStatus::Ok, 0};
    Safe<SafeFolder> folder = app_.value.Folder(relative, MissingFolders::Create);
    if (!folder)
        return {nullptr, folder.status, folder.error};
    // Users come and go: the cache starts afresh rather than grow for ever.
    if (folders_.size() >= kCachedFolders)
        folders_.clear();
    auto shared = std::make_shared<const SafeFolder>(std::move(folder.value));
    folders_.emplace(relative, shared);
    return {shared, SafeStatus::Ok, 0};
}

void EventLogWriter::Forget(const std::string& relative)
{
    std::lock_guard lock(appLock_);
    folders_.erase(relative);
}

// The files of the current periods stay open between records, which spares
// a record eighteen opens. One that was deleted meanwhile (it has no name
// left) is opened afresh, so that no record goes to a file nobody sees.
std::shared_ptr<const FileDescriptor> EventLogWriter::KeptFile(const std::string& relative, std::uint64_t& size)
{
    std::shared_ptr<const FileDescriptor> file;
    {
        std::lock_guard lock(appLock_);
        const auto kept = files_.find(relative);
        if (kept == files_.end())
            return nullptr;
        file = kept->second;
    }
    const std::optional<OpenFileState> state = StateOf(file->Get());
    if (state && state->namedRegularFile) {
        size = state->size;
        return file;
    }
    std::lock_guard lock(appLock_);
    if (const auto kept = files_.find(relative); kept != files_.end() && kept->second == file)
        files_.erase(kept);
    return nullptr;
}

void EventLogWriter::KeepFile(const std::string& relative, std::shared_ptr<const FileDescriptor> file)
{
    std::lock_guard lock(appLock_);
    if (!files_.insert_or_assign(relative, std::move(file)).second)
        return;
    filesInOrder_.push_back(relative);
    // Yesterday's files, and users who printed once, give way first.
    while (filesInOrder_.size() > kCachedFiles) {
        files_.erase(filesInOrder_.front());
        filesInOrder_.pop_front();
    }
}

// The three folders of a record, reached without following a link and made
// when missing, and the record's files in them. An empty folder name stands
// for Users or Printers itself. Folders are opened once and kept: a folder
// that was removed meanwhile is opened afresh.
std::vector<std::int64_t> EventLogWriter::OpenRecord::Sizes() const
{
    std::vector<std::int64_t> sizes;
    for (const RecordFile& file : files)
        sizes.push_back(file.size);
    return sizes;
}

EventLogWriter::OpenRecord EventLogWriter::Open(const RecordPlacement& placement)
{
    OpenRecord open;
    open.relatives = {std::string(kLogsFolder), UserLogsFolder(placement.userFolder),
                      PrinterLogsFolder(placement.printerFolder)};
    const std::array<std::string, 3>& relatives = open.relatives;
    open.names = PeriodNames(PeriodKeysAt(FromSeconds(placement.writtenAt)));
    const std::size_t count = open.names.size();
    open.files.resize(3 * count);
    for (std::size_t f = 0; f < relatives.size(); ++f) {
        for (int attempt = 0; attempt < 2; ++attempt) {
            open.folders[f] = FolderFor(relatives[f]);
            bool gone = false;
            for (std::size_t n = 0; n < count; ++n) {
                const std::size_t i = f * count + n;
                const RecordFolder& folder = open.folders[f];
                const std::string key = relatives[f] + "/" + open.names[n];
                std::uint64_t size = 0;
                if (auto kept = KeptFile(key, size)) {
                    open.files[i] = {std::move(kept), SafeStatus::Ok, 0, static_cast<std::int64_t>(size)};
                    continue;
                }
                struct stat status {};
                Safe<FileDescriptor> file = folder ? folder.folder->OpenFile(open.names[n], kAppend, kPrivateFileMode,
                                                                             MissingFolders::Fail, &status)
                                                   : Safe<FileDescriptor>{folder.status, {}};
                RecordFile& opened = open.files[i];
                opened.status = file.status;
                opened.error = folder ? file.error : folder.error;
                opened.size = file ? static_cast<std::int64_t>(status.st_size) : -1;
                if (file) {
                    opened.descriptor = std::make_shared<const FileDescriptor>(std::move(file.value));
                    KeepFile(key, opened.descriptor);
                }
                gone = gone || file.status == SafeStatus::Missing;
            }
            if (!gone || !open.folders[f])
                break;
            Forget(relatives[f]);
        }
    }
    return open;
}

EventLogWriter::Outcome EventLogWriter::WriteOpen(OpenRecord& open, const RecordPlacement& placement,
                                                  const std::string& text, bool replay)
{
    Outcome outcome = Outcome::Written;
    for (std::size_t i = 0; i < open.files.size(); ++i)
        if (PutInto(open, i, placement.sizesBefore[i], text, replay) == Outcome::Kept)
            outcome = Outcome::Kept;
    return outcome;
}

EventLogWriter::Outcome EventLogWriter::Failed(const OpenRecord& open, std::size_t index, SafeStatus status, int error)
{
    if (status == SafeStatus::Failed && OutOfRoom(error))
        return Outcome::Kept;
    // A refused link is journaled where it is met.
    if (status != SafeStatus::Link) {
        const RecordFolder& folder = open.FolderOf(index);
        log_.Warn("Logs: cannot write " + (folder ? folder.folder->Path() + "/" : std::string()) + open.NameOf(index) +
                  ": " + std::strerror(error) + "; records are left out of it");
    }
    return Outcome::Lost;
}

EventLogWriter::Outcome EventLogWriter::PutInto(const OpenRecord& open, std::size_t index, std::int64_t sizeBefore,
                                                const std::string& text, bool replay)
{
    const RecordFile& record = open.files[index];
    const std::shared_ptr<const FileDescriptor>& file = record.descriptor;
    if (!file)
        return Failed(open, index, record.status, record.error);
    const int fd = file->Get();
    const RecordFolder& folder = open.FolderOf(index);
    const std::string& name = open.NameOf(index);
    // One file, one writer at a time: a write cut short is taken back
    // before anybody appends after it.
    std::lock_guard lock(fileLocks_[std::hash<std::string>{}(folder.folder->Path() + name) % fileLocks_.size()]);

    const std::string head(kHeadRoom, ' ');
    // A file that held records when the record was placed holds them still:
    // its size is needed only to take back a failed write.
    if (!replay && sizeBefore > 0) {
        std::size_t went = 0;
        if (WriteAll(fd, text, &went))
            return Outcome::Written;
        const int error = errno;
        const std::optional<std::uint64_t> now = FileSize(fd);
        if (went && now)
            TruncateTo(fd, *now - went);
        return Failed(open, index, SafeStatus::Failed, error);
    }
    std::optional<std::uint64_t> size = FileSize(fd);
    if (!size)
        return Failed(open, index, SafeStatus::Failed, errno);
    const std::uint64_t base = static_cast<std::uint64_t>(std::max<std::int64_t>(sizeBefore, 0));
    if (replay && *size > base) {
        // Put there before a crash, whole, or cut short at the end.
        const std::string expected = base == 0 ? head + text : text;
        const std::optional<std::string> there = ReadAt(fd, base, *size - base);
        if (there && there->find(text) != std::string::npos)
            return Outcome::Written;
        if (there && there->size() < expected.size() && expected.starts_with(*there)) {
            if (!TruncateTo(fd, base))
                return Failed(open, index, SafeStatus::Failed, errno);
            size = base;
        }
    }
    // Whatever the file holds, one that is empty starts with the head room.
    std::size_t went = 0;
    if (WriteAll(fd, *size == 0 ? head + text : text, &went))
        return Outcome::Written;
    // Nothing torn is left behind: what went in is taken out again, and a
    // file this record made goes with it.
    const int error = errno;
    if (went)
        TruncateTo(fd, *size);
    if (*size == 0 && sizeBefore <= 0)
        folder.folder->Remove(name);
    return Failed(open, index, SafeStatus::Failed, error);
}

}  // namespace ostrel
