#include "sources/OwnClockSource.h"

#include <QDateTime>
#include <sys/timex.h>

ClockSeconds::ClockSeconds(std::chrono::seconds longestWait)
    : LongestWait(longestWait)
{ }

ClockSeconds::Turn ClockSeconds::Take(std::chrono::system_clock::time_point now)
{
    const Second second = std::chrono::floor<std::chrono::seconds>(now);
    Turn turn;
    if (Last && second <= *Last) {
        // The same second again, or the clock went back: waited out, unless that would be too long.
        if (*Last - second <= LongestWait)
            return turn;
        turn.SteppedBack = *Last - second;
    }
    Last = second;
    turn.Send = second;
    return turn;
}

OwnClockSource::OwnClockSource(SourceListener& listener, const QString& format, double largestErrorS,
                               std::chrono::seconds longestWait)
    : Listener(listener)
    , Format(format)
    , LargestErrorS(largestErrorS)
    , Seconds(longestWait)
{
    Tick.setSingleShot(true);
    Tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&Tick, &QTimer::timeout, &Tick, [this] { Send(); });
}

std::optional<SourceFault> OwnClockSource::Open()
{
    Seconds.Forget();
    Synced.reset();
    AskKernel();
    Aim(std::chrono::system_clock::now());
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
    if (changed)
        Listener.OnSourceSync(*this, *Synced);
}

void OwnClockSource::Aim(std::chrono::system_clock::time_point now)
{
    const auto intoSecond
        = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch() % std::chrono::seconds(1));
    Tick.start(1000 - int(intoSecond.count()) + LagMs);
}

void OwnClockSource::Send()
{
    const auto now = std::chrono::system_clock::now();
    Aim(now);
    // Early, the second has not turned yet, or the clock went back: nothing goes until it turns again.
    const ClockSeconds::Turn turn = Seconds.Take(now);
    if (!turn.Send)
        return;
    if (turn.SteppedBack.count() > 0)
        Listener.OnSourceSteppedBack(*this, turn.SteppedBack);
    const QDateTime local = QDateTime::fromSecsSinceEpoch(turn.Send->time_since_epoch().count());
    Listener.OnSourceValue(*this, SampleOf(local.toString(Format).toLatin1(), SourceKind::Clock, SourceClockMs()));
    // After the value, so that what the status line says of the clock is not undone by it.
    AskKernel();
}

namespace {

std::function<ClockSync()>& Reader()
{
    static std::function<ClockSync()> reader;
    return reader;
}

} // namespace

ClockSync KernelClockSync()
{
    timex asked {};
    if (::ntp_adjtime(&asked) == -1)
        return {};
    return {double(asked.maxerror) / 1e6};
}

void ReadClockSyncWith(std::function<ClockSync()> reader)
{
    Reader() = std::move(reader);
}

ClockSync ReadClockSync()
{
    return Reader() ? Reader()() : KernelClockSync();
}
