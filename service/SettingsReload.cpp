#include "service/SettingsReload.h"

#include "config/RelaySettings.h"
#include "config/SettingKeys.h"
#include "relay/RelayController.h"
#include "relay/RelayLog.h"
#include "relay/RelayView.h"
#include "service/ServiceNotifier.h"
#include "service/SingleInstance.h"
#include "service/StatusService.h"
#include "service/WebService.h"
#include "settings/SettingsLog.h"
#include "settings/SettingsPath.h"

#include <QCoreApplication>
#include <sysexits.h>

bool TellCheck(const SettingsCheck& check)
{
    for (const QString& problem : check.problems)
        qCCritical(lcSettings).noquote() << problem;
    for (const QString& warning : check.warnings)
        qCWarning(lcSettings).noquote() << warning;
    return check.problems.isEmpty();
}

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
    const LoadedSettings settings = LoadSettings();
    if (!TellCheck(settings.check))
        return refuse(QStringLiteral("%1 problem(s), see the log").arg(settings.check.problems.size()));
    // The path may lead to another file now: this relay is that file's, unless another runs on it.
    if (!instance.Follow())
        return refuse(
            QStringLiteral("%1 is now a file Horaline pid %2 runs on").arg(SettingsPath()).arg(instance.OtherPid()));
    queries.Listen(instance.SocketPaths());
    const RelayConfig& config = settings.stored.config;
    const QString webBefore = web.Asked();
    // The web port is a part the rest of the settings does not wait for: it follows once it can.
    if (const std::optional<QString> trouble = web.ListenAsConfigured(config)) {
        relay.Count(Counter::ReloadsRefused);
        relay.RecordFault(*trouble);
    }
    QStringList webChanged;
    if (web.Asked() != webBefore)
        webChanged.append(QStringLiteral("%1 %2 -> %3").arg(Key::Listen.Title(), webBefore, web.Asked()));
    if (config.RelayMode == relay.Config.RelayMode) {
        relay.Reload(config, webChanged);
    } else {
        // Another mode is another relay.
        qCInfo(lcRelay).noquote() << QStringLiteral("settings read again: %1 %2 -> %3: the relay starts anew")
                                         .arg(Key::ProgMode.Name, QString::number(relay.Config.RelayMode),
                                              QString::number(config.RelayMode));
        relay.Stop();
        view.SetMode(config.RelayMode);
        // What could not start, and will not heal by itself, is for the service manager to see.
        if (relay.Start(config, true) == 0)
            QCoreApplication::exit(EX_CONFIG);
    }
    manager.Ready();
}
