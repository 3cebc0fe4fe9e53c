#include "ChangeQueue.h"

#include <iterator>

namespace ostrel::cups {

void ChangeQueue::PushEntries(std::uint32_t changes, std::vector<NotifyEntry> entries)
{
    if (!(changes & filter_) || entries.empty())
        return;
    {
        std::lock_guard lock(mutex_);
        entryChanges_ |= changes;
        entries_.insert(entries_.end(), std::make_move_iterator(entries.begin()),
                        std::make_move_iterator(entries.end()));
    }
    ready_.notify_all();
}

void ChangeQueue::PushFinal(const SpoolerJob& job, std::vector<NotifyEntry> entries)
{
    if (!(filter_ & printer_change::kSetJob))
        return;
    {
        std::lock_guard lock(mutex_);
        if (!entries.empty()) {
            entryChanges_ |= printer_change::kSetJob;
            entries_.insert(entries_.end(), std::make_move_iterator(entries.begin()),
                            std::make_move_iterator(entries.end()));
        }
        // Earlier entries of the job may still wait here even when the
        // final fields add nothing new.
        if (!entries_.empty())
            undeliveredFinals_[job.id] = job;
    }
    ready_.notify_all();
}

void ChangeQueue::PushDeletion()
{
    if (!(filter_ & printer_change::kDeleteJob))
        return;
    {
        std::lock_guard lock(mutex_);
        deletion_ = true;
    }
    ready_.notify_all();
}

ChangeNotification::WaitResult ChangeQueue::Wait(std::optional<std::chrono::milliseconds> timeout, std::stop_token stop)
{
    using Result = ChangeNotification::WaitResult;
    std::unique_lock lock(mutex_);
    const auto ready = [this] { return ReadyLocked(); };
    bool signalled;
    if (timeout)
        signalled = ready_.wait_for(lock, stop, *timeout, ready);
    else
        signalled = ready_.wait(lock, stop, ready);
    if (stop.stop_requested())
        return Result::Stopped;
    return signalled ? Result::Signalled : Result::TimedOut;
}

ChangeBlock ChangeQueue::Next()
{
    std::lock_guard lock(mutex_);
    ChangeBlock block;
    if (!entries_.empty()) {
        block.changes = entryChanges_ & filter_;
        block.entries = std::move(entries_);
        entries_.clear();
        entryChanges_ = 0;
        undeliveredFinals_.clear();
    } else if (deletion_) {
        block.changes = printer_change::kDeleteJob;
        deletion_ = false;
    }
    return block;
}

std::vector<SpoolerJob> ChangeQueue::UndeliveredFinals() const
{
    std::lock_guard lock(mutex_);
    std::vector<SpoolerJob> jobs;
    for (const auto& [id, job] : undeliveredFinals_)
        jobs.push_back(job);
    return jobs;
}

}  // namespace ostrel::cups
