#pragma once

#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace ostrel {

// A line for the system journal (syslog; the journal under systemd). The
// monitor runs unattended, so this is where an administrator learns of
// what it skipped or kept back.
void LogWarning(std::string_view text);

// Says each distinct line once for the life of the object, so that a fault
// met on every record (a full disk, a planted link) does not flood the
// journal. Thread-safe.
class LogOnce {
public:
    // True when the line was new and has been logged.
    bool Warn(const std::string& text);
    // Lets `text` be said again, e.g. once the fault has cleared.
    void Forget(const std::string& text);

private:
    std::mutex mutex_;
    std::set<std::string> said_;
};

}  // namespace ostrel
