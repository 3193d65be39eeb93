#pragma once

#include <QTimer>
#include <functional>

// Repeats one attempt at a fixed interval until it succeeds or is stopped: the one way Horaline waits
// for a line, a listening port or anything else that may come back by itself.
class RetryTimer
{
public:
    RetryTimer();
    RetryTimer(const RetryTimer&) = delete;
    RetryTimer& operator=(const RetryTimer&) = delete;

    // Calls the attempt every intervalMs from now on until it returns true; a retry under way is replaced.
    void Start(int intervalMs, std::function<bool()> attempt);
    void Stop();
    bool IsActive() const { return Timer.isActive(); }
    // The system's id of the running timer; 0 while none runs.
    int Id() const { return Timer.isActive() ? Timer.timerId() : 0; }

private:
    QTimer Timer;
    std::function<bool()> Attempt;
    // Tells an attempt that started or stopped a retry itself from one that merely succeeded.
    unsigned Generation = 0;
};
