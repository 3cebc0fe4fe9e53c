#pragma once

#include <chrono>
#include <ctime>
#include <stop_token>

namespace ostrel {

// The one source of time and sleeping for every component, so that tests can
// run a midnight, a year end or a daylight-saving change in milliseconds.
// Implementations are thread-safe.
class Clock {
public:
    using TimePoint = std::chrono::system_clock::time_point;

    virtual ~Clock() = default;

    virtual TimePoint Now() const = 0;

    // Sleeps for `duration`, or less if `stop` is requested first.
    // Returns false when the sleep ended because of the stop request.
    virtual bool SleepFor(std::chrono::milliseconds duration, std::stop_token stop) = 0;
};

// The process-wide real clock.
Clock& SystemClock();

// Broken-down local time of `when`, as the platform's time zone rules decide.
std::tm LocalTime(Clock::TimePoint when);

// The instant of a local date and time; the platform decides whether
// daylight saving is in force.
Clock::TimePoint LocalTimePoint(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

}  // namespace ostrel
