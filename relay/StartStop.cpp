#include "relay/Boxes.h"
#include "relay/RelayController.h"
#include "relay/RelayLog.h"
#include "serial/PortMessages.h"

void RelayController::TakeConfig(const RelayConfig& config)
{
    RelayMode = config.RelayMode;
    InComName = config.InComName;
    InComSpeed = config.InComSpeed;
    OutComName = config.OutComName;
    OutComSpeed = config.OutComSpeed;
    ServerName = config.ServerName;
    ServerPort = config.ServerPort;
    ClientPort = config.ClientPort;
    Standby = config.Standby;
}

int RelayController::Start(const RelayConfig& config, bool restartAtLaunch)
{
    TakeConfig(config);
    RestartAtLaunch = restartAtLaunch;
    RunSince = QDateTime::currentDateTimeUtc();
    RunClock.start();
    FaultCount = 0;
    LastFault.clear();
    LastFaultAt = QDateTime();
    LastValueText.clear();
    qCInfo(lcRelay).noquote() << (RestartAtLaunch ? "restart at launch -" : "START -") << RunDescription();
    if (config.StandbyFault) {
        MessageBox(*config.StandbyFault, QStringLiteral("Please ..."), MB_OK | MB_ICONEXCLAMATION);
        return RunFlag = 0;
    }
    RunFlag = RelayMode == 1 ? StartServer() : StartClient();
    RestartAtLaunch = false;
    if (RunFlag != 0)
        StartStandby();
    if (RunFlag == 0)
        qCWarning(lcRelay) << "the start failed";
    return RunFlag;
}

QString RelayController::RunDescription() const
{
    const auto line = [this](PortSide side, const QString& speed) {
        const QString device = LineDevice(side);
        return QStringLiteral("%1 = %2 at %3")
            .arg(PortName(side), device.isEmpty() ? QStringLiteral("no device") : device, speed);
    };
    if (RelayMode == 1)
        return QStringLiteral("server: %1, listening on %2").arg(line(PortSide::Input, InComSpeed)).arg(ServerPort);
    return QStringLiteral("client: server %1 port %2, %3")
        .arg(ServerName)
        .arg(ClientPort)
        .arg(line(PortSide::Output, OutComSpeed));
}

void RelayController::Stop()
{
    // The mode as the controls hold it now decides which sequence stops the relay.
    RefreshRelayMode();
    qCInfo(lcRelay) << "STOP";
    if (RelayMode == 1)
        StopServer();
    else
        StopClient();
    RunFlag = 0;
}

int RelayController::StartServer()
{
    SetListening(true);
    // The end of the program may have come while a box of the listener was open.
    if (Ending)
        return 0;
    switch (OpenLine(PortSide::Input)) {
    case LineOpening::Failed:
        return 0;
    case LineOpening::Open:
        SetStatus(QStringLiteral("Started Server mode !"));
        StartReader();
        break;
    case LineOpening::Awaited:
        break;
    }
    KeepListening();
    return 1;
}

int RelayController::StartClient()
{
    if (OutComName == QLatin1String("<Port>")) {
        MessageBox(QStringLiteral("Select Output!"), QStringLiteral("Please:"), MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    const LineOpening line = OpenLine(PortSide::Output);
    if (line == LineOpening::Failed)
        return 0;
    if (line == LineOpening::Open)
        SetStatus(QStringLiteral("Connecting to Server ..."));
    if (!CreateConnectSocket()) {
        StopRecovery();
        CloseSerialPort();
        return 0;
    }
    ConnectArmed = 0;
    StartConnectTimer(1000);
    return 1;
}

void RelayController::StopServer()
{
    ReaderRunFlag = 0;
    RunFlag = 0;
    StopRecovery();
    StopStandby();
    SetStatus(QStringLiteral("Server stopped !"));
    SetClock(QStringLiteral("- -:- -:- -"));
    LastValue.invalidate();
    // The reader is gone before its port closes, so no reader ever touches a later run's port.
    Reader.Stop();
    CloseSerialPort();
    CloseStandbyLine();
    SetListening(false);
}

void RelayController::StopClient()
{
    RunFlag = 0;
    StopRecovery();
    StopStandby();
    SetStatus(QStringLiteral("Client stopped !"));
    ConnectSocket.Close();
    CloseSerialPort();
}
