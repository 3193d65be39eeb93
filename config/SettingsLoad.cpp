#include "config/SettingsLoad.h"

#include "config/KnownSettings.h"
#include "config/RelaySettings.h"
#include "config/SettingFaults.h"
#include "config/StandbySettings.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsPath.h"

#include <QFileInfo>
#include <QSettings>
#include <QStringDecoder>

namespace {

QStringList LineFaults(const SettingsFile& file, const QString& nameKey, const QString& speedKey)
{
    return LineSettingFaults(file, nameKey, file.ReadText(nameKey), speedKey, file.ReadText(speedKey),
                             {QStringLiteral("line"), QStringLiteral("COM3"), QStringLiteral("/dev/ttyUSB0")});
}

// The settings are read as UTF-8, which drops the bytes of another encoding: a path written in Latin-1
// would name another device, so it is refused rather than guessed at.
QStringList PathsNotUtf8()
{
    QStringList problems;
    const QString group = QStringLiteral("Ports");
    for (const QString& name : SettingsFile(group).Names()) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString line = utf8(SettingsFile::BytesAsWritten(group, name));
        if (utf8.hasError())
            problems.append(QStringLiteral("[Ports] %1 is not UTF-8 text (\"%2\", another encoding's bytes shown as "
                                           "\uFFFD): save the file as UTF-8, or name the device by a link whose name "
                                           "is plain ASCII")
                                .arg(name, line));
    }
    return problems;
}

// Whether the file can be read as settings at all, and what to do where it cannot.
std::optional<QString> Unreadable(const QString& path)
{
    const QString aside = SettingsFile::SetAsideIfDamaged();
    if (!aside.isEmpty())
        return QStringLiteral("%1 was damaged and is kept as %2: write the settings again (man Horaline)")
            .arg(path, aside);
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("%1 does not exist: write the settings there first (man Horaline)").arg(path);
    if (!info.isReadable())
        return QStringLiteral("%1 cannot be read by this user: give it read permission, e.g. chgrp horaline %1; "
                              "chmod 640 %1")
            .arg(path);
    if (SettingsFile::Damaged())
        return QStringLiteral("%1 is no settings file (no [Settaggi] group, or not text): write the settings "
                              "there (man Horaline)")
            .arg(path);
    return std::nullopt;
}

void JudgeFile(const SettingsFile& file, FileSettings& read)
{
    QStringList& problems = read.check.problems;
    const QString run = QStringLiteral("ProgRun");
    if (!SettingsNamed() && file.ReadInt(run, 0) == 0)
        problems.append(QStringLiteral("%1: nothing to run; write %2=1").arg(ShownSetting(file, run), run));
    const QString modeKey = QStringLiteral("ProgMode");
    const int mode = file.ReadInt(modeKey, 1);
    if (mode != 0 && mode != 1) {
        problems.append(QStringLiteral("%1 is no mode: write %2=1 for a server (RS232 => NET) or %2=0 for a client "
                                       "(NET => RS232)")
                            .arg(ShownSetting(file, modeKey), modeKey));
        return;
    }
    read.judged = true;
    if (const std::optional<QString> port = PortSettingFault(file, QStringLiteral("ServerPort"))) {
        problems.append(*port);
        read.portFault = true;
    }
    RelayConfig& config = read.config;
    config.RelayMode = mode;
    config.InComName = file.ReadText(QStringLiteral("InComName")).trimmed();
    config.OutComName = file.ReadText(QStringLiteral("OutComName")).trimmed();
    config.ServerName = file.ReadText(QStringLiteral("ServerName")).trimmed();
    config.ClientPort = file.ReadInt(QStringLiteral("ServerPort"), config.ClientPort);
    // The groups only the file holds, read as a relay reads them at its start and at each reload.
    LoadFileOnlySettings(config);
    problems.append(config.FileFaults);
    // This computer's clock as the primary needs no input line, nor a server to ask.
    const bool primaryClock = config.Source.PrimaryClock;
    if (mode == 1) {
        if (!primaryClock)
            problems.append(LineFaults(file, QStringLiteral("InComName"), QStringLiteral("InComSpeed")));
    } else {
        if (!primaryClock && file.Contains(QStringLiteral("ServerName")) && config.ServerName.isEmpty())
            problems.append(QStringLiteral("[Settaggi] ServerName is empty: write the server's name or address, e.g. "
                                           "ServerName=clock-server"));
        problems.append(LineFaults(file, QStringLiteral("OutComName"), QStringLiteral("OutComSpeed")));
    }
    problems.append(PathsNotUtf8());
    if (const std::optional<QString> web = WebListenFault())
        problems.append(*web);
    else if (const std::optional<ListenAddress>& web = config.Web; web && mode == 1 && web->port == config.ClientPort)
        problems.append(QStringLiteral("[Web] Listen=%1 takes the clock port, ServerPort=%2, that displays connect to: "
                                       "give the web port a port of its own, e.g. Listen=127.0.0.1:8530")
                            .arg(SettingText(QStringLiteral("Web"), QStringLiteral("Listen")))
                            .arg(config.ClientPort));
    if (config.FileFaults.isEmpty()) {
        if (const std::optional<QString> clash = StandbyClash(config))
            problems.append(*clash);
    }
}

} // namespace

FileSettings ReadFileSettings()
{
    FileSettings read;
    if (const std::optional<QString> unreadable = Unreadable(SettingsPath())) {
        read.check.problems.append(*unreadable);
        return read;
    }
    read.readable = true;
    JudgeFile(SettingsFile(), read);
    read.check.warnings = UnknownSettings();
    for (QStringList* said : {&read.check.problems, &read.check.warnings}) {
        for (QString& line : *said)
            line = QStringLiteral("%1: %2").arg(SettingsPath(), line);
    }
    return read;
}

QString ShownSetting(const QString& group, const QString& key)
{
    return ShownSetting(SettingsFile(group), key);
}

QString SettingText(const QString& group, const QString& key)
{
    return SettingsFile(group).ReadText(key);
}

QString FeedSocketIn(const QString& settingsPath)
{
    const QSettings other(settingsPath, QSettings::IniFormat);
    return other.value(QStringLiteral("NTP/Socket")).toString().trimmed();
}
