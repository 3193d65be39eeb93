#include "app/SettingsCheck.h"

#include "relay/PortEntry.h"
#include "relay/StandbySettings.h"
#include "serial/ComNames.h"
#include "serial/SerialDevice.h"
#include "settings/SettingsFile.h"

#include <QFileInfo>

namespace {

QString Shown(const SettingsFile& file, const QString& name)
{
    return file.Contains(name) ? QStringLiteral("[Settaggi] %1=%2").arg(name, file.ReadText(name))
                               : QStringLiteral("[Settaggi] %1 (not set)").arg(name);
}

std::optional<QString> LineFault(const SettingsFile& file, const QString& nameKey, const QString& speedKey)
{
    const QString name = file.ReadText(nameKey);
    const std::optional<int> number = ParseComName(name);
    if (!number)
        return QStringLiteral("%1 names no serial port: write the COM name of the line, e.g. %2=COM3")
            .arg(Shown(file, nameKey), nameKey);
    if (ComDevice(*number, LoadComDeviceMap()).isEmpty())
        return QStringLiteral("%1 has no device: write one under [Ports], e.g. %2=/dev/ttyUSB0")
            .arg(Shown(file, nameKey), name);
    if (!SpeedFromText(file.ReadText(speedKey)))
        return QStringLiteral("%1 is no speed: write one of 300, 1200, 2400, 4800, 9600, 19200, 38400, e.g. %2=9600")
            .arg(Shown(file, speedKey), speedKey);
    return std::nullopt;
}

std::optional<QString> Fault(const SettingsFile& file)
{
    const QString run = QStringLiteral("ProgRun");
    if (file.ReadInt(run, 0) == 0)
        return QStringLiteral("%1: nothing to run; write %2=1").arg(Shown(file, run), run);
    const QString port = QStringLiteral("ServerPort");
    if (file.Contains(port)) {
        bool number = false;
        const int value = file.ReadText(port).trimmed().toInt(&number);
        if (!number || value < 1 || value > MaxPort)
            return QStringLiteral("%1 is no port number: write one from 1 to %2, e.g. %3=6530")
                .arg(Shown(file, port))
                .arg(MaxPort)
                .arg(port);
    }
    const int mode = file.ReadInt(QStringLiteral("ProgMode"), 1);
    if (const std::optional<QString> standby = LoadStandbySettings(mode).fault)
        return standby;
    if (mode == 1)
        return LineFault(file, QStringLiteral("InComName"), QStringLiteral("InComSpeed"));
    if (file.Contains(QStringLiteral("ServerName")) && file.ReadText(QStringLiteral("ServerName")).trimmed().isEmpty())
        return QStringLiteral("[Settaggi] ServerName is empty: write the server's name or address, e.g. "
                              "ServerName=clock-server");
    return LineFault(file, QStringLiteral("OutComName"), QStringLiteral("OutComSpeed"));
}

} // namespace

std::optional<QString> UnrunnableSettings()
{
    const QString path = SettingsFile::Path();
    const QString aside = SettingsFile::SetAsideIfDamaged();
    if (!aside.isEmpty())
        return QStringLiteral("%1 was damaged and is kept as %2: write the settings again (man Horaline)")
            .arg(path, aside);
    if (!QFileInfo::exists(path))
        return QStringLiteral("%1 does not exist: write the settings there first (man Horaline)").arg(path);
    const SettingsFile file;
    if (const std::optional<QString> fault = Fault(file))
        return QStringLiteral("%1: %2").arg(path, *fault);
    return std::nullopt;
}
