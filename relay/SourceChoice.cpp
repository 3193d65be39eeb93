#include "relay/SourceChoice.h"

#include "relay/RelayLog.h"
#include "sources/TimeSource.h"

#include <algorithm>

namespace {

constexpr qint64 LookMs = 1000;

} // namespace

SourceChoice::SourceChoice(RelayHost& host, std::function<void(const Sample&)> relay, const MonotonicClock& clock)
    : Host(host)
    , Relay(std::move(relay))
    , Clock(clock)
{
    Check.setSingleShot(true);
    QObject::connect(&Check, &QTimer::timeout, &Check, [this] { Look(); });
}

void SourceChoice::Restart(const StandbyConfig& spare, const QString& primary, const QString& standby, qint64 graceMs)
{
    Spare = spare;
    PrimaryName = primary;
    StandbyName = standby;
    StandbyAlive = true;
    StandbyFault.clear();
    std::vector<Source> ranked {Source::Primary};
    if (!standby.isEmpty())
        ranked.push_back(Source::Standby);
    if (spare.Present && spare.OwnClock)
        ranked.push_back(Source::OwnClock);
    SwitchTimings timings;
    timings.AfterMs = qint64(spare.AfterS) * 1000;
    Switch = SourceSwitch(std::move(ranked), timings);
    Switch.Restart(Clock.NowMs(), graceMs);
    Zone = ZoneSteps(QTimeZone::systemTimeZone());
    Look();
}

void SourceChoice::Stop()
{
    Check.stop();
    Spare = StandbyConfig();
    Switch = SourceSwitch({}, SwitchTimings());
}

QString SourceChoice::NameOf(Source source) const
{
    switch (source) {
    case Source::Primary:
        return PrimaryName;
    case Source::Standby:
        return StandbyName;
    case Source::OwnClock:
        break;
    }
    return QStringLiteral("this computer's clock");
}

void SourceChoice::Offer(const Sample& value)
{
    if (value.Role == Source::Standby)
        StandbyBack();
    // At the autumn change the local time steps back an hour, which is no clock set back; only a switch
    // that keeps the displays in order, with a spare, needs to know.
    if (Spare.Present) {
        if (const int back = Zone.BackAt(QDateTime::currentDateTimeUtc(), Switch.Timings().BreakMs))
            Switch.ZoneSteppedBack(back, value.AtMs);
    }
    const Source before = Switch.InUse();
    Take(before, Switch.Offer(value));
}

void SourceChoice::Lost(Source from)
{
    const Source before = Switch.InUse();
    Take(before, Switch.Lost(from, Clock.NowMs()));
}

void SourceChoice::Look()
{
    if (!Spare.Present)
        return;
    const qint64 now = Clock.NowMs();
    const Source before = Switch.InUse();
    Take(before, Switch.Update(now));
    if (!StandbyName.isEmpty() && !Switch.Alive(Source::Standby, now) && StandbyAlive) {
        StandbyAlive = false;
        qCWarning(lcRelay).noquote() << "standby" << StandbyName << "silent for" << Spare.AfterS << "s";
        Host.RecordFault(QStringLiteral("standby %1 silent for %2 s").arg(StandbyName).arg(Spare.AfterS));
    }
    // Looked at again the moment a silence would count, or the primary is steady, and at least every
    // second: a coarse timer may fire 5 % late, which is then at most 50 ms, where a precise one would
    // cost every value in the event loop. A look due sooner is left as it is, and aims the next anew.
    const qint64 next = Switch.NextCheck(now);
    if (next < 0)
        return;
    const qint64 due = std::min(next, now + LookMs);
    if (!Check.isActive() || due < CheckDue) {
        CheckDue = due;
        Check.start(int(due - now));
    }
}

void SourceChoice::Take(Source before, const std::optional<Sample>& value)
{
    const Source now = Switch.InUse();
    if (now != before) {
        Host.Count(Counter::SourceSwitches);
        switch (now) {
        case Source::Standby:
            qCWarning(lcRelay).noquote() << "the standby" << StandbyName << "takes over from" << PrimaryName;
            Host.RecordFault(QStringLiteral("%1 lost or silent: standby %2 in use").arg(PrimaryName, StandbyName));
            Host.SetStatus(SpareInUse());
            break;
        case Source::Primary:
            qCInfo(lcRelay).noquote() << PrimaryName << "is in use again";
            Host.SetStatus(QStringLiteral("%1 in use again !").arg(PrimaryName));
            break;
        case Source::OwnClock:
            qCWarning(lcRelay) << "no source gives a value: sending this computer's time";
            Host.RecordFault(QStringLiteral("no source: this computer's time in use"));
            Host.SetStatus(SpareInUse());
            break;
        }
    }
    if (value)
        Relay(*value);
    if (Spare.Present && (now != before || value))
        Look();
}

void SourceChoice::StandbyAway(const QString& why)
{
    if (why == StandbyFault)
        return;
    StandbyFault = why;
    StandbyAlive = false;
    // Said while the primary still works, so that a dead spare is known before it is needed.
    qCWarning(lcRelay).noquote() << "standby" << StandbyName << why;
    Host.RecordFault(QStringLiteral("standby %1 %2").arg(StandbyName, why));
}

void SourceChoice::StandbyBack()
{
    StandbyFault.clear();
    if (StandbyAlive)
        return;
    StandbyAlive = true;
    qCInfo(lcRelay).noquote() << "standby" << StandbyName << "is back";
}

QString SourceChoice::SpareInUse() const
{
    switch (Switch.InUse()) {
    case Source::Primary:
        break;
    case Source::Standby:
        return QStringLiteral("Standby %1 in use !").arg(StandbyName);
    case Source::OwnClock:
        return QStringLiteral("No source: sending this computer's time !");
    }
    return QString();
}

bool SourceChoice::InTrouble() const
{
    return Spare.Present && (Switch.InUse() != Source::Primary || (!StandbyName.isEmpty() && !StandbyAlive));
}

StandbyReport SourceChoice::Report(PlaceReport standby) const
{
    const bool connected = standby.State == QLatin1String("open") || standby.State == QLatin1String("connected");
    standby.State = StandbyName.isEmpty() ? QStringLiteral("none")
        : !connected                      ? QStringLiteral("lost")
        : StandbyAlive                    ? QStringLiteral("alive")
                                          : QStringLiteral("silent");
    standby.Name = StandbyName;
    return {standby, Spare.AfterS, Spare.OwnClock, Switch.InUse()};
}

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
