#include "app/Log.h"
#include "app/LogWriter.h"
#include "app/RelayAlone.h"

#include <QCoreApplication>
#include <QFileInfo>

// The relay without a window, linking no GUI library: what `Horaline --headless` runs.
int main(int argc, char* argv[])
{
    OpenMissingStandardDescriptors();
    InstallLogFormat();
    InstallLogWriter();
    int exitCode = 0;
    {
        QCoreApplication application(argc, argv);
        const QByteArray name = qgetenv(ApplicationNameVariable);
        QCoreApplication::setApplicationName(name.isEmpty() ? QStringLiteral("Horaline") : QFile::decodeName(name));
        QCoreApplication::setOrganizationName(QStringLiteral("Remote Tickview System"));
        exitCode = RunRelayAlone();
    }
    FlushLog(500);
    return exitCode;
}
