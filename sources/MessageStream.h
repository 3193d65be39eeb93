#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

// Finds the server's 8-byte messages in a connection's byte stream, whatever its segments: TCP keeps
// the bytes, not the writes, so a message may come in pieces or joined with the next. A message is a
// clock text "??:??:??" or a control word; bytes that fit neither are skipped until one fits again.
// At most one partial message is held.
class MessageStream
{
public:
    // The whole messages these bytes complete, oldest first.
    QList<QByteArray> Feed(const QByteArray& bytes);
    // A new connection starts a new stream: nothing of the old one may complete a message.
    void Clear() { Pending.clear(); }

private:
    QByteArray Pending;
};

// What one batch of a server's messages says. A control word ends what the server says: values after it
// belong to no connection. Of the values before it only the newest counts: a display never steps back.
struct ServerSays
{
    std::optional<QByteArray> newest;
    std::optional<QByteArray> word;
};
ServerSays ReadBatch(const QList<QByteArray>& messages);
