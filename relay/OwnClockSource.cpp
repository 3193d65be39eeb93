#include "relay/OwnClockSource.h"

#include "relay/ClockSync.h"
#include "relay/RelayHost.h"
#include "relay/RelayLog.h"

#include <QTime>

OwnClockSource::OwnClockSource(SourceListener& listener, RelayHost& host, const QString& format, double largestErrorS)
    : Listener(listener)
    , Host(host)
    , Format(format)
    , LargestErrorS(largestErrorS)
{
    Tick.setSingleShot(true);
    Tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&Tick, &QTimer::timeout, &Tick, [this] { Send(); });
}

std::optional<SourceFault> OwnClockSource::Open()
{
    LastSecond = -1;
    Synced.reset();
    AskKernel();
    Aim();
    return std::nullopt;
}

PlaceReport OwnClockSource::Report() const
{
    PlaceReport report = PlaceReport::OfClock(Name());
    report.State = IsOpen() ? QStringLiteral("open") : QStringLiteral("closed");
    return report;
}

void OwnClockSource::AskKernel()
{
    const ClockSync sync = ReadClockSync();
    const bool synchronised = sync.Within(LargestErrorS);
    const bool changed = Synced ? Synced->Synchronised != synchronised : !synchronised;
    Synced = ClockReport {synchronised, sync.MaxErrorS};
    if (!changed)
        return;
    const QString error = QString::number(sync.MaxErrorS, 'g', 3);
    if (synchronised) {
        const QString text
            = QStringLiteral("this computer's clock is synchronised again (maximum error %1 s)").arg(error);
        qCInfo(lcRelay).noquote() << text;
        Host.SetStatus(text);
        return;
    }
    const QString text = QStringLiteral("this computer's clock is not synchronised (maximum error %1 s)").arg(error);
    qCWarning(lcRelay).noquote() << text;
    Host.RecordFault(text);
    Host.SetStatus(text);
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
    // After the value, so that what the status line says of the clock is not undone by it.
    AskKernel();
}
