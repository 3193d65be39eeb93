#include "app/CRelayApp.h"
#include "app/CommandLine.h"
#include "app/Log.h"
#include "app/LogWriter.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    OpenMissingStandardDescriptors();
    const LaunchRequest request = ReadCommandLine(argc, argv);
    if (request.exitCode)
        return *request.exitCode;
    // Decided before the application exists: the platform cannot change afterwards.
    if (request.headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    InstallLogFormat();
    InstallLogWriter();
    int exitCode = 0;
    {
        QApplication application(argc, argv);
        CRelayApp relayApp;
        relayApp.InitInstance(request.headless);
        exitCode = relayApp.ExitCode;
    }
    FlushLog(500);
    return exitCode;
}
