#include "service/WebListener.h"

#include <QTcpSocket>
#include <QTimer>
#include <memory>

namespace {

const char* const Http10 = "horalineHttp10";

// The version of a request line at the start of what is buffered; a line that is not one (a header or a
// body that came in a segment of its own) leaves the last one's.
void NoteVersion(QTcpSocket* socket, const QByteArray& start)
{
    const qsizetype end = start.indexOf('\n');
    if (end < 0)
        return;
    const QByteArray line = start.left(end).trimmed();
    if (line.endsWith(" HTTP/1.0") || line.endsWith(" HTTP/1.1"))
        socket->setProperty(Http10, line.endsWith(" HTTP/1.0"));
}

// A whole request for the screens' feed: a WebSocket upgrade of /display/feed, its headers complete.
bool AsksForScreenFeed(const QByteArray& start)
{
    const qsizetype end = start.indexOf("\r\n\r\n");
    if (end < 0 || !(start.startsWith("GET /display/feed ") || start.startsWith("GET /display/feed?")))
        return false;
    return start.left(end).toLower().contains("\nupgrade: websocket");
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
    // A screen gives its place back as it becomes one; what it leaves behind must not give it twice.
    const auto placed = std::make_shared<bool>(true);
    const auto leave = [this, from, placed] {
        if (!*placed)
            return;
        *placed = false;
        --Open;
        if (--OpenFrom[from] == 0)
            OpenFrom.remove(from);
    };
    connect(socket, &QObject::destroyed, this, leave);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    auto* lifetime = new QTimer(socket);
    lifetime->setSingleShot(true);
    connect(lifetime, &QTimer::timeout, socket, [socket] { socket->abort(); });
    lifetime->start(LifetimeMs);
    // Connected before the HTTP server's own handler, so that what it is about to read is counted first.
    const auto received = std::make_shared<qint64>(0);
    connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received, lifetime, leave] {
        *received += socket->bytesAvailable();
        if (*received > ByteLimit) {
            socket->abort();
            return;
        }
        // What is buffered, looked at once for both.
        const QByteArray start = socket->peek(ByteLimit);
        NoteVersion(socket, start);
        if (!ScreenRoom || !AsksForScreenFeed(start))
            return;
        if (!ScreenRoom()) {
            // Read here, so that the server never upgrades it.
            socket->readAll();
            const QByteArray body("Every screen's place is taken: [Web] Displays\n");
            socket->write("HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=utf-8\r\n"
                          "Content-Length: "
                          + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
            socket->disconnectFromHost();
            if (ScreenRefused)
                ScreenRefused();
            return;
        }
        lifetime->stop();
        leave();
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, ScreenSendBuffer);
    });
    addPendingConnection(socket);
}
