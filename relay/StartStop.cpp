#include "relay/CRelayDlg.h"
#include "relay/RelayLog.h"
#include "serial/PortMessages.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

void CRelayDlg::OnStartStop()
{
    const bool startAsked = Ui.Start->isChecked();
    if (!startAsked) {
        // A stop must never wait on a box about a port entry: it also runs while the program shuts down.
        RefreshRelayMode();
        qCInfo(lcRelay) << "STOP";
        if (RelayMode == 1)
            StopServer();
        else
            StopClient();
        RunFlag = 0;
        Ui.Start->setText(QStringLiteral("START"));
        LockConfiguration(0);
        return;
    }

    // Starting on a port entry that failed its check would relay on a value the operator never gave.
    if (Ending || !DoDataExchange(true)) {
        Ui.Start->setChecked(false);
        return;
    }
    LockConfiguration(1);
    InComName = Ui.InComName->currentText();
    InComSpeed = Ui.InComSpeed->currentText();
    OutComName = Ui.OutComName->currentText();
    OutComSpeed = Ui.OutComSpeed->currentText();
    ServerName = Ui.ServerName->text();
    ServerPort = ListenPort;
    SaveSettings();

    qCInfo(lcRelay).noquote()
        << (RestartAtLaunch ? "restart at launch in" : "START in")
        << (RelayMode == 1 ? QStringLiteral("server mode, %1 at %2, port %3").arg(InComName, InComSpeed).arg(ServerPort)
                           : QStringLiteral("client mode, server %1 port %2, %3 at %4")
                                 .arg(ServerName)
                                 .arg(ClientPort)
                                 .arg(OutComName, OutComSpeed));
    RunFlag = RelayMode == 1 ? StartServer() : StartClient();
    if (RunFlag != 0) {
        Ui.Start->setText(QStringLiteral("STOP"));
    } else {
        qCWarning(lcRelay) << "the start failed";
        LockConfiguration(0);
        Ui.Start->setChecked(false);
    }
}

int CRelayDlg::StartServer()
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

int CRelayDlg::StartClient()
{
    OutComName = Ui.OutComName->currentText();
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
    ConnectTimerId = startTimer(1000);
    return 1;
}

void CRelayDlg::StopServer()
{
    ReaderRunFlag = 0;
    RunFlag = 0;
    StopRecovery();
    SetStatus(QStringLiteral("Server stopped !"));
    SetClock(QStringLiteral("- -:- -:- -"));
    LastValue.invalidate();
    // The reader is gone before its port closes, so no reader ever touches a later run's port.
    Reader.Stop();
    CloseSerialPort();
    SetListening(false);
}

void CRelayDlg::StopClient()
{
    if (ConnectTimerId != 0) {
        killTimer(ConnectTimerId);
        ConnectTimerId = 0;
    }
    RunFlag = 0;
    StopRecovery();
    SetStatus(QStringLiteral("Client stopped !"));
    ConnectSocket.Close();
    CloseSerialPort();
}
