#include "config/NtpSettings.h"

#include "config/SettingFaults.h"
#include "config/SettingKeys.h"
#include "settings/SettingsFile.h"

#include <QFile>
#include <QTimeZone>
#include <sys/un.h>

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
