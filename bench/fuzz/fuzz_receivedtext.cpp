// The client's received-text path: any bytes, arriving in any chunking, taken at most 11 at a time
// into the 12-byte buffer, classified, shown and made into an output frame.
#include "relay/ClockFormat.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the chunk sizes, so that the fuzzer explores how bytes arrive too.
    const size_t chunk = 1 + data[0] % 24;
    QByteArray queued;
    ClockChars buffer {};
    for (size_t offset = 1; offset < size || !queued.isEmpty();) {
        if (offset < size) {
            const size_t take = std::min(chunk, size - offset);
            queued.append(reinterpret_cast<const char*>(data + offset), qsizetype(take));
            offset += take;
        }
        const QByteArray text = queued.left(ReceiveLimit);
        queued.remove(0, text.size());
        StoreReceivedText(buffer, text);
        if (std::memchr(buffer.data(), '\0', buffer.size()) == nullptr)
            std::abort();
        const ReceivedKind kind = ClassifyReceivedText(buffer);
        const bool rejected = std::strcmp(buffer.data(), "Rejected") == 0;
        const bool lost = std::strcmp(buffer.data(), "Srv lost") == 0;
        if ((kind == ReceivedKind::Rejected) != rejected || (kind == ReceivedKind::ServerLost) != lost)
            std::abort();
        const OutputBytes frame = FormatOutputFrame(buffer);
        if (frame[0] != STX || frame[7] != ETX || frame[8] != '\0' || frame[9] != '\0')
            std::abort();
        if (frame[1] != buffer[0] || frame[2] != buffer[1] || frame[5] != buffer[6] || frame[6] != buffer[7])
            std::abort();
        if (ControlText(buffer.data(), buffer.size()).size() > ReceiveLimit)
            std::abort();
    }
    return 0;
}
