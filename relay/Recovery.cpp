#include "net/NetLog.h"
#include "relay/RelayController.h"
#include "relay/RelayLog.h"
#include "serial/PortMessages.h"
#include "serial/SerialLog.h"

namespace {

// About as often as a GPS daemon looks for its device again: soon enough, and no load on anything.
constexpr int LineRetryMs = 2000;
constexpr int ServerRetryMs = 1000;
constexpr int RejectedRetryMs = 10000;
constexpr int SilenceLimitMs = 5000;

QString SilenceText(int mode, const QString& inputName, const QString& serverName)
{
    return mode == 1 ? QStringLiteral("No time code on %1 !").arg(inputName)
                     : QStringLiteral("No time code from %1 !").arg(serverName);
}

} // namespace

RelayController::LineOpening RelayController::OpenLine(PortSide side)
{
    if (!RestartAtLaunch) {
        const int opened = side == PortSide::Input ? OpenInputPort() : OpenOutputPort();
        return opened != 0 ? LineOpening::Open : LineOpening::Failed;
    }
    const std::optional<PortFault> fault = TryOpenSerialPort(side);
    if (!fault)
        return LineOpening::Open;
    if (!HealsByItself(fault->failure)) {
        ReportPortFault(side, *fault);
        return LineOpening::Failed;
    }
    AwaitLine(side, PortFailureMessage(side, *fault, PortName(side)).text, fault->error);
    return LineOpening::Awaited;
}

void RelayController::AwaitLine(PortSide side, const QString& why, int error)
{
    LineFault = why;
    SetStatus(why);
    RecordFault(why);
    qCWarning(lcSerial).noquote() << PortFaultLogText(why, LineDevice(side), error) << "- trying" << PortName(side)
                                  << "again every" << LineRetryMs / 1000 << "s";
    LineRetry.Start(LineRetryMs, [this, side] { return ReopenLine(side); });
    // Meanwhile the standby's line is read alone.
    if (side == PortSide::Input && StandbyHandle >= 0 && RunFlag != 0)
        StartReader();
}

void RelayController::OnLineLost(PortSide side, const QString& why, int error)
{
    Silence.Stop();
    // The reader is gone before its port closes, so that no reader ever touches the port opened next.
    StopReader();
    CloseSerialPort();
    AwaitLine(side, why, error);
}

bool RelayController::ReopenLine(PortSide side)
{
    if (const std::optional<PortFault> fault = TryOpenSerialPort(side)) {
        // Said once, and again only when the reason changes: the retry meets it every two seconds.
        const QString why = PortFailureMessage(side, *fault, PortName(side)).text;
        if (why != LineFault) {
            LineFault = why;
            SetStatus(why);
            RecordFault(why);
            qCWarning(lcSerial).noquote() << PortFaultLogText(why, LineDevice(side), fault->error);
        }
        return false;
    }
    qCInfo(lcSerial).noquote() << PortName(side) << "is back, on" << SerialDevice;
    ResumeLine(side);
    return true;
}

void RelayController::ResumeLine(PortSide side)
{
    if (side == PortSide::Input) {
        SetStatus(QStringLiteral("Started Server mode !"));
        StartReader();
    } else {
        SetStatus(ConnectTimerId == 0 ? QStringLiteral("Connected to Server")
                                      : QStringLiteral("Connecting to Server ..."));
    }
}

void RelayController::OnServerLost()
{
    // Already seeking: a close that follows the server's last words is the same loss.
    if (RunFlag == 0 || ConnectTimerId != 0)
        return;
    Silence.Stop();
    ConnectSocket.Disconnect();
    SourceLost(Source::Primary);
    if (!RejectedByServer)
        SetStatus(QStringLiteral("Server lost"));
    RecordFault(RejectedByServer ? QStringLiteral("Rejected by the Server") : QStringLiteral("Server lost"));
    const int retryMs = RejectedByServer ? RejectedRetryMs : ServerRetryMs;
    if (LogAllows(lcNet(),
                  RejectedByServer ? QStringLiteral("rejections by the server")
                                   : QStringLiteral("losses of the server")))
        qCWarning(lcNet).noquote() << (RejectedByServer ? "rejected by" : "lost") << "the server" << ServerName
                                   << "port" << ClientPort << "- asking again every" << retryMs / 1000 << "s";
    ConnectArmed = 1;
    StartConnectTimer(retryMs);
}

void RelayController::WatchForSilence()
{
    Silence.Watch(SilenceLimitMs);
}

void RelayController::OnSilence()
{
    StatusBeforeSilence = StatusText;
    SetStatus(SilenceText(RelayMode, InComName, ServerName));
    RecordFault(StatusText);
    qCWarning(lcRelay) << "no time code for" << SilenceLimitMs / 1000 << "s";
}

void RelayController::OnValueArrived()
{
    // What the status said before the silence is still what holds, unless something newer replaced it.
    if (!Silence.Fed())
        return;
    qCInfo(lcRelay) << "time codes come again";
    if (StatusText == SilenceText(RelayMode, InComName, ServerName))
        SetStatus(StatusBeforeSilence);
}

void RelayController::StopRecovery()
{
    LineRetry.Stop();
    ListenRetry.Stop();
    ConnectRetry.Stop();
    ConnectTimerId = 0;
    Silence.Stop();
    RejectedByServer = false;
}
