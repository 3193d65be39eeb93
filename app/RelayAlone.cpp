#include "app/RelayAlone.h"

#include "app/CommandLine.h"
#include "app/StartUp.h"
#include "config/RelaySettings.h"
#include "net/CLinkSocket.h"
#include "relay/RelayController.h"
#include "relay/RelayLog.h"
#include "relay/RelayView.h"
#include "serial/Strings.h"
#include "service/ServiceNotifier.h"
#include "service/SettingsCheck.h"
#include "service/SettingsReload.h"
#include "service/SingleInstance.h"
#include "service/StatusService.h"
#include "service/WebService.h"
#include "settings/SettingsLog.h"
#include "settings/SettingsPath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <cstdlib>
#include <sysexits.h>
#include <unistd.h>

namespace {

int RunRelay(const StoredRelay& stored, SingleInstance& instance)
{
    UnattendedView view(stored.config.RelayMode);
    RelayController relay(&view);
    WebService web([&relay] { return relay.StatusReport(); });
    StatusService queries(
        instance.SocketPaths(), [&web] { return web.Reported(); }, [] { return false; });
    web.ListenAsConfigured(stored.config);
    const RunOutputs::Attachment screens = relay.Outputs.Attach(web.Screens());
    ServiceNotifier manager;
    QObject::connect(&relay, &RelayController::HeadlineChanged, &manager, &ServiceNotifier::Status);
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::Received, &relay, [&](int signalNumber) {
        if (signalNumber == SIGHUP) {
            qCInfo(lcRelay).noquote() << "signal" << signalNumber << "received: reading the settings again";
            ReadSettingsAgain(relay, view, manager, web, instance, queries);
            return;
        }
        qCInfo(lcRelay).noquote() << "signal" << signalNumber << "received: ending in order";
        QCoreApplication::quit();
    });
    // At a launch what heals by itself is waited for: what could not start needs the settings changed, and
    // a service manager must not start it again and again.
    if (relay.Start(stored.config, true) == 0) {
        qCCritical(lcSettings).noquote()
            << QStringLiteral("%1: the relay cannot start on these settings as they stand; the fault is told above")
                   .arg(SettingsPath());
        return EX_CONFIG;
    }
    // Running, or waiting for a line or a port that heals by itself: either way it is what it should be.
    manager.Ready();
    const int status = QCoreApplication::exec();
    manager.Stopping();
    // The running state stays as stored: nobody pressed STOP.
    relay.Ending = true;
    relay.Stop();
    relay.SetListening(false);
    return status;
}

} // namespace

int RunRelayAlone()
{
    SingleInstance instance;
    if (!instance.Acquire()) {
        qCCritical(lcRelay).noquote() << "Horaline already runs on the settings" << SettingsPath()
                                      << QStringLiteral("(pid %1): this one ends").arg(instance.OtherPid());
        return 1;
    }
    if (!SettingsNamed())
        ClearInterruptedWrites(SettingsPath());
    if (ProbeSocket() != 0) {
        qCCritical(lcRelay).noquote() << "box" << QCoreApplication::applicationName() << "-"
                                      << QLatin1String(LoadString(IDS_SOCKETS_INIT_FAILED));
        return 1;
    }
    const LoadedSettings settings = LoadSettings();
    if (!TellCheck(settings.check))
        return EX_CONFIG;
    qCInfo(lcRelay).noquote() << QCoreApplication::applicationName() << QStringLiteral(HORALINE_VERSION)
                              << "starts without a window, on the settings" << SettingsPath();
    // The settings passed their check: a relay is to run, on what they say.
    const int status = RunRelay(settings.stored, instance);
    qCInfo(lcRelay) << "ended";
    return status;
}

void ExecRelayAlone(char* argv[])
{
    const QFileInfo self(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
    const QString relay = self.dir().filePath(QStringLiteral("horaline-relay"));
    if (!QFileInfo(relay).isExecutable())
        return;
    ::setenv(ApplicationNameVariable, QFile::encodeName(self.completeBaseName()).constData(), 1);
    ::execv(QFile::encodeName(relay).constData(), argv);
}
