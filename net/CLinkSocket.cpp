#include "net/CLinkSocket.h"

#include "net/AllowList.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

// Some four hundred clock texts: far more than a peer of this protocol ever has in flight.
constexpr qint64 ReadBufferLimit = 4096;
// A client has nothing to say. What one sends anyway stays in the system once this is full, and TCP
// holds the sender back: a flood costs no reading at all.
constexpr qint64 AcceptedReadLimit = 64;

// A clock display that vanished without a word is found within about a minute, not two hours.
void KeepAlive(QTcpSocket* connection)
{
    connection->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const int fd = int(connection->socketDescriptor());
    const int idle = 30;
    const int interval = 10;
    const int probes = 3;
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
}

} // namespace

CLinkSocket::CLinkSocket(QObject* parent)
    : QObject(parent)
{ }

CLinkSocket::~CLinkSocket()
{
    Close();
}

int CLinkSocket::Listen(quint16 port, int backlog)
{
    Close();
    // Made by hand rather than by QTcpServer::listen, which hides the system's reason for a failure.
    // One socket for IPv4 and IPv6 alike; a system without IPv6 gets an IPv4 one.
    int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const bool dualStack = fd >= 0;
    if (!dualStack)
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return errno;
    const int reuse = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in6 any6 {};
    sockaddr_in any4 {};
    sockaddr* address = reinterpret_cast<sockaddr*>(&any4);
    socklen_t size = sizeof any4;
    if (dualStack) {
        const int both = 0;
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &both, sizeof both);
        any6.sin6_family = AF_INET6;
        any6.sin6_addr = in6addr_any;
        any6.sin6_port = htons(port);
        address = reinterpret_cast<sockaddr*>(&any6);
        size = sizeof any6;
    } else {
        any4.sin_family = AF_INET;
        any4.sin_addr.s_addr = htonl(INADDR_ANY);
        any4.sin_port = htons(port);
    }
    if (::bind(fd, address, size) != 0 || ::listen(fd, backlog) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    Server = new QTcpServer(this);
    Server->setListenBacklogSize(backlog);
    if (!Server->setSocketDescriptor(fd)) {
        ::close(fd);
        Close();
        return EINVAL;
    }
    connect(Server, &QTcpServer::newConnection, this, [this] {
        while (Owner != nullptr && Server != nullptr && Server->hasPendingConnections())
            Owner->OnLinkAccept();
    });
    return 0;
}

CLinkSocket* CLinkSocket::Accept()
{
    QTcpSocket* connection = Server != nullptr ? Server->nextPendingConnection() : nullptr;
    if (connection == nullptr)
        return nullptr;
    auto* accepted = new CLinkSocket;
    accepted->SetOwner(Owner);
    accepted->Adopt(connection, true);
    return accepted;
}

int CLinkSocket::Create()
{
    Close();
    // Qt makes the system socket only when it connects; a probe finds out now whether one can be made.
    if (const int error = ProbeSocket(); error != 0)
        return error;
    Adopt(new QTcpSocket, false);
    return 0;
}

void CLinkSocket::Connect(const QString& host, quint16 port)
{
    if (Connection != nullptr && Connection->state() == QAbstractSocket::UnconnectedState) {
        Attempting = true;
        Connection->connectToHost(host, port);
    }
}

void CLinkSocket::Disconnect()
{
    Established = false;
    Attempting = false;
    if (Connection != nullptr)
        Connection->abort();
}

void CLinkSocket::Adopt(QTcpSocket* connection, bool accepted)
{
    Connection = connection;
    connection->setParent(this);
    connection->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // What a peer sends waits in the system, not here: past this TCP holds the sender back, so that no
    // flood grows the program.
    connection->setReadBufferSize(accepted ? AcceptedReadLimit : ReadBufferLimit);
    Established = accepted;
    Since = accepted ? QDateTime::currentDateTimeUtc() : QDateTime();
    Handed = Taken = 0;
    Waiting = false;
    if (accepted)
        KeepAlive(connection);
    connect(connection, &QTcpSocket::connected, this, [this] {
        // A server that died without a word is found as a display that did is.
        KeepAlive(Connection);
        Established = true;
        Attempting = false;
        Since = QDateTime::currentDateTimeUtc();
        if (Owner != nullptr)
            Owner->OnLinkConnect(this);
    });
    connect(connection, &QTcpSocket::readyRead, this, [this] {
        if (Owner != nullptr)
            Owner->OnLinkReceive(this);
    });
    connect(connection, &QTcpSocket::bytesWritten, this, [this](qint64 count) {
        Handed += count;
        if (Owner != nullptr)
            Owner->OnLinkSend();
    });
    // A reset or a dead peer ends a connection just as an orderly close does. A failed attempt of the
    // client's own connection is not a close: its timer simply tries again.
    connect(connection, &QTcpSocket::disconnected, this, &CLinkSocket::ReportClose);
    connect(connection, &QTcpSocket::errorOccurred, this, &CLinkSocket::ReportClose);
}

void CLinkSocket::ReportClose()
{
    if (!Established) {
        if (std::exchange(Attempting, false) && Owner != nullptr && Connection != nullptr)
            Owner->OnLinkConnectFailed(this, Connection->errorString(),
                                       Connection->error() == QAbstractSocket::HostNotFoundError);
        return;
    }
    Established = false;
    if (Owner != nullptr)
        Owner->OnLinkClose(this);
}

bool CLinkSocket::Send(const QByteArray& bytes, qint64 backlogLimit)
{
    if (Connection == nullptr || Connection->state() != QAbstractSocket::ConnectedState
        || Connection->bytesToWrite() > backlogLimit)
        return false;
    Connection->write(bytes);
    Connection->flush();
    return true;
}

QByteArray CLinkSocket::Receive(qint64 maximum)
{
    return Connection != nullptr ? Connection->read(maximum) : QByteArray();
}

qint64 CLinkSocket::BytesAvailable() const
{
    return Connection != nullptr ? Connection->bytesAvailable() : 0;
}

qint64 CLinkSocket::Unsent() const
{
    return Connection != nullptr ? Connection->bytesToWrite() : 0;
}

qintptr CLinkSocket::Descriptor() const
{
    return Connection != nullptr ? Connection->socketDescriptor() : -1;
}

bool CLinkSocket::Stalled(qint64 limitMs)
{
    if (Connection == nullptr)
        return false;
    // What the system still holds has not been acknowledged by the peer.
    int held = 0;
    if (::ioctl(int(Descriptor()), SIOCOUTQ, &held) != 0)
        return false;
    const qint64 taken = Handed - held;
    const bool waiting = held > 0 || Connection->bytesToWrite() > 0;
    // The time counts from when something began to wait, or from the last byte the peer took.
    if (taken != Taken || !Waiting) {
        Taken = taken;
        SinceTaken.start();
    }
    Waiting = waiting;
    return waiting && SinceTaken.elapsed() > limitMs;
}

QHostAddress CLinkSocket::PeerAddress() const
{
    return Connection != nullptr ? PlainAddress(Connection->peerAddress()) : QHostAddress();
}

QString CLinkSocket::PeerText() const
{
    if (Connection == nullptr)
        return QString();
    const QHostAddress peer = PeerAddress();
    const QString address = peer.protocol() == QAbstractSocket::IPv6Protocol
        ? QStringLiteral("[%1]").arg(peer.toString())
        : peer.toString();
    return QStringLiteral("%1:%2").arg(address).arg(Connection->peerPort());
}

void CLinkSocket::SendAndClose(const QByteArray& lastWords)
{
    if (Connection != nullptr && Connection->state() == QAbstractSocket::ConnectedState) {
        Connection->readAll();
        Connection->write(lastWords);
        Connection->flush();
    }
    Close();
}

void CLinkSocket::Close()
{
    // Silenced first: closing must not report back into an owner that may be tearing itself down.
    // Deleted later, as this may run inside a notification of the very connection being closed.
    Established = false;
    if (Connection != nullptr) {
        Connection->disconnect(this);
        Connection->abort();
        Connection->deleteLater();
        Connection = nullptr;
    }
    if (Server != nullptr) {
        Server->disconnect(this);
        Server->close();
        Server->deleteLater();
        Server = nullptr;
    }
}

int ProbeSocket()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return errno;
    ::close(probe);
    return 0;
}

QString SocketErrorText(int code)
{
    switch (code) {
    case 10024:
        return QStringLiteral("No more file descriptors are available.");
    case 10036:
        return QStringLiteral("A blocking Windows Sockets operation\nis in progress.");
    case 10041:
        return QStringLiteral("The specified port is the wrong type\nfor this socket");
    case 10043:
        return QStringLiteral("The specified port is not supported");
    case 10044:
        return QStringLiteral("The specified socket type is not supported\nin this address family");
    case 10047:
        return QStringLiteral("The specified address family is not supported.");
    case 10050:
        return QStringLiteral("The Windows Sockets implementation detected\nthat the network subsystem failed.");
    case 10055:
        return QStringLiteral("No buffer space is available.\n The socket cannot be created");
    case 10093:
        return QStringLiteral("A successful 'AfxSocketInit' must occur\nbefore using 'Create'.");
    default:
        return QStringLiteral("unknown");
    }
}

int SocketErrorCode(int posixError)
{
    switch (posixError) {
    case EMFILE:
    case ENFILE:
        return 10024;
    case EINPROGRESS:
        return 10036;
    case EPROTOTYPE:
        return 10041;
    case EPROTONOSUPPORT:
        return 10043;
    case ESOCKTNOSUPPORT:
        return 10044;
    case EAFNOSUPPORT:
        return 10047;
    case ENETDOWN:
        return 10050;
    case ENOBUFS:
    case ENOMEM:
        return 10055;
    default:
        return 0;
    }
}

QString SocketFailureText(int posixError)
{
    const int code = SocketErrorCode(posixError);
    return code != 0 ? SocketErrorText(code) : QString::fromLocal8Bit(std::strerror(posixError));
}
