#include "app/SettingsCheck.h"

#include "relay/RelayConfig.h"
#include "relay/SettingFaults.h"
#include "relay/StandbySettings.h"
#include "settings/SettingsFile.h"

#include <QFileInfo>

namespace {

std::optional<QString> LineFault(const SettingsFile& file, const QString& nameKey, const QString& speedKey)
{
    return LineSettingFault(file, nameKey, file.ReadText(nameKey), speedKey, file.ReadText(speedKey),
                            {QStringLiteral("line"), QStringLiteral("COM3"), QStringLiteral("/dev/ttyUSB0")});
}

std::optional<QString> Fault(const SettingsFile& file)
{
    const QString run = QStringLiteral("ProgRun");
    if (file.ReadInt(run, 0) == 0)
        return QStringLiteral("%1: nothing to run; write %2=1").arg(ShownSetting(file, run), run);
    if (const std::optional<QString> port = PortSettingFault(file, QStringLiteral("ServerPort")))
        return port;
    const int mode = file.ReadInt(QStringLiteral("ProgMode"), 1);
    RelayConfig config;
    config.RelayMode = mode;
    config.InComName = file.ReadText(QStringLiteral("InComName")).trimmed();
    config.ServerName = file.ReadText(QStringLiteral("ServerName")).trimmed();
    config.ClientPort = file.ReadInt(QStringLiteral("ServerPort"), config.ClientPort);
    const StoredStandby standby = LoadStandbySettings(mode);
    config.Standby = standby.config;
    if (const std::optional<QString> fault = standby.fault ? standby.fault : StandbyClash(config))
        return fault;
    if (mode == 1)
        return LineFault(file, QStringLiteral("InComName"), QStringLiteral("InComSpeed"));
    if (file.Contains(QStringLiteral("ServerName")) && file.ReadText(QStringLiteral("ServerName")).trimmed().isEmpty())
        return QStringLiteral("[Settaggi] ServerName is empty: write the server's name or address, e.g. "
                              "ServerName=clock-server");
    return LineFault(file, QStringLiteral("OutComName"), QStringLiteral("OutComSpeed"));
}

} // namespace

std::optional<QString> UnrunnableSettings()
{
    const QString path = SettingsFile::Path();
    const QString aside = SettingsFile::SetAsideIfDamaged();
    if (!aside.isEmpty())
        return QStringLiteral("%1 was damaged and is kept as %2: write the settings again (man Horaline)")
            .arg(path, aside);
    if (!QFileInfo::exists(path))
        return QStringLiteral("%1 does not exist: write the settings there first (man Horaline)").arg(path);
    const SettingsFile file;
    if (const std::optional<QString> fault = Fault(file))
        return QStringLiteral("%1: %2").arg(path, *fault);
    return std::nullopt;
}
