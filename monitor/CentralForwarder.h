#pragma once

#include "CentralSettings.h"
#include "Clock.h"
#include "EventLogWriter.h"
#include "SqlDatabase.h"
#include "WorkerThread.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace ostrel {

struct CentralForwarderSetup {
    SqlDatabase& database;
    EventLogWriter& writer;  // whose journal holds the owed records
    Clock& clock;
    CentralSettings settings;  // conninfo, ServerId, display name
    // Where the state goes for the console; called from the forwarder's thread.
    std::function<void(const CentralStatus&)> report = [](const CentralStatus&) {};
    // The system journal; a test listens here.
    std::function<void(std::string_view)> log = LogWarning;
};

// The row a record becomes in the central store's incoming table, in the
// order of its columns: sequence, job id, queue, printer, user, document,
// pages, cost, submitted and recorded (seconds since the epoch), and the
// local year, month, day, hour and minute as the record's text holds them.
SqlRow CentralRow(const OwedRecord& owed);

// The monitor's thread that sends owed records to the central store: the
// oldest first, up to kBatch in one transaction, marked forwarded in the
// journal only once committed. A resent record is ignored by the store. While
// the store cannot be reached it waits 1 s, then twice as long each time up
// to kLongestWait, every wait woken by Stop; the system journal hears once
// that it is unreachable (with libpq's reason) and once that it is back (with
// how many records were waiting). Recording never waits for it: it takes the
// journal's lock only to copy a batch or to mark one sent.
class CentralForwarder final : public WorkerThread {
public:
    static constexpr std::size_t kBatch = 1000;
    static constexpr std::chrono::seconds kLongestWait{60};
    static constexpr std::chrono::seconds kIdleWait{1};

    explicit CentralForwarder(CentralForwarderSetup setup);
    ~CentralForwarder() override;

private:
    std::uint32_t Run(std::stop_token stop) override;
    bool Connect();
    // Sends one batch; false when it was not committed (the reason in `problem_`).
    bool Send(const std::vector<OwedRecord>& batch);
    void Unreachable(const std::string& reason);
    void Reachable();
    void Report();
    // Sleeps `wait` in steps of kIdleWait, reporting the state after each;
    // false when stopped.
    bool Wait(std::chrono::seconds wait, std::stop_token stop);

    CentralForwarderSetup setup_;
    std::unique_ptr<SqlConnection> connection_;
    std::string problem_;
    bool down_ = false;
    std::optional<CentralStatus> reported_;
};

}  // namespace ostrel
