#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class SettingsFile;

// What is wrong with a setting, said as an operator needs it: the key as the file holds it, why it
// cannot be used and what to write instead. The checks a relay without a window makes before it runs.

// "[Settaggi] InComName=COM3", or "[Settaggi] InComName (not set)".
QString ShownSetting(const SettingsFile& file, const QString& name);

// How a line's fault names it and what it gives as examples: "line", COM3, /dev/ttyUSB0.
struct LineExample
{
    QString line;
    QString name;
    QString device;
};

// A line's name and speed, as the caller takes them from the file: a name that is no COM name, a COM
// name with no device behind it, a speed the list does not offer; each one said.
QStringList LineSettingFaults(const SettingsFile& file, const QString& nameKey, const QString& name,
                              const QString& speedKey, const QString& speed, const LineExample& example);

// A port number that is written and is not from 1 to 60000.
std::optional<QString> PortSettingFault(const SettingsFile& file, const QString& key);
