#include "relay/RelayController.h"

#include <QTime>
#include <QTimer>

namespace {

// Just after the second turns, as a source sends it.
constexpr int OwnClockLagMs = 20;

} // namespace

void RelayController::ScheduleOwnClock()
{
    if (!Standby.OwnClock)
        return;
    OwnClockTick->start(1000 - QTime::currentTime().msec() + OwnClockLagMs);
}

void RelayController::SendOwnClock()
{
    ScheduleOwnClock();
    if (!Selector || Selector->InUse() != Source::OwnClock || RunFlag == 0)
        return;
    // As a source sends it: six digits on a line, the text on the wire.
    RelayValue(QTime::currentTime()
                   .toString(RelayMode == 1 ? QStringLiteral("hhmmss") : QStringLiteral("hh:mm:ss"))
                   .toLatin1());
}
