#include "app/SettingsCheck.h"

#include "relay/KnownSettings.h"
#include "relay/RelayConfig.h"
#include "relay/SettingFaults.h"
#include "relay/SettingsLists.h"
#include "relay/StandbySettings.h"
#include "settings/SettingsFile.h"

#include <QFileInfo>
#include <QNetworkInterface>
#include <QStringDecoder>
#include <cstdio>
#include <sysexits.h>

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

QStringList Problems(const SettingsFile& file)
{
    QStringList problems;
    const QString run = QStringLiteral("ProgRun");
    if (!SettingsFile::Named() && file.ReadInt(run, 0) == 0)
        problems.append(QStringLiteral("%1: nothing to run; write %2=1").arg(ShownSetting(file, run), run));
    const QString modeKey = QStringLiteral("ProgMode");
    const int mode = file.ReadInt(modeKey, 1);
    if (mode != 0 && mode != 1) {
        problems.append(QStringLiteral("%1 is no mode: write %2=1 for a server (RS232 => NET) or %2=0 for a client "
                                       "(NET => RS232)")
                            .arg(ShownSetting(file, modeKey), modeKey));
        return problems;
    }
    if (const std::optional<QString> port = PortSettingFault(file, QStringLiteral("ServerPort")))
        problems.append(*port);
    RelayConfig config;
    config.RelayMode = mode;
    config.InComName = file.ReadText(QStringLiteral("InComName")).trimmed();
    config.ServerName = file.ReadText(QStringLiteral("ServerName")).trimmed();
    config.ClientPort = file.ReadInt(QStringLiteral("ServerPort"), config.ClientPort);
    const StoredStandby standby = LoadStandbySettings(mode);
    config.Standby = standby.config;
    problems.append(standby.faults);
    if (mode == 1) {
        problems.append(LineFaults(file, QStringLiteral("InComName"), QStringLiteral("InComSpeed")));
    } else {
        if (file.Contains(QStringLiteral("ServerName")) && config.ServerName.isEmpty())
            problems.append(QStringLiteral("[Settaggi] ServerName is empty: write the server's name or address, e.g. "
                                           "ServerName=clock-server"));
        problems.append(LineFaults(file, QStringLiteral("OutComName"), QStringLiteral("OutComSpeed")));
    }
    problems.append(PathsNotUtf8());
    if (const std::optional<QString> web = WebListenFault())
        problems.append(*web);
    else if (const std::optional<ListenAddress> web = LoadWebListen();
             web && mode == 1 && web->port == config.ClientPort)
        problems.append(QStringLiteral("[Web] Listen=%1 takes the clock port, ServerPort=%2, that displays connect to: "
                                       "give the web port a port of its own, e.g. Listen=127.0.0.1:8530")
                            .arg(SettingsFile(QStringLiteral("Web")).ReadText(QStringLiteral("Listen")))
                            .arg(config.ClientPort));
    if (standby.faults.isEmpty()) {
        if (const std::optional<QString> clash = StandbyClash(config))
            problems.append(*clash);
    }
    return problems;
}

// An address the machine does not have (yet: an interface that comes up later) is waited for.
std::optional<QString> WebAddressAbsent()
{
    const std::optional<ListenAddress> web = LoadWebListen();
    // Every address of 127.0.0.0/8 is this machine's, though only one is written on its interface.
    if (!web || web->address == QHostAddress(QHostAddress::Any) || web->address == QHostAddress(QHostAddress::AnyIPv6)
        || web->address.isLoopback())
        return std::nullopt;
    for (const QHostAddress& own : QNetworkInterface::allAddresses()) {
        if (own.isEqual(web->address, QHostAddress::TolerantConversion))
            return std::nullopt;
    }
    return QStringLiteral("[Web] Listen=%1 is no address of this machine now: the web port listens once it is")
        .arg(SettingsFile(QStringLiteral("Web")).ReadText(QStringLiteral("Listen")));
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

} // namespace

SettingsCheck CheckSettings()
{
    const QString path = SettingsFile::Path();
    if (const std::optional<QString> unreadable = Unreadable(path))
        return {{*unreadable}, {}};
    SettingsCheck check;
    for (const QString& problem : Problems(SettingsFile()))
        check.problems.append(QStringLiteral("%1: %2").arg(path, problem));
    for (const QString& warning : UnknownSettings())
        check.warnings.append(QStringLiteral("%1: %2").arg(path, warning));
    if (const std::optional<QString> absent = WebAddressAbsent())
        check.warnings.append(QStringLiteral("%1: %2").arg(path, *absent));
    return check;
}

int PrintSettingsCheck()
{
    const SettingsCheck check = CheckSettings();
    for (const QString& problem : check.problems)
        std::printf("error: %s\n", qPrintable(problem));
    // A relay says these as it loads the list; asked here, they are said with the rest.
    for (const QString& warning : check.warnings + AllowListLeftOut())
        std::printf("warning: %s\n", qPrintable(warning));
    if (!check.problems.isEmpty()) {
        std::printf("%s: %lld problem(s): the relay cannot run on it as it stands\n", qPrintable(SettingsFile::Path()),
                    static_cast<long long>(check.problems.size()));
        return EX_CONFIG;
    }
    std::printf("%s: the relay can run on it\n", qPrintable(SettingsFile::Path()));
    return 0;
}
