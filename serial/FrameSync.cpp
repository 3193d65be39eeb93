#include "serial/FrameSync.h"

std::optional<TimeCode> FrameSync::Feed(char byte)
{
    if (Count < 0) {
        if (byte == STX)
            Count = 0;
        return std::nullopt;
    }
    Collected[static_cast<size_t>(Count++)] = byte;
    if (Count < TimeCodeSize)
        return std::nullopt;
    Count = -1;
    return Collected;
}
