#include "relay/Boxes.h"
#include "relay/RelayController.h"
#include "serial/ComNames.h"
#include "serial/PortMessages.h"
#include "serial/SerialDevice.h"
#include "serial/SerialLog.h"

#include <QFileInfo>
#include <cerrno>

int RelayController::OpenInputPort()
{
    return OpenSerialPort(PortSide::Input);
}

int RelayController::OpenOutputPort()
{
    return OpenSerialPort(PortSide::Output);
}

int RelayController::OpenSerialPort(PortSide side)
{
    const std::optional<PortFault> fault = TryOpenSerialPort(side);
    return fault ? ReportPortFault(side, *fault) : 1;
}

int RelayController::ReportPortFault(PortSide side, const PortFault& fault)
{
    const PortMessage message = PortFailureMessage(side, fault, PortName(side));
    qCWarning(lcSerial).noquote() << PortFaultLogText(message.text, LineDevice(side), fault.error);
    if (side == PortSide::Output)
        SetStatus(message.text);
    MessageBox(message.text, message.title, MB_OK | IconOf(message.severity));
    return 0;
}

std::optional<PortFault> RelayController::TryOpenSerialPort(PortSide side)
{
    const QString& speed = side == PortSide::Input ? InComSpeed : OutComSpeed;
    const auto fail = [this](PortFailure failure, int error) {
        CloseSerialPort();
        return PortFault {failure, error};
    };

    // The map is read at every open, so a device re-plugged under a new path is found without a restart.
    const std::optional<int> number = ParseComName(PortName(side));
    const QString device = number ? ComDevice(*number, LoadComDeviceMap()) : QString();
    if (device.isEmpty())
        return fail(PortFailure::InvalidName, 0);
    const SerialOpenResult opened = OpenSerialDevice(device);
    if (opened.fd < 0)
        return fail(OpenFailure(opened.error), opened.error);
    SerialHandle = opened.fd;
    // The node itself, not a link to it: the link may point elsewhere by the time the port closes, and the
    // lock file to remove is the one of the node that was opened.
    const QString node = QFileInfo(device).canonicalFilePath();
    SerialDevice = node.isEmpty() ? device : node;

    if (::tcgetattr(SerialHandle, &SerialDcb) != 0)
        return fail(PortFailure::ReadState, errno);
    // A speed the list does not offer is no choice either: the line must never run at a speed left
    // over from another program.
    const std::optional<speed_t> baud = SpeedFromText(speed);
    if (!baud)
        return fail(PortFailure::NoSpeed, 0);
    ConfigureLine(SerialDcb, baud);
    if (::tcsetattr(SerialHandle, TCSANOW, &SerialDcb) != 0)
        return fail(PortFailure::SetState, errno);
    return std::nullopt;
}

QString RelayController::LineDevice(PortSide side) const
{
    const std::optional<int> number = ParseComName(PortName(side));
    return number ? ComDevice(*number, LoadComDeviceMap()) : QString();
}

const QString& RelayController::PortName(PortSide side) const
{
    return side == PortSide::Input ? InComName : OutComName;
}

void RelayController::CloseSerialPort()
{
    CloseSerialDevice(SerialHandle, SerialDevice);
    SerialHandle = -1;
    SerialDevice.clear();
    DisplayWriter.Forget();
}
