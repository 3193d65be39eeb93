#include "config/RelaySettings.h"

#include "config/GroupSettings.h"
#include "config/PortEntry.h"
#include "config/SettingKeys.h"
#include "config/SettingsLists.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLog.h"
#include "settings/SettingsPath.h"

namespace {

const QString Missing = QStringLiteral(" ");

// Said, and the file left as the operator wrote it: a value replaced in silence is a setting lost.
void TellUnusable(const QString& name, const QString& stored, const QString& why, const QString& shown)
{
    qCWarning(lcSettings).noquote()
        << QStringLiteral("%1=%2 in %3 %4; %5 is used instead").arg(name, stored, SettingsPath(), why, shown);
}

// A stored text other than the marker is taken, even an empty one; a missing one is written back from
// the current value, so that the file always holds every value.
void LoadString(SettingsFile& file, const QString& name, QString& value)
{
    const QString stored = file.ReadString(name, Missing);
    if (stored != Missing)
        value = stored;
    else if (file.Contains(name) && !file.HoldsText(name))
        TellUnusable(name, file.ReadText(name), QStringLiteral("is not one text"), value);
    else
        file.Write(name, value);
}

void LoadInt(SettingsFile& file, const QString& name, int marker, int& value)
{
    const int stored = file.ReadInt(name, marker);
    if (stored != marker)
        value = stored;
    else if (file.Contains(name) && file.ReadText(name).trimmed() != QString::number(marker))
        TellUnusable(name, file.ReadText(name), QStringLiteral("is no number"), QString::number(value));
    else
        file.Write(name, value);
}

// Any number is shown as stored, and START then asks for one in range; a port that is no number, or 0,
// which would listen wherever the system chose, gives way to the current one.
void LoadPort(SettingsFile& file, const QString& name, int& port)
{
    if (!file.Contains(name)) {
        file.Write(name, port);
        return;
    }
    const QString stored = file.ReadText(name);
    bool number = false;
    const int value = stored.trimmed().toInt(&number);
    if (number && IsSettingPort(value)) {
        port = value;
        return;
    }
    if (number && value != 0)
        port = value;
    TellUnusable(name, stored, QStringLiteral("is no port number from %1 to %2").arg(MinSettingPort).arg(MaxPort),
                 QString::number(port));
}

} // namespace

StoredRelay LoadRelaySettings(const StoredRelay& defaults)
{
    StoredRelay stored = defaults;
    RelayConfig& config = stored.config;
    SettingsFile file;
    LoadString(file, Key::InComName.Name, config.InComName);
    LoadString(file, Key::InComSpeed.Name, config.InComSpeed);
    LoadString(file, Key::OutComName.Name, config.OutComName);
    LoadString(file, Key::OutComSpeed.Name, config.OutComSpeed);
    LoadString(file, Key::ServerName.Name, config.ServerName);
    LoadPort(file, Key::ServerPort.Name, config.ServerPort);
    config.ClientPort = config.ServerPort;
    LoadInt(file, Key::ProgRun.Name, -1, stored.runFlag);
    LoadInt(file, Key::ProgMode.Name, -1, config.RelayMode);
    LoadFileOnlySettings(config);
    return stored;
}

void LoadFileOnlySettings(RelayConfig& config)
{
    const StoredStandby standby = LoadStandbySettings(config.RelayMode);
    const StoredNtp ntp = LoadNtpSettings(config.RelayMode);
    const StoredSource source = LoadSourceSettings(config.RelayMode);
    config.Standby = standby.config;
    config.Ntp = ntp.config;
    config.Source = source.config;
    config.FileFaults
        = standby.faults + ntp.faults + source.faults + PrimaryClockClashes(source.config, standby.config, ntp.config);
    config.Ports = LoadComDeviceMap();
    config.Allowed = ReadClientsAllowed();
    config.Web = LoadWebListen();
    config.Displays = LoadWebDisplays().value_or(config.Displays);
}

void SaveRelaySettings(const RelayConfig& config, int runFlag)
{
    SettingsFile file;
    file.Write(Key::InComName.Name, config.InComName);
    file.Write(Key::InComSpeed.Name, config.InComSpeed);
    file.Write(Key::OutComName.Name, config.OutComName);
    file.Write(Key::OutComSpeed.Name, config.OutComSpeed);
    file.Write(Key::ServerName.Name, config.ServerName);
    file.Write(Key::ServerPort.Name, config.ServerPort);
    file.Write(Key::ProgMode.Name, config.RelayMode);
    file.Write(Key::ProgRun.Name, runFlag);
}

void SaveRunState(int runFlag)
{
    SettingsFile file;
    file.Write(Key::ProgRun.Name, runFlag);
}
