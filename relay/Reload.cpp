#include "relay/RelayController.h"
#include "relay/RelayLog.h"
#include "serial/PortMessages.h"

#include <QFileInfo>

namespace {

void Compare(QStringList& changes, const QString& name, const QString& before, const QString& after)
{
    if (before != after)
        changes.append(QStringLiteral("%1 %2 -> %3").arg(name, before, after));
}

} // namespace

QStringList RelayController::ChangesTo(const RelayConfig& config, const AllowList& allowed,
                                       const std::optional<QString>& deviceNow) const
{
    QStringList changes;
    const bool server = RelayMode == 1;
    const PortSide side = server ? PortSide::Input : PortSide::Output;
    if (server) {
        Compare(changes, QStringLiteral("InComName"), InComName, config.InComName);
        Compare(changes, QStringLiteral("InComSpeed"), InComSpeed, config.InComSpeed);
        Compare(changes, QStringLiteral("ServerPort"), QString::number(ServerPort), QString::number(config.ServerPort));
        Compare(changes, QStringLiteral("[Clients] Allow"), Allowed.Text(), allowed.Text());
    } else {
        Compare(changes, QStringLiteral("OutComName"), OutComName, config.OutComName);
        Compare(changes, QStringLiteral("OutComSpeed"), OutComSpeed, config.OutComSpeed);
        Compare(changes, QStringLiteral("ServerName"), ServerName, config.ServerName);
        Compare(changes, QStringLiteral("ServerPort"), QString::number(ClientPort), QString::number(config.ClientPort));
    }
    if (config.Standby != Standby)
        changes.append(QStringLiteral("[Standby]"));
    if (PortName(side) == (server ? config.InComName : config.OutComName) && deviceNow)
        Compare(changes, QStringLiteral("[Ports] %1").arg(PortName(side)), SerialDevice, *deviceNow);
    return changes;
}

void RelayController::Reload(const RelayConfig& config)
{
    const bool server = RelayMode == 1;
    const PortSide side = server ? PortSide::Input : PortSide::Output;
    // The same name may stand for another device now: an adapter moved to another socket, say.
    const std::optional<QString> deviceNow
        = SerialHandle >= 0 ? std::optional<QString>(QFileInfo(LineDevice(side)).canonicalFilePath()) : std::nullopt;
    const AllowList allowed = AllowList::Load();
    const QStringList changes = ChangesTo(config, allowed, deviceNow);
    qCInfo(lcRelay).noquote() << "settings read again:"
                              << (changes.isEmpty() ? QStringLiteral("nothing changed")
                                                    : changes.join(QStringLiteral(", ")));
    const bool lineChanged = server ? config.InComName != InComName || config.InComSpeed != InComSpeed
                                    : config.OutComName != OutComName || config.OutComSpeed != OutComSpeed;
    const bool deviceMoved = deviceNow && *deviceNow != SerialDevice;
    const bool portChanged = config.ServerPort != ServerPort;
    const bool serverChanged = config.ServerName != ServerName || config.ClientPort != ClientPort;
    const bool standbyChanged = config.Standby != Standby;
    TakeConfig(config);
    if (RunFlag == 0)
        return;
    if (standbyChanged)
        RestartStandby();

    if (server)
        ApplyAllowList(allowed);
    // A retry under way listens on the port as it stands now. Connected displays keep their
    // connections: only the listener moves.
    if (server && portChanged && !ListenRetry.IsActive()) {
        ListenSocket.Close();
        ListeningFlag = 0;
        if (OpenListener() != 0)
            KeepListening();
    }
    if (!server && serverChanged) {
        ConnectSocket.Disconnect();
        Silence.Stop();
        ServerFault.clear();
        RejectedByServer = false;
        ConnectArmed = 1;
        StartConnectTimer(1000);
    }
    // A line being retried is tried next under its new name; an open one is reopened only if it changed.
    if (LineRetry.IsActive() || !(lineChanged || deviceMoved))
        return;
    if (server) {
        Silence.Stop();
        StopReader();
    }
    CloseSerialPort();
    if (const std::optional<PortFault> fault = TryOpenSerialPort(side))
        AwaitLine(side, PortFailureMessage(side, *fault, PortName(side)).text, fault->error);
    else
        ResumeLine(side);
}

void RelayController::RestartStandby()
{
    StopStandby();
    if (StandbyHandle >= 0) {
        StopReader();
        CloseStandbyLine();
        if (SerialHandle >= 0)
            StartReader();
    }
    StartStandby();
}
