#pragma once

#include "serial/ClockFormat.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>

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

// The frames handed from the reader to the relay and not yet taken. At most a limit of them wait,
// so that a flood on the line cannot grow memory; under such pressure the frames in between are
// dropped, and the newest one always arrives, since it is what the relay shows and sends. Below the
// limit a frame costs two atomic counts and never a lock, which the reader and the relay would contend for.
class FrameBacklog
{
public:
    explicit FrameBacklog(int limit)
        : Limit(limit)
    { }

    // Reader: true when the frame may be handed over; otherwise it is kept as the newest to come.
    bool Admit(const ReadFrame& frame);
    // Relay, once for every frame handed over: when none waits any more, the newest frame kept meanwhile.
    std::optional<ReadFrame> Release();

private:
    const int Limit;
    std::atomic<int> Waiting {0};
    std::atomic<bool> HasNewest {false};
    std::mutex NewestLock;
    std::optional<ReadFrame> Newest;
};
