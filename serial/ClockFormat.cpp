#include "serial/ClockFormat.h"

#include "serial/Strings.h"

#include <algorithm>
#include <cstring>

void StoreTimeCode(ClockChars& buffer, const TimeCode& code)
{
    std::copy(code.begin(), code.end(), buffer.begin());
    buffer[TimeCodeSize] = '\0';
}

void ReplaceSpaces(ClockChars& buffer)
{
    std::replace(buffer.begin(), buffer.begin() + 8, ' ', '0');
}

QByteArray FormatClockText(const ClockChars& buffer)
{
    return FormatNetMessage(buffer);
}

QByteArray FormatNetMessage(const ClockChars& buffer)
{
    const char message[NetMessageSize] = {buffer[0], buffer[1], ':', buffer[2], buffer[3], ':', buffer[4], buffer[5]};
    return QByteArray(message, NetMessageSize);
}

OutputBytes FormatOutputFrame(const ClockChars& buffer)
{
    return {STX, buffer[0], buffer[1], buffer[3], buffer[4], buffer[6], buffer[7], ETX, '\0', '\0'};
}

void StoreReceivedText(ClockChars& buffer, const QByteArray& received)
{
    const auto count = std::min<qsizetype>(received.size(), ReceiveLimit);
    std::copy_n(received.constData(), count, buffer.begin());
    buffer[static_cast<size_t>(count)] = '\0';
}

QString ControlText(const char* text, size_t capacity)
{
    return QString::fromLatin1(text, static_cast<qsizetype>(strnlen(text, capacity)));
}

ReceivedKind ClassifyReceivedText(const QByteArray& text)
{
    if (text == LoadString(IDS_REJECTED))
        return ReceivedKind::Rejected;
    if (text == LoadString(IDS_SRV_LOST))
        return ReceivedKind::ServerLost;
    return ReceivedKind::Clock;
}

ReceivedKind ClassifyReceivedText(const ClockChars& buffer)
{
    return ClassifyReceivedText(QByteArray(buffer.data(), qsizetype(strnlen(buffer.data(), buffer.size()))));
}

std::optional<int> SecondOfDay(const QByteArray& value)
{
    const bool text = value.size() >= NetMessageSize && value[2] == ':' && value[5] == ':';
    if (!text && value.size() < TimeCodeSize)
        return std::nullopt;
    const int step = text ? 3 : 2;
    int fields[3] = {};
    for (int field = 0; field < 3; ++field) {
        for (int at = field * step; at < field * step + 2; ++at) {
            const char c = value[at] == ' ' ? '0' : value[at];
            if (c < '0' || c > '9')
                return std::nullopt;
            fields[field] = fields[field] * 10 + (c - '0');
        }
    }
    if (fields[0] > 23 || fields[1] > 59 || fields[2] > 59)
        return std::nullopt;
    return (fields[0] * 60 + fields[1]) * 60 + fields[2];
}

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
