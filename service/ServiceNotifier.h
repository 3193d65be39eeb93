#pragma once

#include <QByteArray>
#include <QObject>
#include <sys/socket.h>
#include <sys/un.h>

class QString;

// Tells systemd how the relay stands, as a Type=notify service does: ready once it runs or waits for what
// it lacks, each status text (for `systemctl status`), that the event loop still turns (the watchdog, at
// half the interval systemd asked for) and that it reloads or ends. Nothing where no manager listens, and
// nothing waits for a manager that does not read.
class ServiceNotifier final : public QObject
{
public:
    explicit ServiceNotifier(QObject* parent = nullptr);
    ~ServiceNotifier() override;

    void Ready();
    void Status(const QString& text);
    void Reloading();
    void Stopping();

private:
    void OpenManagerSocket();
    void Send(const QByteArray& message);

    int Socket = -1;
    sockaddr_un Address {};
    socklen_t AddressSize = 0;
};
