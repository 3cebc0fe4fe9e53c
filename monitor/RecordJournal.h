#pragma once

#include "FileDescriptor.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ostrel {

// One finished job as the recorder hands it over: the event element, and
// the user and printer names it carries (already made safe for XML). The
// queue ("<scheduler>/<printer>") and job id say which job it was, so that
// a job found again in the scheduler's history is not recorded twice.
struct EventRecord {
    std::string text;
    std::string user;
    std::string printer;
    std::string queue = {};
    std::uint32_t jobId = 0;
    // When the scheduler created the job, in seconds since the epoch; 0
    // when unknown. Only the central store needs it: the files hold the
    // local fields of `text`.
    std::int64_t submittedAt = 0;
};

// Where a record goes, fixed before its first append so that a replay
// writes the same eighteen files: the instant that names the period files,
// the two folders, and each file's size before the append (-1: absent).
struct RecordPlacement {
    std::int64_t writtenAt = 0;  // seconds since the epoch
    std::string userFolder;
    std::string printerFolder;
    std::vector<std::int64_t> sizesBefore;
};

// A record the monitor has taken on but not yet put into all its files.
struct PendingRecord {
    std::uint64_t sequence = 0;
    EventRecord record;
    std::int64_t takenAt = 0;                  // seconds since the epoch
    std::optional<RecordPlacement> placement;  // once its appends began
};

// A record owed to the central store, kept until a commit there holds it.
struct OwedRecord {
    std::uint64_t sequence = 0;
    EventRecord record;
    std::int64_t takenAt = 0;  // seconds since the epoch
};

// The monitor's memory across a crash, in one append-only file of the
// application folder: the records taken on and not yet written everywhere,
// the jobs recorded lately per queue, and since when each queue has been
// watched; and, while a central store is configured, the records not yet
// committed there, in order, however long that takes. Lines are appended at
// once and reach the disk when SyncThrough asks for them, one fdatasync for
// every line written meanwhile; a line cut short by a crash is ignored. The
// file is rewritten, smaller, when it has grown, by a synced replace. Not
// thread-safe, besides SyncThrough: the event log writer serialises its use.
class RecordJournal {
public:
    static constexpr std::size_t kRememberedPerQueue = 1024;
    // How far the scheduler's clock and ours may disagree.
    static constexpr std::int64_t kClockSlackSeconds = 10;

    // `file` lies in the application folder, which is trusted as given;
    // the file itself is never opened through a link.
    explicit RecordJournal(std::filesystem::path file);

    // Reads the file and rewrites it without what is settled. A missing or
    // unreadable file is an empty journal.
    void Load();

    const std::deque<PendingRecord>& Pending() const { return pending_; }

    // Takes a record on; returns its sequence number.
    std::uint64_t Take(const EventRecord& record, std::int64_t now);
    void Place(std::uint64_t sequence, const RecordPlacement& placement);
    // Both at once, in one write.
    std::uint64_t TakePlaced(const EventRecord& record, std::int64_t now, const RecordPlacement& placement);
    // A copy of a pending record; nothing when it is not pending.
    std::optional<PendingRecord> Find(std::uint64_t sequence) const;
    // The record is in all its files.
    void Done(std::uint64_t sequence);

    // Since when `queue` has been watched, in seconds since the epoch;
    // `now` for a queue watched from now on.
    std::int64_t WatchedSince(const std::string& queue, std::int64_t now);
    // Monitoring was switched off: what ends meanwhile is not ours.
    void ForgetWatching();

    // Whether a job that ended at `endedAt` (the scheduler's clock) and is
    // still in the scheduler's history should be recorded now: it ended
    // while its queue was watched, and it is neither recorded nor pending.
    bool Owed(const std::string& queue, std::uint32_t jobId, std::int64_t endedAt) const;
    // Whether the job was taken on (pending or recorded) since it ended at
    // `endedAt`, give or take the clock slack: this end of it is known.
    bool Recorded(const std::string& queue, std::uint32_t jobId, std::int64_t endedAt) const;

    // How many lines were written so far; SyncThrough(Mark()) makes them
    // durable.
    std::uint64_t Mark() const { return lines_.load(); }
    // Thread-safe, and meant to be called without the lock that serialises
    // the rest: blocks until the first `mark` lines are on the disk. A
    // caller that finds a sync under way waits for it and, if its lines came
    // too late for it, one of the waiters syncs for all (group commit).
    // False when the disk did not confirm.
    bool SyncThrough(std::uint64_t mark);

    // From now on, records taken on are also owed to the central store; the
    // mark goes out in the same write as the record.
    void OweToCentre(bool owe) { owe_ = owe; }
    // The oldest owed records, at most `limit`, by sequence.
    std::vector<OwedRecord> OwedRecords(std::size_t limit) const;
    std::size_t OwedCount() const { return owed_.size(); }
    // When the oldest owed record was taken on; nothing when none is owed.
    std::optional<std::int64_t> OldestOwed() const;
    // Records taken from now on are numbered past `sequence`.
    void NumberPast(std::uint64_t sequence);
    // The number the next record will have; 1 for a journal that is new
    // (or was lost).
    std::uint64_t NextSequence() const { return nextSequence_; }
    // Every owed record up to `sequence` is committed in the central store.
    // Called only after the commit.
    void Forwarded(std::uint64_t upTo);

    // Whether the last line could be written; false while the disk is full.
    bool Healthy() const { return healthy_; }

    // The lines of the current state, as a rewrite stores them.
    std::string Compacted() const;

private:
    struct Queue {
        std::optional<std::int64_t> since;
        std::deque<std::pair<std::uint32_t, std::int64_t>> recent;  // id, recorded at; oldest first
        std::unordered_map<std::uint32_t, std::int64_t> recordedAt;
    };

    void Apply(std::string_view line);
    // Marks a record just taken as owed when records are; the line that says so.
    std::string OweLineIfOwed(const PendingRecord& pending);
    void Remember(const std::string& queue, std::uint32_t jobId, std::int64_t at);
    void Open();
    void Write(const std::string& line);
    void Rewrite();

    std::filesystem::path file_;
    std::shared_ptr<const FileDescriptor> out_;  // swapped under syncLock_
    std::atomic<std::uint64_t> lines_{0};
    std::mutex syncLock_;
    std::condition_variable syncDone_;
    std::uint64_t synced_ = 0;
    bool syncing_ = false;
    std::int64_t written_ = 0;
    std::int64_t rewriteAt_ = 0;
    bool healthy_ = true;
    std::uint64_t nextSequence_ = 1;
    std::deque<PendingRecord> pending_;
    std::map<std::string, Queue> queues_;
    bool owe_ = false;
    std::map<std::uint64_t, OwedRecord> owed_;
};

}  // namespace ostrel
