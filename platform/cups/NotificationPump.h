#pragma once

#include "ChangeQueue.h"
#include "CupsConnection.h"
#include "CupsJobFields.h"
#include "CupsJobRequests.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
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
    // the latency a watcher sees at most, plus one round trip.
    std::chrono::milliseconds pollInterval{100};
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
class NotificationPump {
public:
    NotificationPump(CupsEndpoint endpoint, PumpOptions options);
    ~NotificationPump();
    NotificationPump(const NotificationPump&) = delete;
    NotificationPump& operator=(const NotificationPump&) = delete;

    // Delivers the job changes of `queue` to `changes` from now on, after
    // handing it the jobs queued now as added ones. Returns a spooler error
    // code, 0 on success.
    std::uint32_t Watch(const std::string& queue, const std::shared_ptr<ChangeQueue>& changes);
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

    void Run(std::stop_token stop);
    std::uint32_t SubscribeLocked();
    void DropSubscriptionLocked();
    // False when the scheduler could not be reached.
    bool PollLocked();
    void HandleEventLocked(const JobEvent& event, std::set<std::uint32_t>& fetched);
    bool ResyncLocked();
    bool ResyncQueueLocked(const std::string& queue);
    void RecoverMissedLocked(const std::string& queue);
    void ObserveLocked(const std::string& queue, const JobAttributes& job);
    void TellLocked(TrackedJob& job);
    // Tells the watchers a job's final fields, then that it left the queue.
    // False when its final fields could not be fetched.
    bool FinishLocked(std::uint32_t id, bool attributesFresh);
    const Watchers* WatchersOfLocked(const std::string& queue) const;

    const PumpOptions options_;
    CupsConnection connection_;

    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::map<std::string, Watchers, CaseInsensitiveLess> watched_;
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
