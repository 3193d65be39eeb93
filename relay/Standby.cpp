#include "relay/RelayController.h"
#include "relay/RelayLog.h"

#include <QTimer>
#include <algorithm>
#include <utility>

namespace {

constexpr int SourceCheckMs = 1000;
constexpr int SwitchCheckLagMs = 20;
// A value held back from a source not in use can still be given when it takes over, while this young.
constexpr qint64 HeldFreshMs = 1000;

} // namespace

QString RelayController::SourceName(Source source) const
{
    const bool server = RelayMode == 1;
    switch (source) {
    case Source::Primary:
        return server ? InComName : ServerName;
    case Source::Standby:
        return server ? Standby.InComName : Standby.ServerName;
    case Source::OwnClock:
        break;
    }
    return QStringLiteral("this computer's clock");
}

void RelayController::StartStandby()
{
    if (!Standby.Present)
        return;
    Selector.emplace(qint64(Standby.AfterS) * 1000, Standby.OwnClock);
    SourceClock.start();
    Selector->Restart(SourceClock.elapsed());
    StandbyAlive = true;
    const bool server = RelayMode == 1;
    const bool standbyGiven = !SourceName(Source::Standby).isEmpty();
    if (!standbyGiven)
        Selector->Lost(Source::Standby, SourceClock.elapsed());
    else if (server)
        OpenStandbyLine();
    else
        ConnectStandby();
    qCInfo(lcRelay).noquote() << "standby:" << (standbyGiven ? SourceName(Source::Standby) : QStringLiteral("none"))
                              << QStringLiteral("after %1 s").arg(Standby.AfterS)
                              << (Standby.OwnClock ? "- then this computer's clock" : "");
    SourceCheck->start(SourceCheckMs);
    ScheduleOwnClock();
}

void RelayController::StopStandby()
{
    StandbyRetry.Stop();
    StandbyLineRetry.Stop();
    StandbySocket.Close();
    SourceCheck->stop();
    SwitchCheck->stop();
    OwnClockTick->stop();
    HeldPrimary.value.clear();
    HeldStandby.value.clear();
    Selector.reset();
}

bool RelayController::Offered(Source from, const QByteArray& value)
{
    if (!Selector)
        return true;
    const Source before = Selector->InUse();
    const qint64 now = SourceClock.elapsed();
    const bool relayed = Selector->Take(from, now);
    NoteSource(before);
    if (from == Source::Standby)
        NoteStandbyAlive(true, QString());
    Held& held = from == Source::Primary ? HeldPrimary : HeldStandby;
    if (relayed) {
        held.value.clear();
        // The source in use is looked at again the moment its silence would count.
        SwitchCheck->start(Standby.AfterS * 1000 + SwitchCheckLagMs);
    } else {
        held = {value, now};
    }
    return relayed;
}

void RelayController::RelayValue(const QByteArray& value)
{
    if (RelayMode != 1)
        return TakeClockText(value);
    TimeCode code {};
    std::copy_n(value.constData(), std::min<qsizetype>(value.size(), qsizetype(code.size())), code.begin());
    StoreTimeCode(ClockBuffer, code);
    LastValue.start();
    OnValueArrived();
    OnClockFrame();
}

void RelayController::RelayHeld(Source source)
{
    // A source that takes over without a value of its own coming gives the one it sent last, if that is
    // still the time of now: the displays need not wait for its next.
    Held& held = source == Source::Primary ? HeldPrimary : HeldStandby;
    if (source == Source::OwnClock || held.value.isEmpty() || SourceClock.elapsed() - held.at > HeldFreshMs)
        return;
    const QByteArray value = std::exchange(held.value, QByteArray());
    RelayValue(value);
    SwitchCheck->start(Standby.AfterS * 1000 + SwitchCheckLagMs);
}

void RelayController::SourceLost(Source which)
{
    if (!Selector)
        return;
    const Source before = Selector->InUse();
    Selector->Lost(which, SourceClock.elapsed());
    if (NoteSource(before))
        RelayHeld(Selector->InUse());
}

void RelayController::CheckSources()
{
    if (!Selector)
        return;
    const Source before = Selector->InUse();
    const qint64 now = SourceClock.elapsed();
    Selector->Update(now);
    if (NoteSource(before))
        RelayHeld(Selector->InUse());
    if (!SourceName(Source::Standby).isEmpty() && !Selector->Alive(Source::Standby, now))
        NoteStandbyAlive(false, QStringLiteral("silent for %1 s").arg(Standby.AfterS));
}

QString RelayController::SpareInUse() const
{
    if (!Selector || Selector->InUse() == Source::Primary)
        return QString();
    return Selector->InUse() == Source::Standby ? QStringLiteral("Standby %1 in use !").arg(SourceName(Source::Standby))
                                                : QStringLiteral("No source: sending this computer's time !");
}

bool RelayController::NoteSource(Source before)
{
    const Source now = Selector->InUse();
    if (now == before)
        return false;
    switch (now) {
    case Source::Standby:
        qCWarning(lcRelay).noquote() << "the standby" << SourceName(Source::Standby) << "takes over from"
                                     << SourceName(Source::Primary);
        RecordFault(QStringLiteral("%1 lost or silent: standby %2 in use")
                        .arg(SourceName(Source::Primary), SourceName(Source::Standby)));
        SetStatus(SpareInUse());
        break;
    case Source::Primary:
        qCInfo(lcRelay).noquote() << SourceName(Source::Primary) << "is in use again";
        SetStatus(QStringLiteral("%1 in use again !").arg(SourceName(Source::Primary)));
        break;
    case Source::OwnClock:
        qCWarning(lcRelay) << "no source gives a value: sending this computer's time";
        RecordFault(QStringLiteral("no source: this computer's time in use"));
        SetStatus(SpareInUse());
        break;
    }
    return true;
}

void RelayController::NoteStandbyAlive(bool alive, const QString& why)
{
    if (alive == StandbyAlive)
        return;
    StandbyAlive = alive;
    // Said while the primary still works, so that a dead spare is known before it is needed.
    if (alive) {
        qCInfo(lcRelay).noquote() << "standby" << SourceName(Source::Standby) << "is back";
        return;
    }
    qCWarning(lcRelay).noquote() << "standby" << SourceName(Source::Standby) << why;
    RecordFault(QStringLiteral("standby %1 %2").arg(SourceName(Source::Standby), why));
}
