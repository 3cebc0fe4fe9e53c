#pragma once

#include "HostProcess.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ostrel {

// What `ostrel-admin status` tells: the monitoring switch, the host process,
// the time of the last record, whether records name the documents, and the
// central store's state.
struct AdminStatus {
    std::uint32_t appRuns = 0;  // monitoring is on when it is 1
    DaemonState host;
    std::optional<std::string> lastRecord;    // "2024-02-29 10:05", local time
    bool documentNames = true;                // records name the documents (RecordDocumentNames)
    std::optional<std::string> centralStore;  // nothing: no central store configured
};

// The date and time the last record of the machine's newest year log
// carries, as "YYYY-MM-DD HH:MM"; nothing when there is no record. The
// year log holds every record of the machine in the order they were
// written, so its last one is the last recorded job.
std::optional<std::string> LastRecordTime(const std::string& appFolder);

// The central store's state in one line, the status page's own ("Central
// database: up to date" or "... N records waiting since HH:MM"); nothing
// while no central store is configured or the monitor has said nothing yet.
std::optional<std::string> CentralStoreState();

}  // namespace ostrel
