#pragma once

#include "net/CLinkSocket.h"
#include "serial/RetryTimer.h"
#include "sources/MessageStream.h"
#include "sources/TimeSource.h"

// A server of a client relay: an attempt each second until it answers (the first tick only arms, so
// the first attempt comes two seconds after the start), its clock texts as values, its last words or
// its close as a loss, and then sought again, a server that said "Rejected" only every 10 s.
class ServerSource final : public TimeSource, public LinkOwner
{
public:
    // What its socket reports goes to the router, which hands it back here.
    ServerSource(SourceListener& listener, LinkOwner& router);

    void Configure(const QString& host, int port);
    std::optional<SourceFault> Open() override;
    void Seek() override;
    void Stop() override;
    bool IsOpen() const override { return Socket.IsConnected() && !Retry.IsActive(); }
    SourceKind Kind() const override { return SourceKind::Server; }
    QString Name() const override { return Host; }
    QString Where() const override { return Socket.PeerText(); }
    PlaceReport Report() const override;
    LinkOwner* LinkOf(const CLinkSocket* socket) override { return socket == &Socket ? this : nullptr; }
    int RetryTimerId() const override { return Retry.Id(); }

    void OnLinkAccept() override { }
    void OnLinkConnect(CLinkSocket* socket) override;
    void OnLinkReceive(CLinkSocket* socket) override;
    void OnLinkClose(CLinkSocket* socket) override;
    void OnLinkConnectFailed(CLinkSocket* socket, const QString& why, bool nameUnknown) override;

    static constexpr int RetryMs = 1000;
    static constexpr int RejectedRetryMs = 10000;

    CLinkSocket Socket;

private:
    void OnTimer();
    void Lost(const QByteArray& word);

    SourceListener& Listener;
    QString Host;
    int Port = 0;
    // The server's messages, found in the stream whatever its segments.
    MessageStream Incoming;
    RetryTimer Retry;
    int ConnectArmed = 0;
    bool RejectedByServer = false;
    // Why it could not be reached, as it was last told.
    QString Fault;
};
