#pragma once

#include "Clock.h"
#include "RegistryHive.h"

#include <string>

namespace ostrel {

class MonitorTasks;

// What the monitor takes from the world around it. The library's entry
// fills it with the real registry, clock and application folder; tests
// with their own.
struct MonitorEnvironment {
    RegistryHive& registry;
    Clock& clock;
    std::string appFolder;  // without a trailing '/'
    MonitorTasks& tasks;
};

}  // namespace ostrel
