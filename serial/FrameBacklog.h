#pragma once

#include "serial/ReadFrame.h"

#include <atomic>
#include <mutex>
#include <optional>

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
