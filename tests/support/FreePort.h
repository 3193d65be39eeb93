#pragma once

#include <QTcpServer>

// A TCP port nothing on this machine listens on right now, so tests never collide with a running relay.
inline quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::AnyIPv4, 0);
    return probe.serverPort();
}
