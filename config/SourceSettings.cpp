#include "config/SourceSettings.h"

#include "config/NtpSettings.h"
#include "config/SettingFaults.h"
#include "config/StandbyConfig.h"
#include "settings/SettingsFile.h"

StoredSource LoadSourceSettings(int relayMode)
{
    StoredSource stored;
    const SettingsFile file(QStringLiteral("Source"));
    const QString primaryKey = QStringLiteral("Primary");
    const QString maxErrorKey = QStringLiteral("MaxError");
    const QString own = relayMode == 1 ? QStringLiteral("line") : QStringLiteral("server");
    if (file.Contains(primaryKey)) {
        const QString primary = file.ReadText(primaryKey).trimmed().toLower();
        stored.config.PrimaryClock = primary == QLatin1String("clock");
        if (!stored.config.PrimaryClock && primary != own)
            stored.faults << QStringLiteral("%1 is no primary source of a %2: write %3=clock for this computer's "
                                            "clock, or %3=%4")
                                 .arg(ShownSetting(file, primaryKey),
                                      relayMode == 1 ? QStringLiteral("server") : QStringLiteral("client"), primaryKey,
                                      own);
    }
    if (file.Contains(maxErrorKey)) {
        bool number = false;
        const double seconds = file.ReadText(maxErrorKey).trimmed().toDouble(&number);
        if (number && seconds > 0)
            stored.config.MaxErrorS = seconds;
        else
            stored.faults << QStringLiteral("%1 is no number of seconds above 0: write e.g. %2=0.5")
                                 .arg(ShownSetting(file, maxErrorKey), maxErrorKey);
    }
    return stored;
}

QStringList PrimaryClockClashes(const SourceConfig& source, const StandbyConfig& standby, const NtpConfig& ntp)
{
    QStringList clashes;
    if (!source.PrimaryClock)
        return clashes;
    if (standby.Present)
        clashes << QStringLiteral("[Standby] beside [Source] Primary=clock: this computer's clock is never lost, "
                                  "and a standby would stand in for nothing; remove one of them");
    if (ntp.Present)
        clashes << QStringLiteral("[NTP] beside [Source] Primary=clock: NTP would be fed its own time; remove [NTP]");
    return clashes;
}
