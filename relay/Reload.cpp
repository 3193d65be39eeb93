#include "relay/LineSource.h"
#include "relay/RelayController.h"
#include "relay/RelayLog.h"
#include "relay/ServerSource.h"
#include "relay/SettingsLists.h"

#include <QFileInfo>

namespace {

void Compare(QStringList& changes, const QString& name, const QString& before, const QString& after)
{
    if (before != after)
        changes.append(QStringLiteral("%1 %2 -> %3").arg(name, before, after));
}

// Where the line's name led when it opened and where it leads now: the path as [Ports] writes it, and
// the device node behind it.
struct LineWay
{
    QString written;
    QString device;
};

// What differs from the configuration it runs, e.g. "InComName COM3 -> COM4"; the line's way now is
// nothing while it is not open.
QStringList ChangesTo(const RelayConfig& now, const RelayConfig& next, const QString& allowedNow,
                      const QString& allowedNext, const LineWay& way, const std::optional<LineWay>& wayNext)
{
    QStringList changes;
    const bool server = now.RelayMode == 1;
    if (server) {
        Compare(changes, QStringLiteral("InComName"), now.InComName, next.InComName);
        Compare(changes, QStringLiteral("InComSpeed"), now.InComSpeed, next.InComSpeed);
        Compare(changes, QStringLiteral("ServerPort"), QString::number(now.ServerPort),
                QString::number(next.ServerPort));
        Compare(changes, QStringLiteral("[Clients] Allow"), allowedNow, allowedNext);
    } else {
        Compare(changes, QStringLiteral("OutComName"), now.OutComName, next.OutComName);
        Compare(changes, QStringLiteral("OutComSpeed"), now.OutComSpeed, next.OutComSpeed);
        Compare(changes, QStringLiteral("ServerName"), now.ServerName, next.ServerName);
        Compare(changes, QStringLiteral("ServerPort"), QString::number(now.ClientPort),
                QString::number(next.ClientPort));
    }
    if (next.Standby != now.Standby)
        changes.append(QStringLiteral("[Standby]"));
    const QString& name = server ? now.InComName : now.OutComName;
    if (name != (server ? next.InComName : next.OutComName) || !wayNext)
        return changes;
    // Said as the administrator wrote it; a link that now leads elsewhere (an adapter re-plugged) by its nodes.
    if (way.written != wayNext->written)
        Compare(changes, QStringLiteral("[Ports] %1").arg(name), way.written, wayNext->written);
    else
        Compare(changes, QStringLiteral("[Ports] %1=%2 leads to").arg(name, way.written), way.device, wayNext->device);
    return changes;
}

} // namespace

void RelayController::Reload(const RelayConfig& config, const QStringList& changedElsewhere)
{
    const bool server = Config.RelayMode == 1;
    auto* input = server ? static_cast<LineSource*>(Sources[size_t(Source::Primary)].get()) : nullptr;
    SerialLine* line = server ? (input != nullptr ? &input->Line : nullptr) : &Display.Line;
    // The same name may stand for another device now: an adapter moved to another socket, say.
    const std::optional<LineWay> wayNow = line != nullptr && line->IsOpen()
        ? std::optional<LineWay>({line->DeviceNow(), QFileInfo(line->DeviceNow()).canonicalFilePath()})
        : std::nullopt;
    const std::optional<QString> deviceNow = wayNow ? std::optional<QString>(wayNow->device) : std::nullopt;
    const AllowList allowed = LoadAllowList();
    const QStringList changes = ChangesTo(Config, config, Clients.Allowed().Text(), allowed.Text(),
                                          line != nullptr ? LineWay {line->Written, line->Device} : LineWay(), wayNow)
        + changedElsewhere;
    qCInfo(lcRelay).noquote() << "settings read again:"
                              << (changes.isEmpty() ? QStringLiteral("nothing changed")
                                                    : changes.join(QStringLiteral(", ")));
    const bool lineChanged = server
        ? config.InComName != Config.InComName || config.InComSpeed != Config.InComSpeed
        : config.OutComName != Config.OutComName || config.OutComSpeed != Config.OutComSpeed;
    const bool deviceMoved = deviceNow && line != nullptr && *deviceNow != line->Device;
    const bool portChanged = config.ServerPort != Config.ServerPort;
    const bool serverChanged = config.ServerName != Config.ServerName || config.ClientPort != Config.ClientPort;
    const bool standbyChanged = config.Standby != Config.Standby;
    Config = config;
    if (RunFlag == 0)
        return;
    if (standbyChanged) {
        for (const Source spare : {Source::Standby, Source::OwnClock}) {
            if (Sources[size_t(spare)])
                Sources[size_t(spare)]->Stop();
            Sources[size_t(spare)].reset();
        }
        StartSources();
    }
    if (server) {
        Clients.ApplyAllowList(allowed);
        if (portChanged)
            Clients.MoveTo(config.ServerPort);
    }
    TimeSource& primary = *Sources[size_t(Source::Primary)];
    if (!server && serverChanged) {
        Silence.Stop();
        primary.Stop();
        static_cast<ServerSource&>(primary).Configure(config.ServerName, config.ClientPort);
        primary.Open();
    }
    // A line being retried is tried next under its new name; an open one is reopened only if it changed.
    line->Configure(server ? config.InComName : config.OutComName, server ? config.InComSpeed : config.OutComSpeed);
    if (line->Reopening() || !(lineChanged || deviceMoved))
        return;
    if (!server)
        return Display.Reopen();
    Silence.Stop();
    primary.Stop();
    OpenInputPort();
}
