#include "serial/SerialLine.h"

#include "serial/PortMessages.h"
#include "serial/SerialDevice.h"
#include "serial/SerialLog.h"

#include <QFileInfo>
#include <cerrno>

void SerialLine::Configure(const QString& name, const QString& speed, const ComDeviceMap& ports)
{
    Name = name;
    Speed = speed;
    Ports = ports;
}

QString SerialLine::DeviceNow() const
{
    return ComDeviceIn(Name, Ports);
}

std::optional<PortFault> SerialLine::Open()
{
    Close();
    const auto fail = [this](PortFailure failure, int error) {
        Close();
        return PortFault {failure, error};
    };
    const QString device = DeviceNow();
    if (device.isEmpty())
        return fail(PortFailure::InvalidName, 0);
    const SerialOpenResult result = OpenSerialDevice(device);
    if (result.fd < 0)
        return fail(OpenFailure(result.error), result.error);
    SerialHandle = result.fd;
    const QString node = QFileInfo(device).canonicalFilePath();
    Device = node.isEmpty() ? device : node;
    Written = device;

    if (::tcgetattr(SerialHandle, &SerialDcb) != 0)
        return fail(PortFailure::ReadState, errno);
    // A speed the list does not offer is no choice either: the line must never run at a speed left
    // over from another program.
    const std::optional<speed_t> baud = SpeedFromText(Speed);
    if (!baud)
        return fail(PortFailure::NoSpeed, 0);
    ConfigureLine(SerialDcb, baud);
    if (::tcsetattr(SerialHandle, TCSANOW, &SerialDcb) != 0)
        return fail(PortFailure::SetState, errno);
    return std::nullopt;
}

void SerialLine::Close()
{
    if (SerialHandle >= 0)
        CloseSerialDevice(SerialHandle, Device);
    SerialHandle = -1;
    Device.clear();
    Written.clear();
}

void SerialLine::Reopen(std::function<void(const PortFault&)> failed, std::function<void()> back)
{
    Retry.Start(ReopenMs, [this, failed = std::move(failed), back = std::move(back)] {
        if (const std::optional<PortFault> fault = Open()) {
            failed(*fault);
            return false;
        }
        back();
        return true;
    });
}

void TellLineAway(const SerialLine& line, const QString& why, int error, bool first)
{
    const QString text = PortFaultLogText(why, line.DeviceNow(), error);
    if (first)
        qCWarning(lcSerial).noquote() << text << "- trying" << line.Name << "again every" << SerialLine::ReopenMs / 1000
                                      << "s";
    else
        qCWarning(lcSerial).noquote() << text;
}

void TellLineBack(const SerialLine& line)
{
    qCInfo(lcSerial).noquote() << line.Name << "is back, on" << line.Device;
}
