#include "app/WebListener.h"

#include <QTcpSocket>
#include <QTimer>
#include <memory>

void WebListener::incomingConnection(qintptr descriptor)
{
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor) || Open >= MaxConnections) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    ++Open;
    connect(socket, &QObject::destroyed, this, [this] { --Open; });
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
