#include "config/SettingFaults.h"

#include "config/PortEntry.h"
#include "config/SettingsLists.h"
#include "serial/SerialDevice.h"
#include "settings/SettingsFile.h"

QString ShownSetting(const SettingsFile& file, const QString& name)
{
    return file.Contains(name) ? QStringLiteral("[%1] %2=%3").arg(file.Group(), name, file.ReadText(name))
                               : QStringLiteral("[%1] %2 (not set)").arg(file.Group(), name);
}

QStringList LineSettingFaults(const SettingsFile& file, const QString& nameKey, const QString& name,
                              const QString& speedKey, const QString& speed, const LineExample& example)
{
    QStringList faults;
    if (!ParseComName(name))
        faults.append(QStringLiteral("%1 names no serial port: write the COM name of the %2, e.g. %3=%4")
                          .arg(ShownSetting(file, nameKey), example.line, nameKey, example.name));
    else if (ComDeviceNow(name).isEmpty())
        faults.append(QStringLiteral("%1 has no device: write one under [Ports], e.g. %2=%3")
                          .arg(ShownSetting(file, nameKey), name, example.device));
    if (!SpeedFromText(speed))
        faults.append(QStringLiteral("%1 is no speed: write one of %2, e.g. %3=9600")
                          .arg(ShownSetting(file, speedKey), SpeedNames().join(QStringLiteral(", ")), speedKey));
    return faults;
}

std::optional<QString> PortSettingFault(const SettingsFile& file, const QString& key)
{
    if (!file.Contains(key))
        return std::nullopt;
    bool number = false;
    const int value = file.ReadText(key).trimmed().toInt(&number);
    if (number && IsSettingPort(value))
        return std::nullopt;
    return QStringLiteral("%1 is no port number: write one from %2 to %3, e.g. %4=6530")
        .arg(ShownSetting(file, key))
        .arg(MinSettingPort)
        .arg(MaxPort)
        .arg(key);
}
