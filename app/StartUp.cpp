#include "app/StartUp.h"

#include "service/Log.h"
#include "service/LogWriter.h"
#include "service/SettingsCheck.h"
#include "service/StatusQuery.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>

LaunchRequest StartUp(int argc, char* argv[], Program program)
{
    OpenMissingStandardDescriptors();
    LaunchRequest request = ReadCommandLine(argc, argv, program);
    if (request.exitCode)
        return request;
    if (!request.settings.isEmpty())
        SettingsFile::Name(request.settings);
    if (request.status || request.check) {
        const QCoreApplication application(argc, argv);
        NameApplication(program);
        request.exitCode = request.check ? PrintSettingsCheck() : QueryStatus(request.json);
    }
    return request;
}

int RunLogged(const std::function<int()>& run)
{
    InstallLogFormat();
    InstallLogWriter();
    const int exitCode = run();
    FlushLog(500);
    return exitCode;
}
