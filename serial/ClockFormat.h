#pragma once

#include <QByteArray>
#include <QString>
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

// Every byte format a clock value passes through. A clock value is six characters HHMMSS that are
// moved and rearranged; only the switch between sources reads it as a time, to keep the displays in order.

constexpr char ETX = 0x03;

// Room for a received text of up to 11 bytes and its terminating 0x00.
constexpr int ClockBufferSize = 12;
constexpr int ReceiveLimit = ClockBufferSize - 1;
constexpr int NetMessageSize = 8;
constexpr int OutputFrameSize = 10;

using ClockChars = std::array<char, ClockBufferSize>;
using OutputBytes = std::array<char, OutputFrameSize>;

// Six characters of an input frame into the buffer, terminated at index 6.
void StoreTimeCode(ClockChars& buffer, const TimeCode& code);

// A source that pads with spaces (" 9" for nine o'clock) still gives two-digit fields.
void ReplaceSpaces(ClockChars& buffer);

// "%c%c:%c%c:%c%c" of the first six characters.
QByteArray FormatClockText(const ClockChars& buffer);

// The 8 bytes HH:MM:SS sent to every client.
QByteArray FormatNetMessage(const ClockChars& buffer);

// STX, positions 0, 1, 3, 4, 6, 7 of the received text, ETX, 0x00 and a tenth byte 0x00.
OutputBytes FormatOutputFrame(const ClockChars& buffer);

// A received text (a whole message, as the client finds them) of at most ReceiveLimit bytes,
// terminated; indexes past the terminator keep what an earlier, longer text left there.
void StoreReceivedText(ClockChars& buffer, const QByteArray& received);

// The text as a control shows it: up to its first 0x00, one character per byte.
QString ControlText(const char* text, size_t capacity);

enum class ReceivedKind
{
    Clock,
    Rejected,
    ServerLost,
};

// Only the whole text counts: a control word that arrives together with other bytes is a clock text.
ReceivedKind ClassifyReceivedText(const QByteArray& text);
ReceivedKind ClassifyReceivedText(const ClockChars& buffer);

// The second of the day a value names: six characters HHMMSS (a space for a leading zero) or a text
// HH:MM:SS; nothing for any other text or for a time no day has.
std::optional<int> SecondOfDay(const QByteArray& value);
