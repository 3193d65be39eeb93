#include "serial/PortMessages.h"

#include "serial/AccessHint.h"
#include "serial/DeviceHolder.h"

#include <cerrno>
#include <cstring>

PortMessage PortFailureMessage(PortSide side, PortFailure failure, int error, const QString& name)
{
    const bool output = side == PortSide::Output;
    const QString please = QStringLiteral("Please ...");
    const QString trouble = output ? QStringLiteral("Horaline error:") : QStringLiteral("Tickview error:");
    switch (failure) {
    case PortFailure::InvalidName:
        return {output ? QStringLiteral("Select a valid Port in Settings !")
                       : QStringLiteral("Select a valid Port in Settings!"),
                please, Severity::Information};
    case PortFailure::Missing:
        return {QStringLiteral("%1 doesn't exist !").arg(name), trouble, Severity::Stop};
    case PortFailure::Busy:
        return {QStringLiteral("%1 is busy !").arg(name), trouble, Severity::Stop};
    case PortFailure::Open:
        return {QStringLiteral("Error %1 accessing %2 !").arg(error).arg(name), trouble, Severity::Stop};
    case PortFailure::ReadState:
        return {QStringLiteral("Error %1 reading %2 state !").arg(error).arg(name), trouble, Severity::Stop};
    case PortFailure::NoSpeed:
        if (output)
            return {QStringLiteral("Select %1 speed !").arg(name), QStringLiteral("Please:"), Severity::Exclamation};
        return {QStringLiteral("Select Speed!"), please, Severity::Exclamation};
    case PortFailure::SetState:
        return {QStringLiteral("Error %1 setting %2 state !").arg(error).arg(name), trouble, Severity::Stop};
    }
    return {};
}

PortMessage PortFailureMessage(PortSide side, const PortFault& fault, const QString& name)
{
    return PortFailureMessage(side, fault.failure, fault.error, name);
}

PortFailure OpenFailure(int error)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return PortFailure::Missing;
    case EBUSY:
        return PortFailure::Busy;
    default:
        return PortFailure::Open;
    }
}

bool HealsByItself(PortFailure failure)
{
    return failure == PortFailure::Missing || failure == PortFailure::Busy || failure == PortFailure::Open;
}

QString PortFaultLogText(const QString& text, const QString& device, int error)
{
    QString said = text.trimmed();
    if (!device.isEmpty())
        said += QStringLiteral(" (%1)").arg(device);
    if (error == 0)
        return said;
    said += QStringLiteral(": %1 (errno %2)").arg(QString::fromLocal8Bit(std::strerror(error))).arg(error);
    switch (error) {
    case EACCES:
    case EPERM:
        return said + AccessHint(device);
    case EBUSY:
        if (const std::optional<qint64> holder = DeviceHolder(device))
            return said + QStringLiteral(" - %1 holds the device").arg(DescribeProcess(*holder));
        return said + QStringLiteral(" - another program holds the device");
    case EIO:
        return said + QStringLiteral(" - the adapter was unplugged or failed");
    default:
        return said;
    }
}
