#include "relay/SilenceWatch.h"

SilenceWatch::SilenceWatch(std::function<void()> fallenSilent)
    : FallenSilent(std::move(fallenSilent))
{
    // A clock read at each value would cost every frame a timer; a coarse look now and then costs none.
    QObject::connect(&Check, &QTimer::timeout, &Check, [this] {
        if (Silent || SinceLast.elapsed() < LimitMs)
            return;
        Silent = true;
        FallenSilent();
    });
}

void SilenceWatch::Watch(int limitMs)
{
    LimitMs = limitMs;
    Silent = false;
    SinceLast.start();
    Check.start(std::max(1, limitMs / 10));
}

bool SilenceWatch::Fed()
{
    if (!Check.isActive())
        return false;
    SinceLast.restart();
    const bool ended = Silent;
    Silent = false;
    return ended;
}

void SilenceWatch::Stop()
{
    Check.stop();
    Silent = false;
}
