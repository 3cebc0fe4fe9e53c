#include "NotificationPump.h"

#include <strings.h>

#include <algorithm>

namespace ostrel::cups {
namespace {

// Completion times have a resolution of a second, and the scheduler's clock
// is read at a different moment than the event happened.
constexpr std::int64_t kClockSlackSeconds = 2;

constexpr std::chrono::milliseconds kLongestPause{5000};

bool SameQueue(const std::string& a, const std::string& b)
{
    return ::strcasecmp(a.c_str(), b.c_str()) == 0;
}

// Runs `call` with `lock` released, and takes the lock again however it ends.
template <class Call>
auto Unlocked(std::unique_lock<std::mutex>& lock, Call&& call)
{
    struct Relock {
        std::unique_lock<std::mutex>& lock;
        ~Relock() { lock.lock(); }
    };
    lock.unlock();
    Relock relock{lock};
    return call();
}

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

NotificationPump::NotificationPump(CupsEndpoint endpoint, PumpOptions options, CupsConnection& listings)
    : options_(options), connection_(std::move(endpoint)), listings_(listings)
{
}

NotificationPump::~NotificationPump()
{
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
    Lock lock(mutex_);
    DropSubscription(lock);
}

SpoolerResult<void> NotificationPump::Watch(const std::string& queue, const std::shared_ptr<ChangeQueue>& changes)
{
    Lock lock(mutex_);
    // From here on the pump keeps the queue's jobs instead of ignoring them,
    // so nothing that happens while the listing is under way is lost.
    const auto joining = joining_.insert(joining_.end(), Joining{queue, {}});
    struct Leave {
        std::list<Joining>& all;
        std::list<Joining>::iterator one;
        ~Leave() { all.erase(one); }
    } leave{joining_, joining};

    // The subscription comes before the listing: every job the listing
    // misses has events after it.
    if (SpoolerResult<void> subscribed = EnsureSubscribed(lock, listings_); !subscribed)
        return subscribed;
    if (!thread_.joinable())
        thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
    const std::string uri = listings_.QueueUri(queue);
    IppReply listing = Unlocked(lock, [&] { return GetJobs(listings_, uri, "not-completed"); });
    if (!listing.Ok())
        return IppFailure(IPP_OP_GET_JOBS, listing.status);

    std::set<std::uint32_t> ended;
    for (const SpoolerJob& job : joining->endedMeanwhile)
        ended.insert(job.id);
    for (const JobAttributes& job : ReadJobs(listing.response.get())) {
        // A job the pump knows is newer in its hands than in this listing,
        // and one that ended meanwhile must not come back.
        if (jobs_.contains(job.id) || ended.contains(job.id))
            continue;
        foreign_.Erase(job.id);
        ObserveLocked(queue, job);
    }
    // The newcomer learns every job of the queue, known before or not.
    for (const auto& [id, job] : jobs_)
        if (job.told && SameQueue(job.queue, queue))
            changes->PushEntries(printer_change::kAddJob, ChangedFields(std::nullopt, *job.told));
    // And the jobs that ended while it joined, as the others were told them.
    for (const SpoolerJob& last : joining->endedMeanwhile) {
        changes->PushEntries(printer_change::kAddJob, ChangedFields(std::nullopt, last));
        changes->PushFinal(last, {});
    }
    if (!joining->endedMeanwhile.empty())
        changes->PushDeletion();
    watched_[queue].push_back(changes);
    quickUntil_ = std::chrono::steady_clock::now() + options_.quickAfterNews;
    nudged_ = true;
    wake_.notify_all();
    return {};
}

void NotificationPump::Unwatch(const std::string& queue, const ChangeQueue* changes)
{
    Lock lock(mutex_);
    auto found = watched_.find(queue);
    if (found == watched_.end())
        return;
    std::erase_if(found->second, [&](const std::shared_ptr<ChangeQueue>& one) { return one.get() == changes; });
    if (!found->second.empty())
        return;
    watched_.erase(found);
    if (!IsWatchedLocked(queue))
        std::erase_if(jobs_, [&](const auto& item) { return SameQueue(item.second.queue, queue); });
    wake_.notify_all();
}

std::vector<SpoolerJob> NotificationPump::JobsNotYetGone(const std::string& queue)
{
    Lock lock(mutex_);
    std::vector<SpoolerJob> jobs;
    for (const auto& [id, job] : jobs_)
        if (SameQueue(job.queue, queue))
            jobs.push_back(job.told ? *job.told : ToSpoolerJob(job.attributes));
    return jobs;
}

void NotificationPump::Run(std::stop_token stop)
{
    Lock lock(mutex_);
    while (!stop.stop_requested()) {
        if (watched_.empty() && joining_.empty()) {
            // Nobody listens: let the scheduler forget us until somebody does.
            DropSubscription(lock);
            wake_.wait(lock, stop, [this] { return !watched_.empty() || !joining_.empty(); });
            continue;
        }
        nudged_ = false;
        // While the scheduler cannot be reached, ask less and less often.
        unreachablePolls_ = Poll(lock) ? 0 : std::min(unreachablePolls_ + 1, 6);
        const auto interval = BusyLocked() ? options_.pollInterval : options_.idleInterval;
        const auto pause = std::max(interval, std::min(interval * (1 << unreachablePolls_), kLongestPause));
        wake_.wait_for(lock, stop, pause, [this] { return nudged_; });
    }
}

bool NotificationPump::BusyLocked() const
{
    return !jobs_.empty() || resyncNeeded_ || std::chrono::steady_clock::now() < quickUntil_;
}

SpoolerResult<void> NotificationPump::EnsureSubscribed(Lock& lock, CupsConnection& via)
{
    if (subscriptionId_)
        return {};
    const int lease = static_cast<int>(options_.lease.count());
    IppReply reply = Unlocked(lock, [&] { return Subscribe(via, lease); });
    const int id = reply.Ok() ? ReadSubscriptionId(reply.response.get()) : 0;
    if (!reply.Ok())
        return IppFailure(IPP_OP_CREATE_JOB_SUBSCRIPTIONS, reply.status);
    if (!id)
        return SpoolerResult<void>::Failure(spooler_error::kGeneralFailure,
                                            "Create-Job-Subscriptions: no notify-subscription-id");
    if (subscriptionId_) {
        // Another thread subscribed meanwhile; one subscription is enough.
        Unlocked(lock, [&] { return Unsubscribe(via, id); });
        return {};
    }
    subscriptionId_ = id;
    nextSequence_ = 1;
    sequenceKnown_ = true;
    renewedAt_ = std::chrono::steady_clock::now();
    connectionsSeen_ = connection_.Connections();
    quickUntil_ = std::chrono::steady_clock::now() + options_.quickAfterNews;
    return {};
}

void NotificationPump::DropSubscription(Lock& lock)
{
    if (!subscriptionId_)
        return;
    const int id = subscriptionId_;
    subscriptionId_ = 0;
    jobs_.clear();
    lastCompleteServerTime_ = 0;
    resyncNeeded_ = false;
    Unlocked(lock, [&] { return Unsubscribe(connection_, id); });
}

bool NotificationPump::Poll(Lock& lock)
{
    if (!subscriptionId_) {
        // Whatever happened since the old subscription went is unknown.
        resyncNeeded_ = true;
        if (const SpoolerResult<void> subscribed = EnsureSubscribed(lock, connection_); !subscribed)
            return subscribed.Error() != spooler_error::kServiceUnavailable;
    }
    const int subscription = subscriptionId_;
    const int lease = static_cast<int>(options_.lease.count());
    const auto now = std::chrono::steady_clock::now();
    if (now - renewedAt_ >= options_.lease / 3) {
        IppReply renewed = Unlocked(lock, [&] { return Renew(connection_, subscription, lease); });
        if (renewed.Ok())
            renewedAt_ = now;
    }

    const int first = nextSequence_;
    IppReply reply = Unlocked(lock, [&] { return GetNotifications(connection_, subscription, first); });
    if (subscriptionId_ != subscription)
        return true;  // dropped meanwhile: nothing of this answer is wanted
    // The pump's first connection may open after Watch subscribed through
    // the other one: nothing was missed on a connection never opened.
    const std::uint64_t connections = connection_.Connections();
    const bool reconnected = connectionsSeen_ != 0 && connections != connectionsSeen_;
    connectionsSeen_ = connections;
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
    if (!notifications.events.empty()) {
        sequenceKnown_ = true;
        quickUntil_ = std::chrono::steady_clock::now() + options_.quickAfterNews;
    }
    std::set<std::uint32_t> fetched;
    for (const JobEvent& event : notifications.events) {
        if (event.sequence < nextSequence_)
            continue;
        HandleEvent(lock, event, fetched);
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
    if (resyncNeeded_ && Resync(lock))
        resyncNeeded_ = false;
    if (!resyncNeeded_ && notifications.serverTime > 0)
        lastCompleteServerTime_ = notifications.serverTime;
    return true;
}

void NotificationPump::HandleEvent(Lock& lock, const JobEvent& event, std::set<std::uint32_t>& fetched)
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
            if (!FetchAndFinish(lock, id))
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
    IppReply reply = Unlocked(lock, [&] { return GetJob(connection_, id); });
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
    if (!IsWatchedLocked(*queue)) {
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
        FinishLocked(job.id);
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

bool NotificationPump::FetchAndFinish(Lock& lock, std::uint32_t id)
{
    if (!jobs_.contains(id))
        return true;
    // The page count is final only now that the filters have ended.
    IppReply reply = Unlocked(lock, [&] { return GetJob(connection_, id); });
    auto tracked = jobs_.find(id);
    if (tracked == jobs_.end())
        return true;  // its queue is no longer watched
    if (reply.Ok()) {
        tracked->second.attributes.MergeFrom(ReadJob(reply.response.get()));
    } else if (reply.status != IPP_STATUS_ERROR_NOT_FOUND) {
        // Without the final count the job waits for the next resync.
        return false;
    }
    FinishLocked(id);
    return true;
}

void NotificationPump::FinishLocked(std::uint32_t id)
{
    auto tracked = jobs_.find(id);
    if (tracked == jobs_.end())
        return;
    TrackedJob& job = tracked->second;
    if (!IsTerminalState(job.attributes.state.value_or(0))) {
        TellLocked(job);  // it was restarted meanwhile
        return;
    }
    const SpoolerJob last = ToSpoolerJob(job.attributes);
    const std::vector<NotifyEntry> entries = ChangedFields(job.told, last);
    if (const Watchers* watchers = WatchersOfLocked(job.queue)) {
        for (const auto& watcher : *watchers)
            watcher->PushFinal(last, entries);
        for (const auto& watcher : *watchers)
            watcher->PushDeletion();
    }
    for (Joining& newcomer : joining_)
        if (SameQueue(newcomer.queue, job.queue))
            newcomer.endedMeanwhile.push_back(last);
    finished_.Insert(id);
    jobs_.erase(tracked);
}

bool NotificationPump::Resync(Lock& lock)
{
    std::set<std::string, CaseInsensitiveLess> queues;
    for (const auto& [queue, watchers] : watched_)
        queues.insert(queue);
    for (const Joining& newcomer : joining_)
        queues.insert(newcomer.queue);
    for (const std::string& queue : queues)
        if (!ResyncQueue(lock, queue))
            return false;
    return true;
}

bool NotificationPump::ResyncQueue(Lock& lock, const std::string& queue)
{
    const std::string uri = connection_.QueueUri(queue);
    IppReply listing = Unlocked(lock, [&] { return GetJobs(connection_, uri, "not-completed"); });
    if (!IsWatchedLocked(queue))
        return true;  // unwatched meanwhile
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
        if (SameQueue(job.queue, queue) && !queued.contains(id))
            gone.push_back(id);
    bool settled = true;
    for (std::uint32_t id : gone)
        settled = FetchAndFinish(lock, id) && settled;
    RecoverMissed(lock, queue);
    return settled;
}

void NotificationPump::RecoverMissed(Lock& lock, const std::string& queue)
{
    if (!lastCompleteServerTime_)
        return;
    const std::string uri = connection_.QueueUri(queue);
    IppReply listing = Unlocked(lock, [&] { return GetJobs(connection_, uri, "completed"); });
    if (!listing.Ok() || !IsWatchedLocked(queue))
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

bool NotificationPump::IsWatchedLocked(const std::string& queue) const
{
    if (watched_.contains(queue))
        return true;
    return std::any_of(joining_.begin(), joining_.end(),
                       [&](const Joining& newcomer) { return SameQueue(newcomer.queue, queue); });
}

}  // namespace ostrel::cups
