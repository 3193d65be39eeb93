#pragma once

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
