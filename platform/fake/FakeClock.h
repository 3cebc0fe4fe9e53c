#pragma once

#include "Clock.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace ostrel {

// A clock that moves only when the test moves it. Sleepers wake when the
// time reaches their deadline or on their stop request; the test can wait
// until a number of threads have gone to sleep, so that every step of a
// background task runs deterministically.
class FakeClock final : public Clock {
public:
    explicit FakeClock(TimePoint start);

    TimePoint Now() const override;
    bool SleepFor(std::chrono::milliseconds duration, std::stop_token stop) override;

    void Advance(std::chrono::milliseconds by);

    // Blocks until at least `count` threads sleep on this clock. False when
    // that does not happen within `patience` of real time.
    bool WaitForSleepers(std::size_t count, std::chrono::milliseconds patience = std::chrono::seconds(10));

    // Blocks until the `ordinal`-th SleepFor call (counting from 1) has begun.
    bool WaitForSleep(std::size_t ordinal, std::chrono::milliseconds patience = std::chrono::seconds(10));

    // Number of SleepFor calls begun so far, asleep or finished.
    std::size_t SleepsBegun() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    TimePoint now_;
    std::size_t sleepers_ = 0;
    std::size_t sleepsBegun_ = 0;
};

}  // namespace ostrel
