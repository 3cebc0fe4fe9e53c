#pragma once

#include "MonitorEnvironment.h"

#include <functional>

namespace ostrel {

// The body of the library's entry: sets AppRuns to 1, runs the worker, and
// returns once `waitForQuit` has returned and the worker, with every task
// it started, has stopped.
void RunMonitor(const MonitorEnvironment& environment, const std::function<void()>& waitForQuit);

}  // namespace ostrel
