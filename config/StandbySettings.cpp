#include "config/StandbySettings.h"

#include "config/PortEntry.h"
#include "config/RelayConfig.h"
#include "config/SettingFaults.h"
#include "config/SettingsLists.h"
#include "settings/SettingsFile.h"

#include <QFileInfo>

namespace {

constexpr int LongestAfterS = 60;

std::optional<int> Number(const SettingsFile& file, const QString& name, int lowest, int highest, int fallback)
{
    if (!file.Contains(name))
        return fallback;
    bool number = false;
    const int value = file.ReadText(name).trimmed().toInt(&number);
    if (!number || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

QStringList LineFaults(const SettingsFile& file, StandbyConfig& standby)
{
    const QString nameKey = QStringLiteral("InComName");
    const QString speedKey = QStringLiteral("InComSpeed");
    standby.InComName = file.ReadText(nameKey).trimmed();
    standby.InComSpeed = file.ReadText(speedKey).trimmed();
    return LineSettingFaults(file, nameKey, standby.InComName, speedKey, standby.InComSpeed,
                             {QStringLiteral("standby line"), QStringLiteral("COM4"), QStringLiteral("/dev/ttyUSB1")});
}

std::optional<QString> ServerFault(const SettingsFile& file, StandbyConfig& standby)
{
    const QString nameKey = QStringLiteral("ServerName");
    const QString portKey = QStringLiteral("ServerPort");
    standby.ServerName = file.ReadText(nameKey).trimmed();
    if (standby.ServerName.isEmpty())
        return QStringLiteral("%1 names no server: write the standby server's name or address, e.g. %2=clock2")
            .arg(ShownSetting(file, nameKey), nameKey);
    if (const std::optional<QString> fault = PortSettingFault(file, portKey))
        return fault;
    standby.ServerPort = *Number(file, portKey, MinSettingPort, MaxPort, standby.ServerPort);
    return std::nullopt;
}

} // namespace

StoredStandby LoadStandbySettings(int relayMode)
{
    StoredStandby stored;
    const SettingsFile file(QStringLiteral("Standby"));
    // An empty group is no group either: nothing of a standby is asked for.
    if (file.Names().isEmpty())
        return stored;
    StandbyConfig& standby = stored.config;
    standby.Present = true;
    const QString afterKey = QStringLiteral("After");
    const QString ownClockKey = QStringLiteral("OwnClock");
    const std::optional<int> after = Number(file, afterKey, 1, LongestAfterS, standby.AfterS);
    const std::optional<int> ownClock = Number(file, ownClockKey, 0, 1, 0);
    if (!after)
        stored.faults << QStringLiteral("%1 is no number of seconds from 1 to %2: write e.g. %3=3")
                             .arg(ShownSetting(file, afterKey))
                             .arg(LongestAfterS)
                             .arg(afterKey);
    if (!ownClock)
        stored.faults << QStringLiteral("%1 is neither 0 nor 1: write %2=1 to send this computer's time when no "
                                        "source speaks, %2=0 not to")
                             .arg(ShownSetting(file, ownClockKey), ownClockKey);
    if (relayMode == 1 && file.Contains(QStringLiteral("InComName")))
        stored.faults << LineFaults(file, standby);
    else if (relayMode != 1 && file.Contains(QStringLiteral("ServerName"))) {
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
        return QStringLiteral("[Standby] InComName=%1 is the primary's own line %2: name another line for the "
                              "standby, e.g. InComName=COM4")
            .arg(standby.InComName, config.InComName);
    }
    if (standby.ServerName.isEmpty() || standby.ServerName.compare(config.ServerName, Qt::CaseInsensitive) != 0
        || standby.ServerPort != config.ClientPort)
        return std::nullopt;
    return QStringLiteral("[Standby] ServerName=%1 with ServerPort=%2 is the primary's own server: name another "
                          "server for the standby, e.g. ServerName=clock2")
        .arg(standby.ServerName)
        .arg(standby.ServerPort);
}
