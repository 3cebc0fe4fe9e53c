#pragma once

#include <cstdint>
#include <functional>

namespace ostrel {

// The monitoring switch: the console only writes AppRuns, and the monitor
// follows at its next poll of the registry. The status page owns one, and
// the tray menu's Start and Stop and ostrel-admin's go through it.
class MonitoringSwitch {
public:
    // AppRuns as stored; 0 when it is missing.
    static std::uint32_t AppRuns();

    // AppRuns becomes 1 (on) or 0, written even when it held that already,
    // then the after-switch hook runs.
    void Switch(bool on);
    void Start() { Switch(true); }
    void Stop() { Switch(false); }

    // Runs after every switch; the status page shows the new state there.
    void SetAfterSwitch(std::function<void()> hook) { afterSwitch_ = std::move(hook); }

private:
    std::function<void()> afterSwitch_;
};

}  // namespace ostrel
