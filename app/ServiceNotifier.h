#pragma once

#include <QObject>

class QString;

// Tells systemd how the relay stands, as a Type=notify service does: ready once it runs or waits for what
// it lacks, each status text (for `systemctl status`), that the event loop still turns (the watchdog, at
// half the interval systemd asked for) and that it reloads or ends. Nothing where no manager listens.
class ServiceNotifier final : public QObject
{
public:
    explicit ServiceNotifier(QObject* parent = nullptr);

    void Ready();
    void Status(const QString& text);
    void Reloading();
    void Stopping();
};
