#include "FakeClock.h"

namespace ostrel {

FakeClock::FakeClock(TimePoint start) : now_(start) {}

Clock::TimePoint FakeClock::Now() const
{
    std::lock_guard lock(mutex_);
    return now_;
}

bool FakeClock::SleepFor(std::chrono::milliseconds duration, std::stop_token stop)
{
    std::unique_lock lock(mutex_);
    const TimePoint deadline = now_ + duration;
    ++sleepers_;
    ++sleepsBegun_;
    changed_.notify_all();
    changed_.wait(lock, stop, [&] { return now_ >= deadline; });
    --sleepers_;
    changed_.notify_all();
    return !stop.stop_requested();
}

void FakeClock::Advance(std::chrono::milliseconds by)
{
    std::lock_guard lock(mutex_);
    now_ += by;
    changed_.notify_all();
}

bool FakeClock::WaitForSleepers(std::size_t count, std::chrono::milliseconds patience)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, patience, [&] { return sleepers_ >= count; });
}

bool FakeClock::WaitForSleep(std::size_t ordinal, std::chrono::milliseconds patience)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, patience, [&] { return sleepsBegun_ >= ordinal; });
}

std::size_t FakeClock::SleepsBegun() const
{
    std::lock_guard lock(mutex_);
    return sleepsBegun_;
}

}  // namespace ostrel
