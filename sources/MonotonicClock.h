#pragma once

#include <QtGlobal>
#include <chrono>

// The moment a value came, and every time the switch is given: milliseconds of the monotonic clock.
inline qint64 MonotonicMs(std::chrono::steady_clock::time_point at)
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(at.time_since_epoch()).count();
}

inline qint64 SourceClockMs()
{
    return MonotonicMs(std::chrono::steady_clock::now());
}

// The clock the switch at work reads the time on: the monotonic one, or one a test sets.
class MonotonicClock
{
public:
    virtual ~MonotonicClock() = default;
    virtual qint64 NowMs() const { return SourceClockMs(); }

    static const MonotonicClock& System()
    {
        static const MonotonicClock clock;
        return clock;
    }
};
