#pragma once

#include <functional>

// What the kernel says of this computer's clock: how far off it may be, in seconds. NTP (chrony) keeps
// it small; a clock nobody keeps is given 16 s, the most the kernel says.
struct ClockSync
{
    double MaxErrorS = 16;

    // Synchronised: off by less than the largest error allowed.
    bool Within(double largestErrorS) const { return MaxErrorS < largestErrorS; }
};

// The kernel's word now (ntp_adjtime, which changes nothing when it is only asked).
ClockSync KernelClockSync();

// Where the relay asks: the kernel, unless a test gives a reader of its own; an empty one gives the kernel back.
void ReadClockSyncWith(std::function<ClockSync()> reader);
ClockSync ReadClockSync();
