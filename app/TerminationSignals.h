#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (logout, systemctl, kill, a closed terminal) into a Qt signal on the
// event loop, where the window can shut down in order instead of dying with its state unsaved. Without a
// window SIGHUP reads the settings again instead, as other daemons do.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void Received(int signalNumber);

private:
    void Drain();

    QSocketNotifier* Notifier = nullptr;
};
