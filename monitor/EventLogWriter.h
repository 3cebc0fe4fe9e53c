#pragma once

#include "Clock.h"
#include "RecordJournal.h"
#include "SafeFolder.h"
#include "SettingsSnapshot.h"
#include "SystemLog.h"

#include <array>
#include <atomic>
#include <filesystem>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ostrel {

// Files event records into the eighteen period logs of the Logs tree (day,
// week, month, quarter, semester and year; for the machine, the user and
// the printer), keyed by the local date at the moment of writing, and adds
// the user to settings.xml. One writer serves every printer monitor. Each
// append is one write on a file locked for it alone, so records from
// several monitors never interleave within a file, and monitors wait for
// each other only where they share a file.
//
// A record is all or nothing across its files, also across a crash or a
// power cut: it is entered in the journal, and that line is on the disk (its
// durable point), before its first append, with each file's size before it;
// a replay puts it into the files that lack it, never twice. Records taken
// close together share the journal's sync. A record is marked done only
// once its appends are on the disk too: that is settled for many records
// at once, with one sync per file they touched.
// A record that meets a full disk is kept, in order, and written once there
// is room again. A file that cannot be written for another reason (no
// rights, a planted link) loses that record alone.
class EventLogWriter {
public:
    static constexpr std::size_t kHeadRoom = 525;  // blanks a new period file starts with
    static constexpr const char* kJournalName = "Kestrun.journal";

    // Records are settled once this many wait (and twice as many as the
    // files they touched), or the oldest has waited this long.
    static constexpr std::size_t kSettleBatch = 64;
    static constexpr std::chrono::seconds kSettleAfter{2};

    EventLogWriter(std::string appFolder, Clock& clock);
    // Settles what is left.
    ~EventLogWriter();

    // Reads the journal and finishes the records a crash left unwritten.
    void Replay();

    // Returns once the record is durable (or kept back by a full disk),
    // after its appends. A job of a queue that the journal has pending, or
    // recorded since it ended (now, give or take the clock slack), is not
    // taken on again: false.
    bool Write(const EventRecord& record);

    // Syncs the files of the records written since the last time, then
    // marks those records done.
    void Settle();

    // Writes the records a full disk kept back, if there is room now.
    void RetryKept();
    bool HasKept() const { return kept_; }

    // The central store's side of the journal (see RecordJournal): from
    // now on each record taken is also owed there. Safe from any thread;
    // none of these waits on more than the journal.
    void OweToCentre(bool owe);
    std::vector<OwedRecord> OwedRecords(std::size_t limit);
    void Forwarded(std::uint64_t upTo);
    void NumberPast(std::uint64_t sequence);
    struct Owing {
        std::size_t count = 0;
        std::optional<std::int64_t> oldest;  // when the oldest was taken on
    };
    Owing OwingToCentre();

    // See RecordJournal.
    Clock::TimePoint WatchedSince(const std::string& queue);
    void ForgetWatching();
    bool Owed(const std::string& queue, std::uint32_t jobId, std::int64_t endedAt);

    // The eighteen files a record written at `now` goes to, in writing order.
    std::vector<std::filesystem::path> PeriodFiles(Clock::TimePoint now, const std::string& userFolder,
                                                   const std::string& printerFolder) const;

private:
    enum class Outcome { Written, Kept, Lost };
    struct RecordFolder {
        std::shared_ptr<const SafeFolder> folder;
        SafeStatus status = SafeStatus::Failed;
        int error = 0;  // why it could not be opened
        explicit operator bool() const { return folder != nullptr; }
    };
    static constexpr std::size_t kCachedFolders = 128;
    static constexpr std::size_t kCachedFiles = 128;
    // A record's eighteen files, open for appending, with their sizes.
    struct OpenRecord {
        std::array<std::string, 3> relatives;  // of the folders, below the application folder
        std::array<RecordFolder, 3> folders;
        std::vector<std::string> names;  // the six of each folder
        std::vector<std::shared_ptr<const FileDescriptor>> files;  // null: not opened
        std::vector<SafeStatus> statuses;
        std::vector<int> errors;
        std::vector<std::int64_t> sizes;  // as opened; -1 for a file not opened
    };

    RecordPlacement Place(const EventRecord& record);
    RecordFolder FolderFor(const std::string& relative);
    void Forget(const std::string& relative);
    // A period file kept open from an earlier record, if it still has its name.
    std::shared_ptr<const FileDescriptor> KeptFile(const std::string& relative, std::uint64_t& size);
    void KeepFile(const std::string& relative, std::shared_ptr<const FileDescriptor> file);
    OpenRecord Open(const RecordPlacement& placement);
    Outcome WriteOpen(OpenRecord& open, const RecordPlacement& placement, const std::string& text, bool replay);
    Outcome PutInto(const OpenRecord& open, std::size_t index, std::int64_t sizeBefore, const std::string& text,
                    bool replay);
    Outcome Failed(const OpenRecord& open, std::size_t index, SafeStatus status, int error);
    void KeepLocked(std::uint64_t sequence);
    void FlushKeptLocked();
    // The record is in its files; its done mark waits for their sync.
    void AppliedLocked(std::uint64_t sequence, const OpenRecord& open, const RecordPlacement& placement);
    bool SettleDueLocked() const;
    void SettleLocked();  // holding settleLock_

    // Records applied and not yet marked done, with what must be synced
    // first, by name: they are opened afresh to be synced, so that records
    // waiting for it hold no descriptors.
    struct Unsettled {
        std::vector<std::uint64_t> sequences;
        std::set<std::string> files;
        std::set<std::string> folders;  // that gained a file
        Clock::TimePoint oldest{};
    };

    std::string appFolder_;
    Clock& clock_;
    std::mutex appLock_;  // the application folder, and the record folders opened from it
    Safe<SafeFolder> app_;
    std::map<std::string, std::shared_ptr<const SafeFolder>> folders_;
    std::map<std::string, std::shared_ptr<const FileDescriptor>> files_;
    std::deque<std::string> filesInOrder_;  // the oldest kept first
    SettingsSnapshot settings_;
    std::mutex journalLock_;  // the journal, and the records kept back
    RecordJournal journal_;
    std::set<std::uint64_t> keptBack_;
    Unsettled unsettled_;
    std::mutex settleLock_;  // one settling at a time
    std::atomic<bool> kept_{false};
    std::array<std::mutex, 32> fileLocks_;  // by the hash of a file's path
    LogOnce log_;
};

}  // namespace ostrel
