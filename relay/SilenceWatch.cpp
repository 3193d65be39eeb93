#include "relay/SilenceWatch.h"

SilenceWatch::SilenceWatch(std::function<void()> fallenSilent)
    : FallenSilent(std::move(fallenSilent))
{
    // A clock read at each value would cost every frame a system call; a coarse look now and then costs
    // none, and a value only leaves a mark.
    QObject::connect(&Check, &QTimer::timeout, &Check, [this] {
        if (Fresh) {
            Fresh = false;
            SinceLast.restart();
            return;
        }
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
    Fresh = false;
    SinceLast.start();
    // Once a second at the limit of five: a quiet relay is woken no more often than values come.
    Check.start(std::max(1, limitMs / 5));
}

bool SilenceWatch::Fed()
{
    if (!Check.isActive())
        return false;
    Fresh = true;
    const bool ended = Silent;
    Silent = false;
    return ended;
}

void SilenceWatch::Stop()
{
    Check.stop();
    Silent = false;
}
