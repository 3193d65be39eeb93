#include "app/WebListener.h"

#include "net/AllowList.h"

#include <QTcpSocket>
#include <QTimer>
#include <memory>

void WebListener::incomingConnection(qintptr descriptor)
{
    auto* socket = new QTcpSocket(this);
    const bool taken = !socket->setSocketDescriptor(descriptor);
    const QString from = PlainAddress(socket->peerAddress()).toString();
    if (taken || Open >= MaxConnections || OpenFrom.value(from) >= MaxPerAddress) {
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
    });
    QTimer::singleShot(LifetimeMs, socket, [socket] { socket->abort(); });
    addPendingConnection(socket);
}
