#include "app/StartUp.h"

#include "service/Log.h"
#include "service/SettingsCheck.h"
#include "service/StatusQuery.h"
#include "settings/SettingsPath.h"

#include <QCoreApplication>

LaunchRequest StartUp(int argc, char* argv[], Program program)
{
    OpenMissingStandardDescriptors();
    // GLib's event loop wakes itself with a write each time a socket asks to be told it can write, and
    // again when it no longer asks: two system calls and a turn of the loop around every value sent.
    // Qt's own loop needs none of them. QT_NO_GLIB set, even empty (GLib's loop again), is left as it is.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    LaunchRequest request = ReadCommandLine(argc, argv, program);
    if (request.exitCode)
        return request;
    if (!request.settings.isEmpty())
        NameSettings(request.settings);
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
