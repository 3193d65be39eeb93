#pragma once

#include <QStringList>

// Starts the program, runs the main window for the life of the process and ends when it closes.
class CRelayApp
{
public:
    // Always false: the process ends once the window has closed. Headless it runs the relay alone,
    // where no box ever waits for a person: each is logged and answered with its default button.
    bool InitInstance(bool headless = false);

    // What the process ends with: 0, 78 (EX_CONFIG) for settings that can never run without a window,
    // 1 when the network layer cannot be used or a relay without a window could not start.
    int ExitCode = 0;
    // Where the window goes and its title, when the command line asks (Qt's -qwindowgeometry, -qwindowtitle).
    QString WindowGeometry;
    QString WindowTitle;

private:
    void RunWindow(const QStringList& statusSockets);
    // Another Horaline runs on these settings: its window comes to the front. The exit status.
    static int BringOtherToFront(qint64 pid);
};
