#include "app/CRelayApp.h"
#include "app/CommandLine.h"
#include "app/Log.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    const LaunchRequest request = ReadCommandLine(argc, argv);
    if (request.exitCode)
        return *request.exitCode;
    // Decided before the application exists: the platform cannot change afterwards.
    if (request.headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    InstallLogFormat();
    QApplication application(argc, argv);
    CRelayApp relayApp;
    relayApp.InitInstance(request.headless);
    return 0;
}
