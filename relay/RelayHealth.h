#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <array>

// What a relay has counted since its process started, for a monitor to follow over time: never set
// back, not even by a STOP and START.
enum class Counter
{
    ValuesRelayed,
    ValuesNotATime,
    LineLosses,
    ServerLosses,
    SourceSwitches,
    ClientsAdmitted,
    ClientsRefused,
    ReloadsRefused,
};

constexpr size_t CounterCount = size_t(Counter::ReloadsRefused) + 1;

// "valuesRelayed", "valuesNotATime", …: the report's names, written here alone.
QString CounterName(Counter which);

class RelayCounters
{
public:
    void Add(Counter which) { ++Counted[size_t(which)]; }
    const std::array<quint64, CounterCount>& Counts() const { return Counted; }

private:
    std::array<quint64, CounterCount> Counted {};
};

struct RelayReport;

// How a relay does, in the order of --status's exit statuses and the metric's values.
enum class HealthState
{
    Relaying,
    Degraded,
    NotRelaying,
};

// "relaying", "degraded", "not relaying": the report's words, written here alone.
QString HealthName(HealthState state);
// The state a report's word names; a word that is none is not relaying.
HealthState HealthOf(const QString& name);

// What a relay has done since its start, as a status query is told it: since when it runs, the faults
// it healed from and the last of them, the last value it relayed and when, and the counts of events.
class RelayHealth
{
public:
    // A run starts: nothing relayed, no fault yet.
    void Restart();
    void RecordFault(const QString& text);
    // A value went out; false when it is no time of day and the log has not been told so this minute.
    bool Relayed(const QString& text);
    // A stopped relay has no value of now.
    void Forget() { LastValue.invalidate(); }
    // The last value came at most this long ago.
    bool Fresh(qint64 ms) const { return LastValue.isValid() && LastValue.elapsed() <= ms; }

    // Given whether it runs and whether anything it runs on is away (a line, the listener or the server,
    // a spare in use or dead).
    HealthState Health(bool running, bool somethingAway) const;
    // The figures of the status report: the run's start, the last value, the faults, the counts.
    void Fill(RelayReport& report, bool running) const;

    RelayCounters Counters;

private:
    QDateTime RunSince;
    QElapsedTimer RunClock;
    int FaultCount = 0;
    QString LastFault;
    QDateTime LastFaultAt;
    // When the last value went out, and what it was.
    QElapsedTimer LastValue;
    QString LastValueText;
    // When the log last heard of values that are no time of day.
    QElapsedTimer NotATimeTold;
};
