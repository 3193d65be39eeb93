#pragma once

#include <QTcpServer>

// A TCP port nothing on this machine listens on right now, so tests never collide with a running relay;
// within the 0..60000 that the port fields accept, which the system's own choice may not be.
inline quint16 FreePort()
{
    for (int attempt = 0; attempt < 1000; ++attempt) {
        QTcpServer probe;
        if (probe.listen(QHostAddress::AnyIPv4, 0) && probe.serverPort() <= 60000)
            return probe.serverPort();
    }
    return 0;
}
