#include "relay/OwnClockSource.h"

#include <QTime>

OwnClockSource::OwnClockSource(SourceListener& listener, const QString& format)
    : Listener(listener)
    , Format(format)
{
    Tick.setSingleShot(true);
    Tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&Tick, &QTimer::timeout, &Tick, [this] { Send(); });
}

std::optional<SourceFault> OwnClockSource::Open()
{
    LastSecond = -1;
    Aim();
    return std::nullopt;
}

void OwnClockSource::Aim()
{
    Tick.start(1000 - QTime::currentTime().msec() + LagMs);
}

void OwnClockSource::Send()
{
    const QTime now = QTime::currentTime();
    const int second = now.msecsSinceStartOfDay() / 1000;
    Aim();
    // Early, the second has not turned yet: it was sent already, and the timer is aimed again.
    if (second == LastSecond)
        return;
    LastSecond = second;
    Listener.OnSourceValue(*this, SampleOf(now.toString(Format).toLatin1(), SourceKind::Clock, SourceClockMs()));
}
