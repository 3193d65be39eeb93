#include "app/CRelayApp.h"
#include "app/CommandLine.h"
#include "app/Questions.h"
#include "app/RelayAlone.h"
#include "service/Log.h"
#include "service/LogWriter.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <memory>

int main(int argc, char* argv[])
{
    OpenMissingStandardDescriptors();
    const LaunchRequest request = ReadCommandLine(argc, argv, Program::Window);
    if (request.exitCode)
        return *request.exitCode;
    if (!request.settings.isEmpty())
        SettingsFile::Name(request.settings);
    if (request.status || request.check)
        return AnswerQuestion(request, argc, argv, Program::Window);
    if (request.headless)
        ExecRelayAlone(argv);
    InstallLogFormat();
    InstallLogWriter();
    int exitCode = 0;
    {
        // Without a window no GUI is made at all: no platform plugin, no display connection.
        const std::unique_ptr<QCoreApplication> application = request.headless
            ? std::make_unique<QCoreApplication>(argc, argv)
            : std::make_unique<QApplication>(argc, argv);
        CRelayApp relayApp;
        relayApp.WindowGeometry = request.windowGeometry;
        relayApp.WindowTitle = request.windowTitle;
        relayApp.InitInstance(request.headless);
        exitCode = relayApp.ExitCode;
    }
    FlushLog(500);
    return exitCode;
}
