#pragma once

#include "net/AllowList.h"

#include <QHash>
#include <QTcpServer>
#include <functional>

// The web port's listener: a peer the allow-list refuses is closed at once and never holds a place; one
// it admits gets a connection only while fewer than MaxConnections are open, and fewer than
// MaxPerAddress from its own address, so that one hostile host cannot take every place from a
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
    // What the system holds for a screen on its way: small, so that a screen that reads nothing is found
    // after a few hundred values rather than after megabytes.
    static constexpr int ScreenSendBuffer = 8192;

    using QTcpServer::QTcpServer;

    // Who may connect from now on; those connected already are asked at their next request.
    void Allow(const AllowList& allowed) { Allowed = allowed; }
    // A screen's request for the clock's feed takes no place of the port's and no limit of a request's
    // time or bytes: it is let through while `room` says so, and answered 503 otherwise, which `refused`
    // hears.
    void ScreensBy(std::function<bool()> room, std::function<void()> refused)
    {
        ScreenRoom = std::move(room);
        ScreenRefused = std::move(refused);
    }
    // Whether the last request the peer sent was HTTP/1.0, which ends its connection after the answer
    // unless it asks to keep it.
    static bool SpeaksHttp10(const QTcpSocket* socket);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    AllowList Allowed;
    std::function<bool()> ScreenRoom;
    std::function<void()> ScreenRefused;
    int Open = 0;
    QHash<QString, int> OpenFrom;
};
