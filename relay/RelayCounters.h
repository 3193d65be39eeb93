#pragma once

#include <QJsonObject>
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

class RelayCounters
{
public:
    void Add(Counter which) { ++Counts[size_t(which)]; }
    // {"valuesRelayed": 12, "valuesNotATime": 0, …}
    QJsonObject Report() const;

private:
    std::array<quint64, size_t(Counter::ReloadsRefused) + 1> Counts {};
};
