#include "serial/RetryTimer.h"

RetryTimer::RetryTimer()
{
    QObject::connect(&Timer, &QTimer::timeout, &Timer, [this] {
        const unsigned started = Generation;
        const std::function<bool()> attempt = Attempt;
        if (attempt && attempt() && Generation == started)
            Stop();
    });
}

void RetryTimer::Start(int intervalMs, std::function<bool()> attempt)
{
    ++Generation;
    Attempt = std::move(attempt);
    Timer.start(intervalMs);
}

void RetryTimer::Stop()
{
    ++Generation;
    Timer.stop();
    Attempt = nullptr;
}
