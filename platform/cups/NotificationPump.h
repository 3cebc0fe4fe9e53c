#pragma once

#include "ChangeQueue.h"
#include "CupsConnection.h"
#include "CupsJobFields.h"
#include "CupsJobRequests.h"
#include "Spooler.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

namespace ostrel::cups {

struct PumpOptions {
    // CUPS ignores notify-wait, so events are fetched on a timer; this is
    // the latency a watcher sees at most, plus one round trip, while a
    // watched job is under way or was just seen.
    std::chrono::milliseconds pollInterval{100};
    // The pause while no watched job is under way: the first event of a new
    // job may wait this long, its later ones come at pollInterval.
    std::chrono::milliseconds idleInterval{1000};
    // After a Watch or an event more jobs tend to follow: poll at
    // pollInterval for this long.
    std::chrono::milliseconds quickAfterNews{1000};
    // The subscription lapses this long after we stop renewing it, e.g.
    // when the process dies.
    std::chrono::seconds lease{300};
};

// Ids seen lately, the oldest forgotten first.
class RecentIds {
public:
    explicit RecentIds(std::size_t capacity) : capacity_(capacity) {}
    void Insert(std::uint32_t id);
    void Erase(std::uint32_t id) { ids_.erase(id); }
    bool Contains(std::uint32_t id) const { return ids_.contains(id); }

private:
    std::size_t capacity_;
    std::unordered_set<std::uint32_t> ids_;
    std::deque<std::uint32_t> order_;
};

// The one subscription and the one polling connection to a scheduler,
// shared by every watched queue: it turns CUPS's job events into change
// blocks on the queues of the watchers.
//
// Events say little (no user, no submission time), so the first event of a
// job fetches its attributes, and the end of a job fetches them again for
// the final page count; the final fields go out before the deletion. Lost
// events (a gap in the sequence numbers, a lapsed subscription, a new
// connection after a scheduler restart) are made good by reading the queues
// again.
//
// No request to the scheduler is sent while the state lock is held: one
// slow answer must not hold up Watch, Unwatch or a queue listing of another
// thread. Polling happens on the pump's thread only, so its requests are
// serialised by that thread; what they bring is folded in under the lock,
// finding the state again afterwards (a queue may have been unwatched
// meanwhile).
class NotificationPump {
public:
    // `listings` carries the requests of Watch (its subscription and its
    // queue listing), so that they never wait behind the pump's poll.
    NotificationPump(CupsEndpoint endpoint, PumpOptions options, CupsConnection& listings);
    ~NotificationPump();
    NotificationPump(const NotificationPump&) = delete;
    NotificationPump& operator=(const NotificationPump&) = delete;

    // Delivers the job changes of `queue` to `changes` from now on, after
    // handing it the jobs queued now as added ones.
    SpoolerResult<void> Watch(const std::string& queue, const std::shared_ptr<ChangeQueue>& changes);
    void Unwatch(const std::string& queue, const ChangeQueue* changes);

    // The jobs of `queue` whose departure the watchers have not been told
    // yet, with the fields they were last told.
    std::vector<SpoolerJob> JobsNotYetGone(const std::string& queue);

private:
    struct CaseInsensitiveLess {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    struct TrackedJob {
        std::string queue;
        JobAttributes attributes;
        std::optional<SpoolerJob> told;  // what the watchers were told last
    };
    using Watchers = std::vector<std::shared_ptr<ChangeQueue>>;
    // A Watch between its registration and its first delivery: its queue
    // counts as watched, and the jobs of it that end meanwhile are kept for
    // the newcomer, which is told of them once its listing is in.
    struct Joining {
        std::string queue;
        std::vector<SpoolerJob> endedMeanwhile;
    };
    using Lock = std::unique_lock<std::mutex>;

    // The functions taking a Lock hold it on entry and on return, and
    // release it for each request they send.
    void Run(std::stop_token stop);
    // Creates the subscription through `via` unless there is one.
    SpoolerResult<void> EnsureSubscribed(Lock& lock, CupsConnection& via);
    void DropSubscription(Lock& lock);
    // False when the scheduler could not be reached.
    bool Poll(Lock& lock);
    void HandleEvent(Lock& lock, const JobEvent& event, std::set<std::uint32_t>& fetched);
    bool Resync(Lock& lock);
    bool ResyncQueue(Lock& lock, const std::string& queue);
    void RecoverMissed(Lock& lock, const std::string& queue);
    // Fetches the final fields of a job that ended, then finishes it.
    // False when they could not be fetched.
    bool FetchAndFinish(Lock& lock, std::uint32_t id);
    void ObserveLocked(const std::string& queue, const JobAttributes& job);
    void TellLocked(TrackedJob& job);
    // Tells the watchers a job's final fields, then that it left the queue.
    void FinishLocked(std::uint32_t id);
    const Watchers* WatchersOfLocked(const std::string& queue) const;
    // Watched, or about to be.
    bool IsWatchedLocked(const std::string& queue) const;
    // True while a watched job is under way or was just heard of: poll at
    // the short interval.
    bool BusyLocked() const;

    const PumpOptions options_;
    CupsConnection connection_;  // used by the pump's thread only, and the destructor
    CupsConnection& listings_;

    std::mutex mutex_;
    std::condition_variable_any wake_;
    bool nudged_ = false;  // poll now, something changed
    std::chrono::steady_clock::time_point quickUntil_;
    std::map<std::string, Watchers, CaseInsensitiveLess> watched_;
    std::list<Joining> joining_;
    std::map<std::uint32_t, TrackedJob> jobs_;
    RecentIds finished_{16384};
    RecentIds foreign_{16384};  // jobs of queues nobody watches

    int subscriptionId_ = 0;
    int nextSequence_ = 1;
    bool sequenceKnown_ = true;  // false: the next event may have any number
    std::chrono::steady_clock::time_point renewedAt_;
    std::uint64_t connectionsSeen_ = 0;
    bool resyncNeeded_ = false;
    int unreachablePolls_ = 0;
    // The scheduler's clock at the last poll that missed nothing: jobs that
    // ended after it may have gone unseen when events were lost.
    std::int64_t lastCompleteServerTime_ = 0;

    std::jthread thread_;
};

}  // namespace ostrel::cups
