#include "app/CommandLine.h"
#include "app/Questions.h"
#include "app/RelayAlone.h"
#include "service/Log.h"
#include "service/LogWriter.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>

// The relay without a window, linking no GUI library: what a service and `Horaline --headless` run.
int main(int argc, char* argv[])
{
    OpenMissingStandardDescriptors();
    const LaunchRequest request = ReadCommandLine(argc, argv, Program::Relay);
    if (request.exitCode)
        return *request.exitCode;
    if (!request.settings.isEmpty())
        SettingsFile::Name(request.settings);
    if (request.status || request.check)
        return AnswerQuestion(request, argc, argv, Program::Relay);
    InstallLogFormat();
    InstallLogWriter();
    int exitCode = 0;
    {
        QCoreApplication application(argc, argv);
        NameApplication(Program::Relay);
        exitCode = RunRelayAlone();
    }
    FlushLog(500);
    return exitCode;
}
