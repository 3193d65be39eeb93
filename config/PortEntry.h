#pragma once

#include <QString>

constexpr int MinPort = 0;
constexpr int MaxPort = 60000;
// The lowest port a setting may name: 0 would listen wherever the system chose.
constexpr int MinSettingPort = 1;

// Whether a port setting can be listened on or connected to: MinSettingPort to MaxPort.
constexpr bool IsSettingPort(int value)
{
    return value >= MinSettingPort && value <= MaxPort;
}

struct PortEntry
{
    enum Outcome
    {
        Valid,
        NotAnInteger,
        OutOfRange,
    };
    Outcome outcome;
    int value; // meaningful only when Valid
};

// Reads a port field as the dialog data exchange does: a decimal integer from at most the first 31
// characters, white space around it allowed, then the 0..60000 check.
PortEntry ParsePortEntry(const QString& text);
