// The client's received-text path: any bytes, arriving in any chunking, found as 8-byte messages,
// classified, shown and made into an output frame.
#include "serial/ClockFormat.h"
#include "sources/MessageStream.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the chunk sizes, so that the fuzzer explores how bytes arrive too.
    const size_t chunk = 1 + data[0] % 24;
    MessageStream stream;
    ClockChars buffer {};
    for (size_t offset = 1; offset < size; offset += chunk) {
        const QByteArray bytes(reinterpret_cast<const char*>(data + offset), qsizetype(std::min(chunk, size - offset)));
        for (const QByteArray& message : stream.Feed(bytes)) {
            const ReceivedKind kind = ClassifyReceivedText(message);
            const bool clock = message.size() == NetMessageSize && message[2] == ':' && message[5] == ':';
            if (message.size() != NetMessageSize || (kind == ReceivedKind::Clock && !clock))
                std::abort();
            StoreReceivedText(buffer, message);
            if (ClassifyReceivedText(buffer) != kind && std::memchr(message.constData(), '\0', 8) == nullptr)
                std::abort();
            const OutputBytes frame = FormatOutputFrame(buffer);
            if (frame[0] != STX || frame[7] != ETX || frame[8] != '\0' || frame[9] != '\0')
                std::abort();
            if (frame[1] != buffer[0] || frame[2] != buffer[1] || frame[5] != buffer[6] || frame[6] != buffer[7])
                std::abort();
        }
    }
    return 0;
}
