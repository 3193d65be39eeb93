#include "config/StandbySettings.h"

#include "config/RelayConfig.h"
#include "config/SettingFaults.h"
#include "config/SettingKeys.h"
#include "config/SettingsLists.h"
#include "settings/SettingsFile.h"

#include <QFileInfo>

namespace {

// The key's number within its range, the fallback where it is not written; nothing where it is no such number.
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

QStringList LineFaults(const SettingsFile& file, StandbyConfig& standby)
{
    standby.InComName = file.ReadText(Key::StandbyInComName.Name).trimmed();
    standby.InComSpeed = file.ReadText(Key::StandbyInComSpeed.Name).trimmed();
    return LineSettingFaults(file, Key::StandbyInComName, standby.InComName, Key::StandbyInComSpeed,
                             standby.InComSpeed);
}

std::optional<QString> ServerFault(const SettingsFile& file, StandbyConfig& standby)
{
    standby.ServerName = file.ReadText(Key::StandbyServerName.Name).trimmed();
    if (standby.ServerName.isEmpty())
        return Said(file, Key::StandbyServerName);
    if (const std::optional<QString> fault = PortSettingFault(file, Key::StandbyServerPort))
        return fault;
    standby.ServerPort = *Number(file, Key::StandbyServerPort, standby.ServerPort);
    return std::nullopt;
}

} // namespace

StoredStandby LoadStandbySettings(int relayMode)
{
    StoredStandby stored;
    const SettingsFile file(Key::After.Group);
    // An empty group is no group either: nothing of a standby is asked for.
    if (file.Names().isEmpty())
        return stored;
    StandbyConfig& standby = stored.config;
    standby.Present = true;
    const std::optional<int> after = Number(file, Key::After, standby.AfterS);
    const std::optional<int> ownClock = Number(file, Key::OwnClock, 0);
    if (!after)
        stored.faults << Said(file, Key::After);
    if (!ownClock)
        stored.faults << Said(file, Key::OwnClock);
    if (relayMode == 1 && file.Contains(Key::StandbyInComName.Name))
        stored.faults << LineFaults(file, standby);
    else if (relayMode != 1 && file.Contains(Key::StandbyServerName.Name)) {
        if (const std::optional<QString> fault = ServerFault(file, standby))
            stored.faults << *fault;
    }
    standby.AfterS = after.value_or(standby.AfterS);
    standby.OwnClock = ownClock.value_or(0) == 1;
    return stored;
}

std::optional<QString> StandbyClash(const RelayConfig& config)
{
    const StandbyConfig& standby = config.Standby;
    if (!standby.Present)
        return std::nullopt;
    if (config.RelayMode == 1) {
        if (standby.InComName.isEmpty())
            return std::nullopt;
        const auto node = [&config](const QString& name) {
            return QFileInfo(ComDeviceIn(name, config.Ports)).canonicalFilePath();
        };
        const bool sameName = standby.InComName.compare(config.InComName, Qt::CaseInsensitive) == 0;
        if (!sameName) {
            const QString spareNode = node(standby.InComName);
            if (spareNode.isEmpty() || spareNode != node(config.InComName))
                return std::nullopt;
        }
        return QStringLiteral("%1=%2 %3")
            .arg(Key::StandbyInComName.Title(), standby.InComName,
                 Key::StandbyInComName.Faults.at(2).arg(config.InComName));
    }
    if (standby.ServerName.isEmpty() || standby.ServerName.compare(config.ServerName, Qt::CaseInsensitive) != 0
        || standby.ServerPort != config.ClientPort)
        return std::nullopt;
    return QStringLiteral("%1=%2 %3")
        .arg(Key::StandbyServerName.Title(), standby.ServerName,
             Key::StandbyServerName.Faults.at(1).arg(standby.ServerPort));
}
