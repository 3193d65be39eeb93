#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QPointer>

class CLinkSocket;
class QString;

// Who a link socket reports to: accept, connect, receive, send and close, each once it has happened, and
// a connection attempt that failed.
class LinkOwner
{
public:
    virtual void OnLinkAccept() = 0;
    virtual void OnLinkConnect(CLinkSocket* socket) = 0;
    virtual void OnLinkReceive(CLinkSocket* socket) = 0;
    // Values are never held back for a slow peer: it simply misses those it could not take.
    virtual void OnLinkSend() { }
    virtual void OnLinkClose(CLinkSocket* socket) = 0;
    // An attempt of the client's own connection failed: the system's words, and whether the name given
    // is known at all.
    virtual void OnLinkConnectFailed(CLinkSocket* socket, const QString& why, bool nameUnknown) = 0;

protected:
    ~LinkOwner() = default;
};

class QTcpServer;
class QTcpSocket;

// The one socket class: the listener, the client-mode connection and every accepted connection. Each
// reports accept, connect, receive, send and close to its owner.
class CLinkSocket : public QObject
{
    Q_OBJECT

public:
    explicit CLinkSocket(QObject* parent = nullptr);
    ~CLinkSocket() override;

    void SetOwner(LinkOwner* owner) { Owner = owner; }

    // Listener: every local address, IPv4 and IPv6, on the port. Returns 0 or the errno of the failed step.
    int Listen(quint16 port, int backlog);
    // Takes the next pending connection into a new socket owned by the caller.
    CLinkSocket* Accept();

    // Connection of client mode: makes the socket, then one attempt at a time.
    int Create();
    // Starts an attempt unless one is under way or the socket is connected; the name is resolved in
    // the background, so the relay never waits on it.
    void Connect(const QString& host, quint16 port);
    // Ends the connection and keeps the socket for the next attempt; no close is reported for it.
    void Disconnect();

    // Queued for sending at once; nothing is sent to a peer that has this much unsent already.
    bool Send(const QByteArray& bytes, qint64 backlogLimit);
    QByteArray Receive(qint64 maximum);
    qint64 BytesAvailable() const;
    // What is queued and not yet taken by the system.
    qint64 Unsent() const;
    // Whether the peer has taken nothing of what waits for it for this long: a display that stopped
    // reading, or a host that is gone. Asked as values are sent.
    bool Stalled(qint64 limitMs);
    // The system's socket, for what Qt does not say (its options, what waits in it); -1 when none.
    qintptr Descriptor() const;
    // The peer as the log names it: address:port.
    QString PeerText() const;
    bool IsConnected() const { return Established; }
    // When the connection was made; invalid while there is none.
    QDateTime ConnectedSince() const { return Since; }
    QHostAddress PeerAddress() const;
    // Sends the last words, then closes; what the peer sent is discarded first so that it is not reset.
    void SendAndClose(const QByteArray& lastWords);
    void Close();

private:
    void Adopt(QTcpSocket* connection, bool accepted);
    void ReportClose();

    LinkOwner* Owner = nullptr;
    // A connection that was made: only its end is a close, and it is reported once.
    bool Established = false;
    // The client's own connection is being tried: a failure now is an attempt failed, not a close.
    bool Attempting = false;
    QDateTime Since;
    QPointer<QTcpServer> Server;
    QPointer<QTcpSocket> Connection;
    // Bytes handed to the system, and how many of them the peer had taken when last asked.
    qint64 Handed = 0;
    qint64 Taken = 0;
    bool Waiting = false;
    QElapsedTimer SinceTaken;
};

// Whether the process may make a TCP socket at all: 0, or the errno of the attempt.
int ProbeSocket();

// The explanation of a Windows Sockets error code, as the operator's messages word it.
QString SocketErrorText(int code);

// The Windows Sockets code of a POSIX errno, where there is one.
int SocketErrorCode(int posixError);

// What to tell the operator about a failed socket call: the table's text, or the system's.
QString SocketFailureText(int posixError);
