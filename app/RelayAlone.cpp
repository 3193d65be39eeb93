#include "app/RelayAlone.h"

#include "app/CommandLine.h"
#include "app/ServiceNotifier.h"
#include "app/SettingsCheck.h"
#include "app/SingleInstance.h"
#include "app/StatusService.h"
#include "app/TerminationSignals.h"
#include "app/WebService.h"
#include "net/CLinkSocket.h"
#include "relay/RelayController.h"
#include "relay/RelayLog.h"
#include "relay/RelaySettings.h"
#include "relay/Strings.h"
#include "relay/UnattendedView.h"
#include "settings/InterruptedWrites.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <cstdlib>
#include <sysexits.h>
#include <unistd.h>

namespace {

// Every problem in the log, the problems first: a service's admin reads the journal from here.
bool TellCheck(const SettingsCheck& check)
{
    for (const QString& problem : check.problems)
        qCCritical(lcSettings).noquote() << problem;
    for (const QString& warning : check.warnings)
        qCWarning(lcSettings).noquote() << warning;
    return check.problems.isEmpty();
}

// SIGHUP: the settings are read again and the relay takes what changed; settings that cannot run leave it
// running as it was, and say so to whoever looks: the log, the status query, the service manager.
void ReadSettingsAgain(RelayController& relay, UnattendedView& view, ServiceNotifier& manager, WebService& web,
                       SingleInstance& instance, StatusService& queries)
{
    manager.Reloading();
    const auto refuse = [&](const QString& why) {
        const QString refused = QStringLiteral("settings refused at reload (%1): the relay runs on as it was").arg(why);
        qCCritical(lcSettings).noquote() << refused;
        relay.Count(Counter::ReloadsRefused);
        relay.RecordFault(refused);
        manager.Ready();
        manager.Status(refused);
    };
    if (const SettingsCheck check = CheckSettings(); !TellCheck(check))
        return refuse(QStringLiteral("%1 problem(s), see the log").arg(check.problems.size()));
    // The path may lead to another file now: this relay is that file's, unless another runs on it.
    if (!instance.Follow())
        return refuse(QStringLiteral("%1 is now a file Horaline pid %2 runs on")
                          .arg(SettingsFile::Path())
                          .arg(instance.OtherPid()));
    queries.Listen(instance.SocketPaths());
    const RelayConfig config = LoadRelaySettings({}).config;
    const QString webBefore = web.Asked();
    // The web port is a part the rest of the settings does not wait for: it follows once it can.
    if (const std::optional<QString> trouble = web.ListenAsSettingsSay()) {
        relay.Count(Counter::ReloadsRefused);
        relay.RecordFault(*trouble);
    }
    QStringList webChanged;
    if (web.Asked() != webBefore)
        webChanged.append(QStringLiteral("[Web] Listen %1 -> %2").arg(webBefore, web.Asked()));
    if (config.RelayMode == relay.Config.RelayMode) {
        relay.Reload(config, webChanged);
    } else {
        qCInfo(lcRelay).noquote() << QStringLiteral("settings read again: ProgMode %1 -> %2: the relay starts anew")
                                         .arg(relay.Config.RelayMode)
                                         .arg(config.RelayMode);
        relay.Stop();
        view.SetMode(config.RelayMode);
        // What could not start, and will not heal by itself, is for the service manager to see.
        if (relay.Start(config, true) == 0)
            QCoreApplication::exit(EX_CONFIG);
    }
    manager.Ready();
}

int RunRelay(const StoredRelay& stored, SingleInstance& instance)
{
    UnattendedView view(stored.config.RelayMode);
    RelayController relay(&view);
    StatusService queries(
        instance.SocketPaths(), [&relay] { return relay.StatusReport(); }, [] { return false; });
    WebService web([&relay] { return relay.StatusReport(); });
    web.ListenAsSettingsSay();
    ServiceNotifier manager;
    QObject::connect(&relay, &RelayController::StatusChanged, &manager, &ServiceNotifier::Status);
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
                   .arg(SettingsFile::Path());
        return EX_CONFIG;
    }
    // Running, or waiting for a line or a port that heals by itself: either way it is what it should be.
    manager.Ready();
    const int status = QCoreApplication::exec();
    manager.Stopping();
    // The running state stays as stored: nobody pressed STOP.
    relay.SetEnding();
    relay.Stop();
    relay.SetListening(false);
    return status;
}

} // namespace

int RunRelayAlone()
{
    SingleInstance instance;
    if (!instance.Acquire()) {
        qCCritical(lcRelay).noquote() << "Horaline already runs on the settings" << SettingsFile::Path()
                                      << QStringLiteral("(pid %1): this one ends").arg(instance.OtherPid());
        return 1;
    }
    if (!SettingsFile::Named())
        ClearInterruptedWrites(SettingsFile::Path());
    if (!ProbeSocket() == 0) {
        qCCritical(lcRelay).noquote() << "box" << QCoreApplication::applicationName() << "-"
                                      << QLatin1String(LoadString(IDS_SOCKETS_INIT_FAILED));
        return 1;
    }
    if (!TellCheck(CheckSettings()))
        return EX_CONFIG;
    qCInfo(lcRelay).noquote() << QCoreApplication::applicationName() << QStringLiteral(HORALINE_VERSION)
                              << "starts without a window, on the settings" << SettingsFile::Path();
    // The settings passed their check: a relay is to run, on what they say.
    const int status = RunRelay(LoadRelaySettings({}), instance);
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
