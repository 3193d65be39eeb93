#pragma once

#include "config/GroupSettings.h"
#include "relay/RelayHealth.h"
#include "relay/RelayReport.h"
#include "relay/SourceSwitch.h"
#include "sources/Sample.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <functional>

class QLoggingCategory;

// What the parts of a relay tell the controller that conducts them: the status line, a fault healed
// from, an event to count, a box, and whether the log may have a line of some kind now.
class RelayHost
{
public:
    virtual void SetStatus(const QString& text) = 0;
    virtual void RecordFault(const QString& text) = 0;
    virtual void Count(Counter which) = 0;
    virtual int MessageBox(const QString& text, const QString& title, unsigned type) = 0;
    virtual bool LogAllows(const QLoggingCategory& category, const QString& kind, const QString& source = QString())
        = 0;

protected:
    ~RelayHost() = default;
};

class RelayHost;

// The switch at work in a running relay: it is given every value and every loss, looks again the moment
// a silence would count, relays what the switch lets through, and tells the operator which source is in
// use and when the standby dies or comes back.
class SourceChoice
{
public:
    SourceChoice(RelayHost& host, std::function<void(const Sample&)> relay,
                 const MonotonicClock& clock = MonotonicClock::System());
    SourceChoice(const SourceChoice&) = delete;
    SourceChoice& operator=(const SourceChoice&) = delete;

    // A run starts with the primary in use; no source counts as silent before graceMs from now.
    void Restart(const StandbyConfig& spare, const QString& primary, const QString& standby, qint64 graceMs);
    void Stop();
    void Offer(const Sample& value);
    void Lost(Source from);
    // The standby cannot be reached (said once for each reason), or is there again.
    void StandbyAway(const QString& why);
    void StandbyBack();

    Source InUse() const { return Switch.InUse(); }
    // While a spare is in use the status line says which, whatever each value would say; empty otherwise.
    QString SpareInUse() const;
    // A spare in use, or a standby that is dead: one fault from relaying nothing.
    bool InTrouble() const;
    // The standby's part of the status report, with its own report as the source gives it.
    StandbyReport Report(PlaceReport standby) const;
    QString NameOf(Source source) const;

private:
    void Look();
    void Take(Source before, const std::optional<Sample>& value);

    RelayHost& Host;
    std::function<void(const Sample&)> Relay;
    const MonotonicClock& Clock;
    SourceSwitch Switch {{}, SwitchTimings()};
    // This computer's zone as it was at the start.
    ZoneSteps Zone;
    StandbyConfig Spare;
    QString PrimaryName;
    QString StandbyName;
    QTimer Check;
    qint64 CheckDue = 0;
    // Whether the standby was last said to be alive, and the reason last said when it was not.
    bool StandbyAlive = true;
    QString StandbyFault;
};

// Tells when values stop coming from a source that is still open, so that a stale time is never shown
// as if all were well.
class SilenceWatch
{
public:
    explicit SilenceWatch(std::function<void()> fallenSilent);
    SilenceWatch(const SilenceWatch&) = delete;
    SilenceWatch& operator=(const SilenceWatch&) = delete;

    // Values are expected from now on; a silence as long as the limit is told once. A source sends a
    // value a second: five missed are a silence.
    void Watch(int limitMs = 5000);
    // A value came: true when it ends a silence that was told.
    bool Fed();
    void Stop();
    int Limit() const { return LimitMs; }

    // What the status said when the silence was told, to say again when values come back.
    QString StatusBefore;

private:
    QTimer Check;
    QElapsedTimer SinceLast;
    int LimitMs = 0;
    bool Silent = false;
    // A value came since the last look.
    bool Fresh = false;
    std::function<void()> FallenSilent;
};
