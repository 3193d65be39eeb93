#include "config/GroupSettings.h"

#include "config/RelayConfig.h"
#include "config/SettingFaults.h"
#include "config/SettingKeys.h"
#include "config/SettingsLists.h"
#include "settings/SettingsFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <sys/un.h>

namespace {

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

StoredNtp LoadNtpSettings(int relayMode)
{
    StoredNtp stored;
    const SettingsFile file(Key::Socket.Group);
    if (file.Names().isEmpty())
        return stored;
    NtpConfig& ntp = stored.config;
    ntp.Present = true;
    ntp.Socket = file.ReadText(Key::Socket.Name).trimmed();
    ntp.TimeZone = file.ReadText(Key::TimeZone.Name).trimmed();
    const QString authoritative = file.ReadText(Key::Authoritative.Name).trimmed();
    ntp.Authoritative = authoritative == QLatin1String("1");
    if (relayMode != 1)
        stored.faults << QStringLiteral("[%1] in a client (%2=0): its values come over the network, perhaps from a "
                                        "relay on this computer's clock, and NTP would be fed its own time; feed "
                                        "chrony from the relay that reads the time-code line")
                             .arg(Key::Socket.Group, Key::ProgMode.Name);
    if (!ntp.Socket.startsWith(QLatin1Char('/')))
        stored.faults << Said(file, Key::Socket);
    else if (size_t(QFile::encodeName(ntp.Socket).size()) >= sizeof(sockaddr_un::sun_path))
        stored.faults << Said(file, Key::Socket, 1, {QString::number(sizeof(sockaddr_un::sun_path) - 1)});
    if (!ntp.TimeZone.isEmpty() && !QTimeZone(ntp.TimeZone.toUtf8()).isValid())
        stored.faults << Said(file, Key::TimeZone);
    if (file.Contains(Key::Authoritative.Name) && authoritative != QLatin1String("0")
        && authoritative != QLatin1String("1"))
        stored.faults << Said(file, Key::Authoritative);
    return stored;
}

StoredSource LoadSourceSettings(int relayMode)
{
    StoredSource stored;
    const SettingsFile file(Key::Primary.Group);
    const QString own = relayMode == 1 ? QStringLiteral("line") : QStringLiteral("server");
    if (file.Contains(Key::Primary.Name)) {
        const QString primary = file.ReadText(Key::Primary.Name).trimmed().toLower();
        stored.config.PrimaryClock = primary == QLatin1String("clock");
        if (!stored.config.PrimaryClock && primary != own)
            stored.faults << Said(file, Key::Primary, 0,
                                  {relayMode == 1 ? QStringLiteral("server") : QStringLiteral("client"), own});
    }
    if (file.Contains(Key::MaxError.Name)) {
        bool number = false;
        const double seconds = file.ReadText(Key::MaxError.Name).trimmed().toDouble(&number);
        if (number && seconds > 0)
            stored.config.MaxErrorS = seconds;
        else
            stored.faults << Said(file, Key::MaxError);
    }
    return stored;
}

QStringList PrimaryClockClashes(const SourceConfig& source, const StandbyConfig& standby, const NtpConfig& ntp)
{
    QStringList clashes;
    if (!source.PrimaryClock)
        return clashes;
    if (standby.Present)
        clashes << QStringLiteral("[%1] beside %2=clock: this computer's clock is never lost, and a standby would "
                                  "stand in for nothing; remove one of them")
                       .arg(Key::After.Group, Key::Primary.Title());
    if (ntp.Present)
        clashes << QStringLiteral("[%1] beside %2=clock: NTP would be fed its own time; remove [%1]")
                       .arg(Key::Socket.Group, Key::Primary.Title());
    return clashes;
}
