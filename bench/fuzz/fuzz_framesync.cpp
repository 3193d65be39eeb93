// Frame synchronisation on arbitrary serial byte streams, checked against a plain reading of the rule:
// skip to an STX, take the six bytes after it whole, start hunting again after them.
#include "serial/ClockFormat.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<TimeCode> expected;
    for (size_t i = 0; i < size;) {
        if (data[i] != STX) {
            ++i;
            continue;
        }
        if (i + TimeCodeSize >= size)
            break;
        TimeCode code {};
        for (int k = 0; k < TimeCodeSize; ++k)
            code[size_t(k)] = char(data[i + 1 + size_t(k)]);
        expected.push_back(code);
        i += 1 + TimeCodeSize;
    }

    FrameSync sync;
    std::vector<TimeCode> found;
    for (size_t i = 0; i < size; ++i) {
        if (const auto code = sync.Feed(char(data[i])))
            found.push_back(*code);
    }
    if (found != expected)
        std::abort();

    for (const TimeCode& code : found) {
        ClockChars buffer {};
        StoreTimeCode(buffer, code);
        ReplaceSpaces(buffer);
        const QByteArray shown = FormatClockText(buffer);
        if (shown.size() != NetMessageSize || shown[2] != ':' || shown[5] != ':' || shown.contains(' '))
            std::abort();
        if (FormatNetMessage(buffer) != shown)
            std::abort();
        ControlText(shown.constData(), size_t(shown.size()));
    }
    return 0;
}
