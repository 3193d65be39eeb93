#include "config/SourceSettings.h"

#include "config/NtpSettings.h"
#include "config/SettingFaults.h"
#include "config/SettingKeys.h"
#include "config/StandbySettings.h"
#include "settings/SettingsFile.h"

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
