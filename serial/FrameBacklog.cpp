#include "serial/FrameBacklog.h"

#include <utility>

bool FrameBacklog::Admit(const ReadFrame& frame)
{
    if (Waiting.fetch_add(1) < Limit) {
        // A frame handed over is newer than one kept from before: that one must never follow it.
        if (HasNewest.load()) {
            const std::lock_guard<std::mutex> guard(NewestLock);
            HasNewest = false;
            Newest.reset();
        }
        return true;
    }
    Waiting.fetch_sub(1);
    const std::lock_guard<std::mutex> guard(NewestLock);
    Newest = frame;
    HasNewest = true;
    // The relay may have taken every waiting frame meanwhile, and would then never look here again.
    if (Waiting.load() != 0)
        return false;
    HasNewest = false;
    Newest.reset();
    Waiting.fetch_add(1);
    return true;
}

std::optional<ReadFrame> FrameBacklog::Release()
{
    if (Waiting.fetch_sub(1) != 1 || !HasNewest.load())
        return std::nullopt;
    const std::lock_guard<std::mutex> guard(NewestLock);
    if (!HasNewest.load() || Waiting.load() != 0)
        return std::nullopt;
    HasNewest = false;
    return std::exchange(Newest, std::nullopt);
}
