#include "config/SettingFaults.h"

#include "config/SettingKeys.h"
#include "config/SettingsLists.h"
#include "serial/SerialDevice.h"
#include "settings/SettingsFile.h"

QString ShownSetting(const SettingsFile& file, const QString& name)
{
    return file.Contains(name) ? QStringLiteral("[%1] %2=%3").arg(file.Group(), name, file.ReadText(name))
                               : QStringLiteral("[%1] %2 (not set)").arg(file.Group(), name);
}

QString Said(const SettingsFile& file, const SettingKey& key, int fault, const QStringList& values)
{
    // In one pass: a value that holds "%2" stays as it is.
    const QString& wording = key.Faults.at(fault);
    QString words;
    for (qsizetype i = 0; i < wording.size(); ++i) {
        const qsizetype place = i + 1 < wording.size() ? wording.at(i + 1).digitValue() - 1 : -1;
        if (wording.at(i) == QLatin1Char('%') && place >= 0 && place < values.size()) {
            words += values.at(place);
            ++i;
        } else {
            words += wording.at(i);
        }
    }
    return ShownSetting(file, key.Name) + (words.startsWith(QLatin1Char(':')) ? QString() : QStringLiteral(" "))
        + words;
}

QStringList LineSettingFaults(const SettingsFile& file, const SettingKey& nameKey, const QString& name,
                              const SettingKey& speedKey, const QString& speed)
{
    QStringList faults;
    if (!ParseComName(name))
        faults.append(Said(file, nameKey));
    else if (ComDeviceNow(name).isEmpty())
        faults.append(Said(file, nameKey, 1, {name}));
    if (!SpeedFromText(speed))
        faults.append(Said(file, speedKey, 0, {SpeedNames().join(QStringLiteral(", "))}));
    return faults;
}

std::optional<QString> PortSettingFault(const SettingsFile& file, const SettingKey& key)
{
    if (!file.Contains(key.Name))
        return std::nullopt;
    bool number = false;
    const int value = file.ReadText(key.Name).trimmed().toInt(&number);
    if (number && value >= key.Lowest && value <= key.Highest)
        return std::nullopt;
    return Said(file, key);
}

std::optional<int> Number(const SettingsFile& file, const SettingKey& key, int fallback)
{
    if (!file.Contains(key.Name))
        return fallback;
    bool number = false;
    const int value = file.ReadText(key.Name).trimmed().toInt(&number);
    if (!number || value < key.Lowest || value > key.Highest)
        return std::nullopt;
    return value;
}
