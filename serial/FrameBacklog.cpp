#include "serial/FrameBacklog.h"

bool FrameBacklog::Admit(const TimeCode& code)
{
    const std::lock_guard<std::mutex> guard(Lock);
    if (Waiting < Limit) {
        ++Waiting;
        Newest.reset();
        return true;
    }
    Newest = code;
    return false;
}

std::optional<TimeCode> FrameBacklog::Release()
{
    const std::lock_guard<std::mutex> guard(Lock);
    if (Waiting > 0)
        --Waiting;
    if (Waiting > 0)
        return std::nullopt;
    return std::exchange(Newest, std::nullopt);
}
