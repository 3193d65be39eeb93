#include "relay/RelayHealth.h"

#include "relay/RelayReport.h"

namespace {

// Nothing relayed for this long is no relay, whatever else runs.
constexpr qint64 NotRelayingMs = 30000;
// Past this a source that is still there is silent.
constexpr qint64 SilentMs = 5000;
// A line at the wrong speed sends garbage every second: the log hears of it once a minute.
constexpr qint64 NotATimeLogMs = 60000;

const char* const HealthNames[] = {"relaying", "degraded", "not relaying"};

} // namespace

QString HealthName(HealthState state)
{
    return QLatin1String(HealthNames[int(state)]);
}

HealthState HealthOf(const QString& name)
{
    for (const HealthState state : {HealthState::Relaying, HealthState::Degraded})
        if (name == HealthName(state))
            return state;
    return HealthState::NotRelaying;
}

void RelayHealth::Restart()
{
    RunSince = QDateTime::currentDateTimeUtc();
    RunClock.start();
    FaultCount = 0;
    LastFault.clear();
    LastFaultAt = QDateTime();
    LastValue.invalidate();
    LastValueText.clear();
}

void RelayHealth::RecordFault(const QString& text)
{
    ++FaultCount;
    LastFault = text.trimmed();
    LastFaultAt = QDateTime::currentDateTimeUtc();
}

bool RelayHealth::Relayed(const QString& text)
{
    LastValue.start();
    LastValueText = text;
    Counters.Add(Counter::ValuesRelayed);
    if (QTime::fromString(text, QStringLiteral("HH:mm:ss")).isValid())
        return true;
    Counters.Add(Counter::ValuesNotATime);
    if (NotATimeTold.isValid() && NotATimeTold.elapsed() < NotATimeLogMs)
        return true;
    NotATimeTold.start();
    return false;
}

HealthState RelayHealth::Health(bool running, bool somethingAway) const
{
    if (!running)
        return HealthState::NotRelaying;
    // A relay just started has had no time to relay yet: it is waited for, not given up on.
    if (!Fresh(NotRelayingMs))
        return RunClock.elapsed() > NotRelayingMs ? HealthState::NotRelaying : HealthState::Degraded;
    return somethingAway || !Fresh(SilentMs) ? HealthState::Degraded : HealthState::Relaying;
}

void RelayHealth::Fill(RelayReport& report, bool running) const
{
    report.Since = running ? RunSince : QDateTime();
    if (LastValue.isValid() && running)
        report.LastValue = LastValueReport {LastValueText, double(LastValue.elapsed()) / 1000.0};
    report.Faults = FaultCount;
    report.LastFault = LastFault;
    report.LastFaultAt = LastFaultAt;
    report.Counts = Counters.Counts();
}

QString CounterName(Counter which)
{
    static const std::array<const char*, CounterCount> names {
        "valuesRelayed",  "valuesNotATime",  "lineLosses",     "serverLosses",
        "sourceSwitches", "clientsAdmitted", "clientsRefused", "reloadsRefused",
    };
    return QLatin1String(names[size_t(which)]);
}
