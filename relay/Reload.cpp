#include "net/NetLog.h"
#include "relay/RelayController.h"
#include "relay/RelayLog.h"
#include "relay/Strings.h"
#include "serial/PortMessages.h"

#include <QFileInfo>

namespace {

void Compare(QStringList& changes, const QString& name, const QString& before, const QString& after)
{
    if (before != after)
        changes.append(QStringLiteral("%1 %2 -> %3").arg(name, before, after));
}

} // namespace

QStringList RelayController::ChangesTo(const RelayConfig& config, const AllowList& allowed) const
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
    // The same name may stand for another device now: an adapter moved to another socket, say.
    if (PortName(side) == (server ? config.InComName : config.OutComName) && SerialHandle >= 0) {
        const QString device = QFileInfo(LineDevice(side)).canonicalFilePath();
        if (device != SerialDevice)
            Compare(changes, QStringLiteral("[Ports] %1").arg(PortName(side)), SerialDevice, device);
    }
    return changes;
}

void RelayController::Reload(const RelayConfig& config)
{
    const AllowList allowed = AllowList::Load();
    const QStringList changes = ChangesTo(config, allowed);
    qCInfo(lcRelay).noquote() << "settings read again:"
                              << (changes.isEmpty() ? QStringLiteral("nothing changed")
                                                    : changes.join(QStringLiteral(", ")));
    const bool server = RelayMode == 1;
    const PortSide side = server ? PortSide::Input : PortSide::Output;
    const QString& device = SerialDevice;
    const bool lineChanged = server ? config.InComName != InComName || config.InComSpeed != InComSpeed
                                    : config.OutComName != OutComName || config.OutComSpeed != OutComSpeed;
    const bool deviceMoved = SerialHandle >= 0 && QFileInfo(LineDevice(side)).canonicalFilePath() != device;
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
        ReaderRunFlag = 0;
        Reader.Stop();
    }
    CloseSerialPort();
    if (const std::optional<PortFault> fault = TryOpenSerialPort(side))
        AwaitLine(side, PortFailureMessage(side, *fault, PortName(side)).text, fault->error);
    else
        ResumeLine(side);
}

void RelayController::ApplyAllowList(const AllowList& allowed)
{
    Allowed = allowed;
    const QList<CLinkSocket*> clients = ClientList;
    for (CLinkSocket* client : clients) {
        if (Allowed.Admits(client->PeerAddress()))
            continue;
        qCWarning(lcNet).noquote() << "client" << client->PeerText() << "rejected: no longer in [Clients] Allow";
        ClientList.removeOne(client);
        client->SendAndClose(QByteArray(LoadString(IDS_REJECTED)));
        client->deleteLater();
    }
    if (ClientList.size() == clients.size())
        return;
    ClientsFlag = ClientList.isEmpty() ? 0 : 1;
    SetStatus(ClientList.isEmpty() ? QLatin1String(LoadString(IDS_CLIENTS_DISCONNECTED))
                                   : QStringLiteral("%1 Clients connected !").arg(ClientList.size()));
}

void RelayController::RestartStandby()
{
    StopStandby();
    if (StandbyHandle >= 0) {
        ReaderRunFlag = 0;
        Reader.Stop();
        CloseStandbyLine();
        if (SerialHandle >= 0)
            StartReader();
    }
    StartStandby();
}
