#pragma once

#include "serial/FrameSync.h"

#include <chrono>

// A time code as the reader completed it, with the moment the read that brought its last byte returned,
// on the monotonic and on the wall clock, both taken in the reader's thread before any queue could hold
// it. Last: the only frame its read completed, followed by fewer bytes than a frame (a terminator, say)
// in a read that did not fill its buffer, so no backlog of the line stood between the byte and the
// moment. Trailing: the bytes that came after it in that read, whose time on the line the moment holds too.
struct ReadFrame
{
    TimeCode Code {};
    std::chrono::steady_clock::time_point At;
    std::chrono::system_clock::time_point WallAt;
    bool Last = true;
    int Trailing = 0;
};
