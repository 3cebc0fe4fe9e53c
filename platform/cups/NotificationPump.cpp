#include "NotificationPump.h"

#include <strings.h>

#include <algorithm>

namespace ostrel::cups {
namespace {

// Completion times have a resolution of a second, and the scheduler's clock
// is read at a different moment than the event happened.
constexpr std::int64_t kClockSlackSeconds = 2;

constexpr std::chrono::milliseconds kLongestPause{5000};

}  // namespace

void RecentIds::Insert(std::uint32_t id)
{
    if (!ids_.insert(id).second)
        return;
    order_.push_back(id);
    while (order_.size() > capacity_) {
        ids_.erase(order_.front());
        order_.pop_front();
    }
}

bool NotificationPump::CaseInsensitiveLess::operator()(const std::string& a, const std::string& b) const
{
    return ::strcasecmp(a.c_str(), b.c_str()) < 0;
}

NotificationPump::NotificationPump(CupsEndpoint endpoint, PumpOptions options)
    : options_(options), connection_(std::move(endpoint))
{
}

NotificationPump::~NotificationPump()
{
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
    std::lock_guard lock(mutex_);
    DropSubscriptionLocked();
}

std::uint32_t NotificationPump::Watch(const std::string& queue, const std::shared_ptr<ChangeQueue>& changes)
{
    std::lock_guard lock(mutex_);
    if (!subscriptionId_) {
        if (const std::uint32_t error = SubscribeLocked())
            return error;
    }
    IppReply listing = GetJobs(connection_, connection_.QueueUri(queue), "not-completed");
    if (!listing.Ok())
        return SpoolerErrorFor(listing.status);
    Watchers& watchers = watched_[queue];
    for (const JobAttributes& job : ReadJobs(listing.response.get()))
        ObserveLocked(queue, job);
    // The newcomer learns every job of the queue, known before or not.
    for (const auto& [id, job] : jobs_)
        if (job.told && ::strcasecmp(job.queue.c_str(), queue.c_str()) == 0)
            changes->PushEntries(printer_change::kAddJob, ChangedFields(std::nullopt, *job.told));
    watchers.push_back(changes);
    if (!thread_.joinable())
        thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
    wake_.notify_all();
    return 0;
}

void NotificationPump::Unwatch(const std::string& queue, const ChangeQueue* changes)
{
    std::lock_guard lock(mutex_);
    auto found = watched_.find(queue);
    if (found == watched_.end())
        return;
    std::erase_if(found->second, [&](const std::shared_ptr<ChangeQueue>& one) { return one.get() == changes; });
    if (!found->second.empty())
        return;
    watched_.erase(found);
    std::erase_if(jobs_, [&](const auto& item) { return ::strcasecmp(item.second.queue.c_str(), queue.c_str()) == 0; });
    wake_.notify_all();
}

std::vector<SpoolerJob> NotificationPump::JobsNotYetGone(const std::string& queue)
{
    std::lock_guard lock(mutex_);
    std::vector<SpoolerJob> jobs;
    for (const auto& [id, job] : jobs_)
        if (::strcasecmp(job.queue.c_str(), queue.c_str()) == 0)
            jobs.push_back(job.told ? *job.told : ToSpoolerJob(job.attributes));
    return jobs;
}

void NotificationPump::Run(std::stop_token stop)
{
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        if (watched_.empty()) {
            // Nobody listens: let the scheduler forget us until somebody does.
            DropSubscriptionLocked();
            wake_.wait(lock, stop, [this] { return !watched_.empty(); });
            continue;
        }
        // While the scheduler cannot be reached, ask less and less often.
        unreachablePolls_ = PollLocked() ? 0 : std::min(unreachablePolls_ + 1, 6);
        const auto pause = std::max(options_.pollInterval,
                                    std::min(options_.pollInterval * (1 << unreachablePolls_), kLongestPause));
        wake_.wait_for(lock, stop, pause, [] { return false; });
    }
}

std::uint32_t NotificationPump::SubscribeLocked()
{
    const int lease = static_cast<int>(options_.lease.count());
    IppReply reply = Subscribe(connection_, lease);
    const int id = reply.Ok() ? ReadSubscriptionId(reply.response.get()) : 0;
    if (!id)
        return reply.Ok() ? spooler_error::kGeneralFailure : SpoolerErrorFor(reply.status);
    subscriptionId_ = id;
    nextSequence_ = 1;
    sequenceKnown_ = true;
    renewedAt_ = std::chrono::steady_clock::now();
    connectionsSeen_ = connection_.Connections();
    return 0;
}

void NotificationPump::DropSubscriptionLocked()
{
    if (!subscriptionId_)
        return;
    Unsubscribe(connection_, subscriptionId_);
    subscriptionId_ = 0;
    jobs_.clear();
    lastCompleteServerTime_ = 0;
    resyncNeeded_ = false;
}

bool NotificationPump::PollLocked()
{
    if (!subscriptionId_) {
        if (const std::uint32_t error = SubscribeLocked()) {
            resyncNeeded_ = true;
            return error != spooler_error::kServiceUnavailable;
        }
        // Whatever happened since the old subscription went is unknown.
        resyncNeeded_ = true;
    }
    const int lease = static_cast<int>(options_.lease.count());
    const auto now = std::chrono::steady_clock::now();
    if (now - renewedAt_ >= options_.lease / 3) {
        IppReply renewed = Renew(connection_, subscriptionId_, lease);
        if (renewed.Ok())
            renewedAt_ = now;
    }

    IppReply reply = GetNotifications(connection_, subscriptionId_, nextSequence_);
    const bool reconnected = connection_.Connections() != connectionsSeen_;
    connectionsSeen_ = connection_.Connections();
    if (reply.status == IPP_STATUS_ERROR_NOT_FOUND) {
        // The lease lapsed, or the scheduler lost it: subscribe anew next time.
        subscriptionId_ = 0;
        resyncNeeded_ = true;
        return true;
    }
    if (!reply.Ok()) {
        resyncNeeded_ = true;
        return SpoolerErrorFor(reply.status) != spooler_error::kServiceUnavailable;
    }

    Notifications notifications = ReadNotifications(reply.response.get());
    bool complete = !reconnected;
    if (sequenceKnown_ && !notifications.events.empty() && notifications.events.front().sequence > nextSequence_)
        complete = false;  // the scheduler keeps a limited number of events and dropped some
    if (!notifications.events.empty())
        sequenceKnown_ = true;
    std::set<std::uint32_t> fetched;
    for (const JobEvent& event : notifications.events) {
        if (event.sequence < nextSequence_)
            continue;
        HandleEventLocked(event, fetched);
        nextSequence_ = event.sequence + 1;
    }
    // A restarted scheduler may number its events from an earlier point:
    // start over from the first event it keeps, whatever its number.
    if (reconnected && notifications.events.empty()) {
        nextSequence_ = 1;
        sequenceKnown_ = false;
    }
    if (!complete)
        resyncNeeded_ = true;
    if (resyncNeeded_ && ResyncLocked())
        resyncNeeded_ = false;
    if (!resyncNeeded_ && notifications.serverTime > 0)
        lastCompleteServerTime_ = notifications.serverTime;
    return true;
}

void NotificationPump::HandleEventLocked(const JobEvent& event, std::set<std::uint32_t>& fetched)
{
    const std::uint32_t id = event.job.id;
    if (!id)
        return;
    if (auto tracked = jobs_.find(id); tracked != jobs_.end()) {
        // Attributes fetched during this poll are newer than any event of it.
        if (fetched.contains(id))
            return;
        tracked->second.attributes.MergeFrom(event.job);
        if (IsTerminalState(tracked->second.attributes.state.value_or(0))) {
            if (!FinishLocked(id, false))
                resyncNeeded_ = true;
        } else {
            TellLocked(tracked->second);
        }
        return;
    }
    if (finished_.Contains(id) || foreign_.Contains(id))
        return;

    // The first news of a job: events carry neither its user nor its
    // submission time, and not always its queue.
    IppReply reply = GetJob(connection_, id);
    if (reply.status == IPP_STATUS_ERROR_NOT_FOUND)
        return;
    if (!reply.Ok()) {
        resyncNeeded_ = true;
        return;
    }
    JobAttributes job = ReadJob(reply.response.get());
    if (job.id != id)
        return;
    std::optional<std::string> queue = job.printerUri ? QueueNameFromUri(*job.printerUri) : std::nullopt;
    if (!queue)
        queue = event.printer;
    if (!WatchersOfLocked(*queue)) {
        foreign_.Insert(id);
        return;
    }
    fetched.insert(id);
    ObserveLocked(*queue, job);
}

void NotificationPump::ObserveLocked(const std::string& queue, const JobAttributes& job)
{
    auto tracked = jobs_.find(job.id);
    if (tracked == jobs_.end()) {
        // A job we saw leave and that is back (restarted) is a new print.
        finished_.Erase(job.id);
        tracked = jobs_.emplace(job.id, TrackedJob{queue, job, std::nullopt}).first;
    } else {
        tracked->second.attributes.MergeFrom(job);
    }
    TellLocked(tracked->second);
    if (IsTerminalState(tracked->second.attributes.state.value_or(0)))
        FinishLocked(job.id, true);
}

void NotificationPump::TellLocked(TrackedJob& job)
{
    const SpoolerJob now = ToSpoolerJob(job.attributes);
    std::vector<NotifyEntry> entries = ChangedFields(job.told, now);
    const std::uint32_t change = job.told ? printer_change::kSetJob : printer_change::kAddJob;
    job.told = now;
    if (entries.empty())
        return;
    if (const Watchers* watchers = WatchersOfLocked(job.queue))
        for (const auto& watcher : *watchers)
            watcher->PushEntries(change, entries);
}

bool NotificationPump::FinishLocked(std::uint32_t id, bool attributesFresh)
{
    auto tracked = jobs_.find(id);
    if (tracked == jobs_.end())
        return true;
    TrackedJob& job = tracked->second;
    if (!attributesFresh) {
        // The page count is final only now that the filters have ended.
        IppReply reply = GetJob(connection_, id);
        if (reply.Ok()) {
            job.attributes.MergeFrom(ReadJob(reply.response.get()));
        } else if (reply.status != IPP_STATUS_ERROR_NOT_FOUND) {
            // Without the final count the job waits for the next resync.
            return false;
        }
    }
    if (!IsTerminalState(job.attributes.state.value_or(0))) {
        TellLocked(job);  // it was restarted meanwhile
        return true;
    }
    const SpoolerJob last = ToSpoolerJob(job.attributes);
    const std::vector<NotifyEntry> entries = ChangedFields(job.told, last);
    if (const Watchers* watchers = WatchersOfLocked(job.queue)) {
        for (const auto& watcher : *watchers)
            watcher->PushFinal(last, entries);
        for (const auto& watcher : *watchers)
            watcher->PushDeletion();
    }
    finished_.Insert(id);
    jobs_.erase(tracked);
    return true;
}

bool NotificationPump::ResyncLocked()
{
    std::vector<std::string> queues;
    for (const auto& [queue, watchers] : watched_)
        queues.push_back(queue);
    for (const std::string& queue : queues)
        if (!ResyncQueueLocked(queue))
            return false;
    return true;
}

bool NotificationPump::ResyncQueueLocked(const std::string& queue)
{
    IppReply listing = GetJobs(connection_, connection_.QueueUri(queue), "not-completed");
    if (!listing.Ok())
        return listing.status == IPP_STATUS_ERROR_NOT_FOUND;  // the queue is gone; its jobs with it
    std::set<std::uint32_t> queued;
    for (const JobAttributes& job : ReadJobs(listing.response.get())) {
        queued.insert(job.id);
        foreign_.Erase(job.id);
        ObserveLocked(queue, job);
    }
    std::vector<std::uint32_t> gone;
    for (const auto& [id, job] : jobs_)
        if (::strcasecmp(job.queue.c_str(), queue.c_str()) == 0 && !queued.contains(id))
            gone.push_back(id);
    bool settled = true;
    for (std::uint32_t id : gone)
        settled = FinishLocked(id, false) && settled;
    RecoverMissedLocked(queue);
    return settled;
}

void NotificationPump::RecoverMissedLocked(const std::string& queue)
{
    if (!lastCompleteServerTime_)
        return;
    IppReply listing = GetJobs(connection_, connection_.QueueUri(queue), "completed");
    if (!listing.Ok())
        return;
    for (const JobAttributes& job : ReadJobs(listing.response.get())) {
        if (jobs_.contains(job.id) || finished_.Contains(job.id) || foreign_.Contains(job.id))
            continue;
        if (job.completedAt.value_or(0) < lastCompleteServerTime_ - kClockSlackSeconds)
            continue;
        // Came and went while its events were lost.
        ObserveLocked(queue, job);
    }
}

const NotificationPump::Watchers* NotificationPump::WatchersOfLocked(const std::string& queue) const
{
    auto found = watched_.find(queue);
    return found == watched_.end() ? nullptr : &found->second;
}

}  // namespace ostrel::cups
