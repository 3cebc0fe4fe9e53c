#pragma once

#include "Spooler.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace ostrel {

struct CupsSpoolerOptions {
    // "host", "host:port" or a socket path; empty: the server libcups
    // chooses (CUPS_SERVER, client.conf, the local scheduler).
    std::string server = {};
    // How often the job events are fetched while a watched job is under way.
    std::chrono::milliseconds pollInterval{100};
    // How often while nothing watched is under way.
    std::chrono::milliseconds idleInterval{1000};
    // How long after a Watch or a job event pollInterval still applies.
    std::chrono::milliseconds quickAfterNews{1000};
    // Lease of the event subscription, renewed while it is in use.
    std::chrono::seconds lease{300};
    // At most this much of a job's documents is read to count its pages
    // when CUPS counted none (raw queues).
    std::size_t documentMegabytes = 32;
};

// The spooler of a CUPS scheduler. Every watched printer shares one event
// subscription and two connections to the scheduler.
std::unique_ptr<Spooler> MakeCupsSpooler(CupsSpoolerOptions options = {});

}  // namespace ostrel
