#include "sources/MessageStream.h"

#include "serial/ClockFormat.h"
#include "serial/Strings.h"

#include <QByteArrayView>
#include <algorithm>

namespace {

// Whether these bytes can begin a message: a clock text has its colons at 2 and 5, a control word
// is spelt out.
bool BeginsMessage(QByteArrayView head)
{
    bool clock = true;
    for (qsizetype i = 0; i < head.size() && clock; ++i)
        clock = (i != 2 && i != 5) || head[i] == ':';
    if (clock)
        return true;
    for (StringId word : {IDS_REJECTED, IDS_SRV_LOST}) {
        if (QByteArrayView(LoadString(word)).startsWith(head))
            return true;
    }
    return false;
}

} // namespace

QList<QByteArray> MessageStream::Feed(const QByteArray& bytes)
{
    Pending += bytes;
    QList<QByteArray> messages;
    qsizetype start = 0;
    while (start < Pending.size()) {
        const QByteArrayView head
            = QByteArrayView(Pending).sliced(start, std::min<qsizetype>(NetMessageSize, Pending.size() - start));
        if (!BeginsMessage(head)) {
            ++start;
            continue;
        }
        if (head.size() < NetMessageSize)
            break;
        messages.append(head.toByteArray());
        start += NetMessageSize;
    }
    Pending.remove(0, start);
    return messages;
}

ServerSays ReadBatch(const QList<QByteArray>& messages)
{
    const auto word = std::find_if(messages.begin(), messages.end(), [](const QByteArray& message) {
        return ClassifyReceivedText(message) != ReceivedKind::Clock;
    });
    ServerSays says;
    if (word != messages.begin())
        says.newest = *std::prev(word);
    if (word != messages.end())
        says.word = *word;
    return says;
}
