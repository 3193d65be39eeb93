#include "relay/RelayController.h"
#include "relay/RelayLog.h"
#include "serial/PortMessages.h"
#include "serial/SerialDevice.h"

namespace {

constexpr int StandbyLineRetryMs = 2000;

} // namespace

void RelayController::OpenStandbyLine()
{
    if (ReopenStandbyLine())
        return;
    StandbyLineRetry.Start(StandbyLineRetryMs, [this] { return ReopenStandbyLine(); });
}

bool RelayController::ReopenStandbyLine()
{
    const std::optional<PortFault> fault
        = OpenLineDevice(Standby.InComName, Standby.InComSpeed, StandbyHandle, StandbyDevice, StandbyDcb);
    if (fault) {
        const QString why = PortFailureMessage(PortSide::Input, *fault, Standby.InComName).text;
        NoteStandbyAlive(false, PortFaultLogText(why, QString(), fault->error));
        return false;
    }
    qCInfo(lcRelay).noquote() << "standby" << Standby.InComName << "open, on" << StandbyDevice;
    // The reader takes both lines from now on; a primary that is away leaves it the standby alone.
    StartReader();
    return true;
}

void RelayController::OnStandbyLineLost(int error)
{
    StopReader();
    CloseStandbyLine();
    SourceLost(Source::Standby);
    NoteStandbyAlive(false, PortFaultLogText(QStringLiteral("lost"), QString(), error));
    if (SerialHandle >= 0)
        StartReader();
    StandbyLineRetry.Start(StandbyLineRetryMs, [this] { return ReopenStandbyLine(); });
}

void RelayController::CloseStandbyLine()
{
    CloseSerialDevice(StandbyHandle, StandbyDevice);
    StandbyHandle = -1;
    StandbyDevice.clear();
}
