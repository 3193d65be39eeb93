#include "service/WebListener.h"

#include <QTcpSocket>
#include <QTimer>
#include <memory>

namespace {

const char* const Http10 = "horalineHttp10";

// The version of a request line at the start of what is buffered; a line that is not one (a header or a
// body that came in a segment of its own) leaves the last one's.
void NoteVersion(QTcpSocket* socket)
{
    const QByteArray start = socket->peek(WebListener::ByteLimit);
    const qsizetype end = start.indexOf('\n');
    if (end < 0)
        return;
    const QByteArray line = start.left(end).trimmed();
    if (line.endsWith(" HTTP/1.0") || line.endsWith(" HTTP/1.1"))
        socket->setProperty(Http10, line.endsWith(" HTTP/1.0"));
}

} // namespace

bool WebListener::SpeaksHttp10(const QTcpSocket* socket)
{
    return socket->property(Http10).toBool();
}

void WebListener::incomingConnection(qintptr descriptor)
{
    auto* socket = new QTcpSocket(this);
    const bool taken = !socket->setSocketDescriptor(descriptor);
    const QString from = PlainAddress(socket->peerAddress()).toString();
    if (taken || !Allowed.Admits(socket->peerAddress()) || Open >= MaxConnections
        || OpenFrom.value(from) >= MaxPerAddress) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    ++Open;
    ++OpenFrom[from];
    connect(socket, &QObject::destroyed, this, [this, from] {
        --Open;
        if (--OpenFrom[from] == 0)
            OpenFrom.remove(from);
    });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    // Connected before the HTTP server's own handler, so that what it is about to read is counted first.
    const auto received = std::make_shared<qint64>(0);
    connect(socket, &QTcpSocket::readyRead, socket, [socket, received] {
        *received += socket->bytesAvailable();
        if (*received > ByteLimit)
            socket->abort();
        else
            NoteVersion(socket);
    });
    QTimer::singleShot(LifetimeMs, socket, [socket] { socket->abort(); });
    addPendingConnection(socket);
}
