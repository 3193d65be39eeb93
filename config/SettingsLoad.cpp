#include "config/SettingsLoad.h"

#include "config/GroupSettings.h"
#include "config/RelaySettings.h"
#include "config/SettingFaults.h"
#include "config/SettingKeys.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsPath.h"

#include <QFileInfo>
#include <QSettings>
#include <QStringDecoder>

namespace {

QStringList LineFaults(const SettingsFile& file, const SettingKey& nameKey, const SettingKey& speedKey)
{
    return LineSettingFaults(file, nameKey, file.ReadText(nameKey.Name), speedKey, file.ReadText(speedKey.Name));
}

// The settings are read as UTF-8, which drops the bytes of another encoding: a path written in Latin-1
// would name another device, so it is refused rather than guessed at.
QStringList PathsNotUtf8()
{
    QStringList problems;
    for (const QString& name : SettingsFile(PortsGroup).Names()) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString line = utf8(SettingsFile::BytesAsWritten(PortsGroup, name));
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
    if (!SettingsNamed() && file.ReadInt(Key::ProgRun.Name, 0) == 0)
        problems.append(Said(file, Key::ProgRun));
    const int mode = file.ReadInt(Key::ProgMode.Name, 1);
    if (mode < Key::ProgMode.Lowest || mode > Key::ProgMode.Highest) {
        problems.append(Said(file, Key::ProgMode));
        return;
    }
    read.judged = true;
    if (const std::optional<QString> port = PortSettingFault(file, Key::ServerPort)) {
        problems.append(*port);
        read.portFault = true;
    }
    RelayConfig& config = read.config;
    config.RelayMode = mode;
    config.InComName = file.ReadText(Key::InComName.Name).trimmed();
    config.OutComName = file.ReadText(Key::OutComName.Name).trimmed();
    config.ServerName = file.ReadText(Key::ServerName.Name).trimmed();
    config.ClientPort = file.ReadInt(Key::ServerPort.Name, config.ClientPort);
    // The groups only the file holds, read as a relay reads them at its start and at each reload.
    LoadFileOnlySettings(config);
    problems.append(config.FileFaults);
    // This computer's clock as the primary needs no input line, nor a server to ask.
    const bool primaryClock = config.Source.PrimaryClock;
    if (mode == 1) {
        if (!primaryClock)
            problems.append(LineFaults(file, Key::InComName, Key::InComSpeed));
    } else {
        if (!primaryClock && file.Contains(Key::ServerName.Name) && config.ServerName.isEmpty())
            problems.append(QStringLiteral("%1 %2").arg(Key::ServerName.Title(), Key::ServerName.Faults.at(0)));
        problems.append(LineFaults(file, Key::OutComName, Key::OutComSpeed));
    }
    problems.append(PathsNotUtf8());
    if (const std::optional<QString> web = WebListenFault())
        problems.append(*web);
    else if (const std::optional<ListenAddress>& web = config.Web; web && mode == 1 && web->port == config.ClientPort)
        problems.append(Said(Key::Listen, 2, {QString::number(config.ClientPort)}));
    if (!LoadWebDisplays())
        problems.append(Said(Key::Displays));
    if (config.FileFaults.isEmpty()) {
        if (const std::optional<QString> clash = StandbyClash(config))
            problems.append(*clash);
    }
}

void Compare(QStringList& changes, const QString& name, const QString& before, const QString& after)
{
    if (before != after)
        changes.append(QStringLiteral("%1 %2 -> %3").arg(name, before, after));
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
    return read;
}

QStringList SettingsChanges(const RelayConfig& now, const RelayConfig& next, const QString& allowedNow)
{
    QStringList changes;
    if (now.RelayMode == 1) {
        Compare(changes, Key::InComName.Name, now.InComName, next.InComName);
        Compare(changes, Key::InComSpeed.Name, now.InComSpeed, next.InComSpeed);
        Compare(changes, Key::ServerPort.Name, QString::number(now.ServerPort), QString::number(next.ServerPort));
        Compare(changes, Key::Allow.Title(), allowedNow, next.Allowed.list.Text());
    } else {
        Compare(changes, Key::OutComName.Name, now.OutComName, next.OutComName);
        Compare(changes, Key::OutComSpeed.Name, now.OutComSpeed, next.OutComSpeed);
        Compare(changes, Key::ServerName.Name, now.ServerName, next.ServerName);
        Compare(changes, Key::ServerPort.Name, QString::number(now.ClientPort), QString::number(next.ClientPort));
    }
    for (const auto& [changed, group] :
         {std::pair {next.Standby != now.Standby, Key::After.Group}, std::pair {next.Ntp != now.Ntp, Key::Socket.Group},
          std::pair {next.Source != now.Source, Key::Primary.Group}}) {
        if (changed)
            changes.append(QStringLiteral("[%1]").arg(group));
    }
    return changes;
}

QString Said(const SettingKey& key, int fault, const QStringList& values)
{
    return Said(SettingsFile(key.Group), key, fault, values);
}

QString SettingText(const SettingKey& key)
{
    return SettingsFile(key.Group).ReadText(key.Name);
}

QString FeedSocketIn(const QString& settingsPath)
{
    const QSettings other(settingsPath, QSettings::IniFormat);
    return other.value(QStringLiteral("%1/%2").arg(Key::Socket.Group, Key::Socket.Name)).toString().trimmed();
}
