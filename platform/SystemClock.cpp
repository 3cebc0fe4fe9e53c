#include "Clock.h"

#include <condition_variable>
#include <mutex>

namespace ostrel {
namespace {

class RealClock final : public Clock {
public:
    TimePoint Now() const override { return std::chrono::system_clock::now(); }

    bool SleepFor(std::chrono::milliseconds duration, std::stop_token stop) override
    {
        // A condition variable with a stop callback wakes at once on Stop,
        // without polling.
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        wake.wait_for(lock, stop, duration, [] { return false; });
        return !stop.stop_requested();
    }
};

}  // namespace

Clock& SystemClock()
{
    static RealClock clock;
    return clock;
}

std::tm LocalTime(Clock::TimePoint when)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

Clock::TimePoint LocalTimePoint(int year, int month, int day, int hour, int minute, int second)
{
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

}  // namespace ostrel
