#pragma once

#include <QHash>
#include <QTcpServer>

// The web port's listener: a peer gets a connection only while fewer than MaxConnections are open, and
// fewer than MaxPerAddress from its own address, so that one hostile host cannot take every place from a
// monitor elsewhere; it keeps it for at most LifetimeMs and ByteLimit bytes sent, whatever it does, so
// that no peer can hold the relay's memory or its port. A browser that polls opens a new connection
// when one is closed.
class WebListener final : public QTcpServer
{
public:
    static constexpr int MaxConnections = 16;
    static constexpr int MaxPerAddress = 8;
    static constexpr int LifetimeMs = 10000;
    static constexpr qint64 ByteLimit = 32768;

    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    int Open = 0;
    QHash<QString, int> OpenFrom;
};
