#include "relay/CRelayDlg.h"
#include "serial/ComNames.h"
#include "serial/PortMessages.h"
#include "serial/SerialDevice.h"

#include <cerrno>

int CRelayDlg::OpenInputPort()
{
    return OpenSerialPort(PortSide::Input);
}

int CRelayDlg::OpenOutputPort()
{
    return OpenSerialPort(PortSide::Output);
}

int CRelayDlg::OpenSerialPort(PortSide side)
{
    const QString& name = side == PortSide::Input ? InComName : OutComName;
    const QString& speed = side == PortSide::Input ? InComSpeed : OutComSpeed;
    const auto fail = [&](PortFailure failure, int error) {
        CloseSerialPort();
        const PortMessage message = PortFailureMessage(side, failure, error, name);
        if (side == PortSide::Output)
            SetStatus(message.text);
        MessageBox(message.text, message.title, MB_OK | message.type);
        return 0;
    };

    // The map is read at every open, so a device re-plugged under a new path is found without a restart.
    const std::optional<int> number = ParseComName(name);
    const QString device = number ? ComDevice(*number, LoadComDeviceMap()) : QString();
    if (device.isEmpty())
        return fail(PortFailure::InvalidName, 0);
    const SerialOpenResult opened = OpenSerialDevice(device);
    if (opened.fd < 0)
        return fail(OpenFailure(opened.error), opened.error);
    SerialHandle = opened.fd;
    SerialDevice = device;

    if (::tcgetattr(SerialHandle, &SerialDcb) != 0)
        return fail(PortFailure::ReadState, errno);
    if (speed == QLatin1String("<Speed>"))
        return fail(PortFailure::NoSpeed, 0);
    ConfigureLine(SerialDcb, SpeedFromText(speed));
    if (::tcsetattr(SerialHandle, TCSANOW, &SerialDcb) != 0)
        return fail(PortFailure::SetState, errno);
    return 1;
}

void CRelayDlg::CloseSerialPort()
{
    CloseSerialDevice(SerialHandle, SerialDevice);
    SerialHandle = -1;
    SerialDevice.clear();
}
