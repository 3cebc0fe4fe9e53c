#pragma once

#include <string>
#include <string_view>

namespace ostrel {

// Whether a daemon runs, and how that was found out.
struct DaemonState {
    bool running = false;
    std::string foundBy;  // "systemd" or "process list"
};

// With systemd running, asks it whether `unit` is active; when it is not
// (the daemon may have been started by hand) or there is no systemd, looks
// for a process named `program` in /proc.
DaemonState FindDaemon(std::string_view unit, std::string_view program);

}  // namespace ostrel
