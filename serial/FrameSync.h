#pragma once

#include <array>
#include <optional>

constexpr char STX = 0x02;
constexpr int TimeCodeSize = 6;
// STX and the six characters.
constexpr int TimeFrameSize = TimeCodeSize + 1;

// The six characters HHMMSS of one input frame, as the source sent them.
using TimeCode = std::array<char, TimeCodeSize>;

// Finds the time codes in a serial byte stream: everything up to an STX is skipped, then the next six
// bytes are taken whole, even an STX among them.
class FrameSync
{
public:
    std::optional<TimeCode> Feed(char byte);

private:
    TimeCode Collected {};
    int Count = -1; // -1 while hunting for STX
};
