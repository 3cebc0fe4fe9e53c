#pragma once

#include "Spooler.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <stop_token>
#include <vector>

namespace ostrel::cups {

// One watcher's pending job changes: filled by the notification pump,
// drained by the thread that waits on it.
//
// Entries are always handed out before a pending deletion, however they
// were queued: the watcher settles a deletion against the live queue, so
// every job that left it must have its final fields applied by then.
// Consecutive entries merge into one block and deletions into one.
class ChangeQueue {
public:
    explicit ChangeQueue(std::uint32_t filter) : filter_(filter) {}

    // Entries of jobs added (kAddJob) or changed (kSetJob).
    void PushEntries(std::uint32_t changes, std::vector<NotifyEntry> entries);

    // The last fields of a job that left the queue. Until they have been
    // handed out, the job counts as still queued (see UndeliveredFinals).
    void PushFinal(const SpoolerJob& job, std::vector<NotifyEntry> entries);

    void PushDeletion();

    ChangeNotification::WaitResult Wait(std::optional<std::chrono::milliseconds> timeout, std::stop_token stop);

    // The next block: pending entries, else a pending deletion, else an
    // empty block.
    ChangeBlock Next();

    // Jobs that left the queue but whose final fields the watcher has not
    // fetched yet.
    std::vector<SpoolerJob> UndeliveredFinals() const;

private:
    bool ReadyLocked() const { return !entries_.empty() || deletion_; }

    const std::uint32_t filter_;
    mutable std::mutex mutex_;
    std::condition_variable_any ready_;
    std::uint32_t entryChanges_ = 0;
    std::vector<NotifyEntry> entries_;
    bool deletion_ = false;
    std::map<std::uint32_t, SpoolerJob> undeliveredFinals_;
};

}  // namespace ostrel::cups
