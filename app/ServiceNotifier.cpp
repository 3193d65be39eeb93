#include "app/ServiceNotifier.h"

#include <QString>
#include <QTimer>
#include <systemd/sd-daemon.h>

ServiceNotifier::ServiceNotifier(QObject* parent)
    : QObject(parent)
{
    uint64_t intervalUs = 0;
    if (sd_watchdog_enabled(0, &intervalUs) <= 0 || intervalUs == 0)
        return;
    // From the event loop itself: a relay that no longer turns it is no longer fed, and systemd restarts it.
    auto* watchdog = new QTimer(this);
    watchdog->setInterval(int(qMax<uint64_t>(1, intervalUs / 2000)));
    connect(watchdog, &QTimer::timeout, this, [] { sd_notify(0, "WATCHDOG=1"); });
    watchdog->start();
}

void ServiceNotifier::Ready()
{
    sd_notify(0, "READY=1");
}

void ServiceNotifier::Status(const QString& text)
{
    // One line: the protocol ends an assignment at a newline.
    const QByteArray line = "STATUS=" + text.simplified().toUtf8();
    sd_notify(0, line.constData());
}

void ServiceNotifier::Reloading()
{
    sd_notify(0, "RELOADING=1");
}

void ServiceNotifier::Stopping()
{
    sd_notify(0, "STOPPING=1");
}
