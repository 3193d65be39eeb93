#include "service/ServiceNotifier.h"

#include <QString>
#include <QTimer>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

ServiceNotifier::ServiceNotifier(QObject* parent)
    : QObject(parent)
{
    OpenManagerSocket();
    uint64_t intervalUs = 0;
    if (sd_watchdog_enabled(0, &intervalUs) <= 0 || intervalUs == 0)
        return;
    // From the event loop itself: a relay that no longer turns it is no longer fed, and systemd restarts it.
    auto* watchdog = new QTimer(this);
    watchdog->setInterval(int(qMax<uint64_t>(1, intervalUs / 2000)));
    connect(watchdog, &QTimer::timeout, this, [this] { Send("WATCHDOG=1"); });
    watchdog->start();
}

ServiceNotifier::~ServiceNotifier()
{
    if (Socket >= 0)
        ::close(Socket);
}

void ServiceNotifier::OpenManagerSocket()
{
    // A path, or an abstract name after '@'.
    const QByteArray path = qgetenv("NOTIFY_SOCKET");
    if (path.isEmpty() || (path[0] != '/' && path[0] != '@') || size_t(path.size()) >= sizeof Address.sun_path)
        return;
    Address.sun_family = AF_UNIX;
    std::memcpy(Address.sun_path, path.constData(), size_t(path.size()));
    if (path[0] == '@')
        Address.sun_path[0] = '\0';
    AddressSize = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(path.size()) + (path[0] == '/' ? 1 : 0));
    Socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

void ServiceNotifier::Send(const QByteArray& message)
{
    // libsystemd's sd_notify waits while the manager's queue is full; a stalled manager must never stall
    // the relay, so the same datagram goes without waiting, or not at all.
    if (Socket >= 0)
        ::sendto(Socket, message.constData(), size_t(message.size()), MSG_DONTWAIT | MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&Address), AddressSize);
}

void ServiceNotifier::Ready()
{
    Send("READY=1");
}

void ServiceNotifier::Status(const QString& text)
{
    // One line: the protocol ends an assignment at a newline.
    Send("STATUS=" + text.simplified().toUtf8());
}

void ServiceNotifier::Reloading()
{
    Send("RELOADING=1");
}

void ServiceNotifier::Stopping()
{
    Send("STOPPING=1");
}
