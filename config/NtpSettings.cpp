#include "config/NtpSettings.h"

#include "config/SettingFaults.h"
#include "settings/SettingsFile.h"

#include <QFile>
#include <QTimeZone>
#include <sys/un.h>

StoredNtp LoadNtpSettings(int relayMode)
{
    StoredNtp stored;
    const SettingsFile file(QStringLiteral("NTP"));
    if (file.Names().isEmpty())
        return stored;
    NtpConfig& ntp = stored.config;
    ntp.Present = true;
    const QString socketKey = QStringLiteral("Socket");
    const QString zoneKey = QStringLiteral("TimeZone");
    const QString authoritativeKey = QStringLiteral("Authoritative");
    ntp.Socket = file.ReadText(socketKey).trimmed();
    ntp.TimeZone = file.ReadText(zoneKey).trimmed();
    const QString authoritative = file.ReadText(authoritativeKey).trimmed();
    ntp.Authoritative = authoritative == QLatin1String("1");
    if (relayMode != 1)
        stored.faults << QStringLiteral("[NTP] in a client (ProgMode=0): its values come over the network, perhaps "
                                        "from a relay on this computer's clock, and NTP would be fed its own time; "
                                        "feed chrony from the relay that reads the time-code line");
    if (!ntp.Socket.startsWith(QLatin1Char('/')))
        stored.faults << QStringLiteral("%1 names no socket: write the path of chrony's refclock SOCK, e.g. "
                                        "%2=/run/chrony.horaline.sock")
                             .arg(ShownSetting(file, socketKey), socketKey);
    else if (size_t(QFile::encodeName(ntp.Socket).size()) >= sizeof(sockaddr_un::sun_path))
        stored.faults << QStringLiteral("%1 is longer than a socket's path may be (%2 bytes): name a shorter one, "
                                        "e.g. %3=/run/chrony.horaline.sock")
                             .arg(ShownSetting(file, socketKey))
                             .arg(sizeof(sockaddr_un::sun_path) - 1)
                             .arg(socketKey);
    if (!ntp.TimeZone.isEmpty() && !QTimeZone(ntp.TimeZone.toUtf8()).isValid())
        stored.faults << QStringLiteral("%1 is no time zone this computer knows: write an IANA name, e.g. "
                                        "%2=Europe/Rome, or nothing for this computer's zone")
                             .arg(ShownSetting(file, zoneKey), zoneKey);
    if (file.Contains(authoritativeKey) && authoritative != QLatin1String("0") && authoritative != QLatin1String("1"))
        stored.faults << QStringLiteral("%1 is neither 0 nor 1: write %2=1 to feed the codes even far from this "
                                        "computer's clock once they agree, %2=0 not to")
                             .arg(ShownSetting(file, authoritativeKey), authoritativeKey);
    return stored;
}
