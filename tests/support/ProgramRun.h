#pragma once

#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>

// The real program as a service manager or an SSH session starts it: no display of any kind, and the
// environment changed as given (an empty value takes the variable away).
inline void StartWithoutDisplay(QProcess& program, const QStringList& arguments,
                                const QList<QPair<QString, QString>>& changes = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    for (const auto& [name, value] : changes) {
        if (value.isEmpty())
            environment.remove(name);
        else
            environment.insert(name, value);
    }
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(HORALINE_BINARY), arguments);
}

// Connected once the program listens; the program takes a moment to start.
inline void ConnectWhenListening(QTcpSocket& peer, quint16 port)
{
    QElapsedTimer waited;
    waited.start();
    do {
        peer.abort();
        peer.connectToHost(QHostAddress::LocalHost, port);
    } while (!peer.waitForConnected(200) && waited.elapsed() < 20000);
}
