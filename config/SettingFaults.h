#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class SettingsFile;
struct SettingKey;

// What is wrong with a setting, said as an operator needs it: the key as the file holds it, why it
// cannot be used and what to write instead. The checks a relay without a window makes before it runs.

// "[Settaggi] InComName=COM3", or "[Settaggi] InComName (not set)".
QString ShownSetting(const SettingsFile& file, const QString& name);

// The key as written, then the words of one of its faults with these values in them: "[Standby] After=0
// is no number of seconds…". What the file holds is never taken for a place of a value.
QString Said(const SettingsFile& file, const SettingKey& key, int fault = 0, const QStringList& values = {});

// A line's name and speed, as the caller takes them from the file: a name that is no COM name, a COM
// name with no device behind it, a speed the list does not offer; each one said.
QStringList LineSettingFaults(const SettingsFile& file, const SettingKey& nameKey, const QString& name,
                              const SettingKey& speedKey, const QString& speed);

// The key's number within the table's range, the fallback where it is not written; nothing where it is
// no such number.
std::optional<int> Number(const SettingsFile& file, const SettingKey& key, int fallback);

// A port number that is written and is not from 1 to 60000.
std::optional<QString> PortSettingFault(const SettingsFile& file, const SettingKey& key);
