#pragma once

#include "app/CommandLine.h"

#include <QObject>
#include <functional>

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

// What both programs do before anything runs: the standard descriptors made safe, the command line read,
// the settings named, and `--status` or `--check` answered on the standard output (nothing runs and
// nothing is written then). The request, with its exitCode set where the program is to end with it.
LaunchRequest StartUp(int argc, char* argv[], Program program);

// Runs the program with the log installed, and gives the log a moment to write what it holds at the end.
int RunLogged(const std::function<int()>& run);
