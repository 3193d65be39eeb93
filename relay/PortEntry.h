#pragma once

#include <QString>

constexpr int MinPort = 0;
constexpr int MaxPort = 60000;

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
