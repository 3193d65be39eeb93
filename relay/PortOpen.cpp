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
    const std::optional<PortFault> fault = OpenLineDevice(
        PortName(side), side == PortSide::Input ? InComSpeed : OutComSpeed, SerialHandle, SerialDevice, SerialDcb);
    if (fault)
        CloseSerialPort();
    return fault;
}

std::optional<PortFault> RelayController::OpenLineDevice(const QString& name, const QString& speed, int& handle,
                                                         QString& opened, termios& line)
{
    const auto fail = [&handle, &opened](PortFailure failure, int error) {
        CloseSerialDevice(handle, opened);
        handle = -1;
        opened.clear();
        return PortFault {failure, error};
    };

    // The map is read at every open, so a device re-plugged under a new path is found without a restart.
    const QString device = ComDevice(name);
    if (device.isEmpty())
        return fail(PortFailure::InvalidName, 0);
    const SerialOpenResult result = OpenSerialDevice(device);
    if (result.fd < 0)
        return fail(OpenFailure(result.error), result.error);
    handle = result.fd;
    // The node itself, not a link to it: the link may point elsewhere by the time the port closes, and the
    // lock file to remove is the one of the node that was opened.
    const QString node = QFileInfo(device).canonicalFilePath();
    opened = node.isEmpty() ? device : node;

    if (::tcgetattr(handle, &line) != 0)
        return fail(PortFailure::ReadState, errno);
    // A speed the list does not offer is no choice either: the line must never run at a speed left
    // over from another program.
    const std::optional<speed_t> baud = SpeedFromText(speed);
    if (!baud)
        return fail(PortFailure::NoSpeed, 0);
    ConfigureLine(line, baud);
    if (::tcsetattr(handle, TCSANOW, &line) != 0)
        return fail(PortFailure::SetState, errno);
    return std::nullopt;
}

QString RelayController::LineDevice(PortSide side) const
{
    return ComDevice(PortName(side));
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
