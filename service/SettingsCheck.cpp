#include "service/SettingsCheck.h"

#include "config/KnownSettings.h"
#include "config/RelayConfig.h"
#include "config/RelaySettings.h"
#include "config/SettingFaults.h"
#include "config/SettingsLists.h"
#include "config/StandbySettings.h"
#include "net/PortHolder.h"
#include "relay/ClockSync.h"
#include "serial/DeviceHolder.h"
#include "service/ServiceUser.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QNetworkInterface>
#include <QSettings>
#include <QStringDecoder>
#include <cstdio>
#include <sys/stat.h>
#include <sysexits.h>
#include <unistd.h>

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

// A relay on this very file is no other holder of its line or port: at a reload it is this process.
bool RunsOnThisFile(qint64 pid)
{
    if (pid == QCoreApplication::applicationPid())
        return true;
    if (!IsHoralineProcess(pid))
        return false;
    const QString settings = SettingsOfProcess(pid);
    if (settings.isEmpty())
        return !SettingsFile::Named();
    return QFileInfo(settings).canonicalFilePath() == QFileInfo(SettingsFile::Path()).canonicalFilePath();
}

// A system instance's file: its service has a /tmp of its own and sees no home folders.
std::optional<QString> HiddenFromTheService(const QString& path)
{
    if (!SettingsFile::Named()
        || !QFileInfo(SettingsFile::Path()).canonicalFilePath().startsWith(QLatin1String("/etc/horaline/")))
        return std::nullopt;
    for (const QString& where : {path, QFileInfo(path).canonicalFilePath()}) {
        for (const char* hidden : {"/tmp/", "/var/tmp/", "/home/", "/root/", "/run/user/"}) {
            if (where.startsWith(QLatin1String(hidden)))
                return QLatin1String(hidden).chopped(1);
        }
    }
    return std::nullopt;
}

// The device behind a line as the relay will meet it: no serial line at all is a problem; one not there
// yet, one another program holds, one its user may not open, or one the service cannot see is told.
void NoteLineDevice(const QString& name, const RelayUser& user, QStringList& problems, QStringList& warnings)
{
    const QString device = ComDeviceNow(name);
    if (device.isEmpty())
        return;
    const QString line = QStringLiteral("%1 = %2").arg(name, device);
    struct stat node = {};
    if (::stat(QFile::encodeName(device).constData(), &node) != 0)
        warnings.append(QStringLiteral("%1 does not exist now: the relay will wait for it").arg(line));
    else if (!S_ISCHR(node.st_mode))
        problems.append(QStringLiteral("%1 is %2, no serial line: write the device's path under [Ports], e.g. "
                                       "%3=/dev/serial/by-id/usb-…")
                            .arg(line,
                                 S_ISREG(node.st_mode)        ? QStringLiteral("a file")
                                     : S_ISFIFO(node.st_mode) ? QStringLiteral("a FIFO")
                                     : S_ISDIR(node.st_mode)  ? QStringLiteral("a folder")
                                                              : QStringLiteral("no device"),
                                 name));
    else if (!MayOpen(device, R_OK | W_OK, user.Account))
        warnings.append(QStringLiteral("%1 cannot be read and written by %2%3")
                            .arg(line, user.Said, AccessHint(device, user.Account)));
    else if (const std::optional<qint64> holder = DeviceHolder(device); holder && !RunsOnThisFile(*holder))
        warnings.append(QStringLiteral("%1 is held now by %2: a relay on this file would wait for it")
                            .arg(line, DescribeProcess(*holder)));
    if (const std::optional<QString> hidden = HiddenFromTheService(device))
        warnings.append(QStringLiteral("%1 is under %2, which the system service does not see (its /tmp is its own; "
                                       "/home, /root and /run/user are hidden from it): name the device under /dev, "
                                       "e.g. /dev/serial/by-id/…, or a link a udev rule makes (SYMLINK+=\"clock\")")
                            .arg(line, *hidden));
}

// chrony makes the socket when it starts, as root and writable by root alone: a relay that may not
// write there feeds nothing, which is told before it runs.
void NoteNtpSocket(const NtpConfig& ntp, const RelayUser& user, QStringList& warnings)
{
    if (!ntp.Present)
        return;
    const QString socket = QStringLiteral("[NTP] Socket=%1").arg(ntp.Socket);
    const QByteArray path = QFile::encodeName(ntp.Socket);
    struct stat node = {};
    if (::stat(path.constData(), &node) != 0)
        warnings.append(QStringLiteral("%1 does not exist now: chrony makes it as it starts with "
                                       "\"refclock SOCK %2\"; the relay feeds it once it is there")
                            .arg(socket, ntp.Socket));
    else if (!S_ISSOCK(node.st_mode))
        warnings.append(QStringLiteral("%1 is no socket: name the path of chrony's refclock SOCK").arg(socket));
    else if (!MayOpen(ntp.Socket, W_OK, user.Account))
        warnings.append(QStringLiteral("%1 cannot be written by %2: chrony's drop-in among the relay's examples, "
                                       "chrony-horaline.conf, lets the group horaline write it (README.md, \"Feed "
                                       "your NTP server\")")
                            .arg(socket, user.Said));
    // chrony takes one clock's samples at a socket: another's between them would make a clock of neither.
    const QString here = QFileInfo(ntp.Socket).absoluteFilePath();
    for (const qint64 pid : HoralineProcesses()) {
        const QString settings = SettingsOfProcess(pid);
        if (settings.isEmpty() || RunsOnThisFile(pid))
            continue;
        const QSettings other(settings, QSettings::IniFormat);
        const QString feeds = other.value(QStringLiteral("NTP/Socket")).toString().trimmed();
        if (!feeds.isEmpty() && QFileInfo(feeds).absoluteFilePath() == here)
            warnings.append(QStringLiteral("%1 is fed by %2 too: chrony would take the samples of both clocks as one; "
                                           "give each relay a socket and a refclock of its own")
                                .arg(socket, DescribeProcess(pid)));
    }
}

// A largest error that is never asked, or one that never calls the clock unsynchronised, is no guard.
void NoteMaxError(const RelayConfig& config, QStringList& warnings)
{
    const SettingsFile source(QStringLiteral("Source"));
    const QString key = QStringLiteral("MaxError");
    if (!source.Contains(key))
        return;
    if (!config.Source.PrimaryClock && !(config.Standby.Present && config.Standby.OwnClock))
        warnings.append(QStringLiteral("%1 is asked of no source: this computer's clock is neither the primary "
                                       "([Source] Primary=clock) nor the last resort ([Standby] OwnClock=1)")
                            .arg(ShownSetting(source, key)));
    if (config.Source.MaxErrorS >= ClockSync().MaxErrorS)
        warnings.append(QStringLiteral("%1 never calls this computer's clock unsynchronised: the kernel gives a "
                                       "clock nobody keeps %2 s at the most; write less, e.g. %3=0.5")
                            .arg(ShownSetting(source, key))
                            .arg(ClockSync().MaxErrorS)
                            .arg(key));
}

QStringList Problems(const SettingsFile& file, QStringList& warnings)
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
    // The groups only the file holds, read as a relay reads them at its start and at each reload.
    LoadFileOnlySettings(config);
    const StandbyConfig& standby = config.Standby;
    problems.append(config.FileFaults);
    // Judged for whom will run it, not for whoever asks: root may open what the service may not.
    const RelayUser user = UserOfRelay();
    if (!user.Unjudged.isEmpty())
        warnings.append(user.Unjudged);
    if (config.FileFaults.isEmpty()) {
        NoteNtpSocket(config.Ntp, user, warnings);
        NoteMaxError(config, warnings);
    }
    // This computer's clock as the primary needs no input line, nor a server to ask.
    const bool primaryClock = config.Source.PrimaryClock;
    if (mode == 1) {
        if (!primaryClock) {
            problems.append(LineFaults(file, QStringLiteral("InComName"), QStringLiteral("InComSpeed")));
            NoteLineDevice(config.InComName, user, problems, warnings);
        }
        if (standby.Present && !standby.InComName.isEmpty())
            NoteLineDevice(standby.InComName, user, problems, warnings);
        if (const std::optional<qint64> holder = PortHolder(quint16(config.ClientPort));
            holder && !PortSettingFault(file, QStringLiteral("ServerPort")) && !RunsOnThisFile(*holder))
            warnings.append(
                QStringLiteral("[Settaggi] ServerPort=%1 is taken now by %2: a relay on this file would "
                               "wait for it")
                    .arg(config.ClientPort)
                    .arg(*holder != 0 ? DescribeProcess(*holder) : QStringLiteral("another user's program")));
    } else {
        if (!primaryClock && file.Contains(QStringLiteral("ServerName")) && config.ServerName.isEmpty())
            problems.append(QStringLiteral("[Settaggi] ServerName is empty: write the server's name or address, e.g. "
                                           "ServerName=clock-server"));
        problems.append(LineFaults(file, QStringLiteral("OutComName"), QStringLiteral("OutComSpeed")));
        NoteLineDevice(file.ReadText(QStringLiteral("OutComName")).trimmed(), user, problems, warnings);
    }
    problems.append(PathsNotUtf8());
    if (const std::optional<QString> web = WebListenFault())
        problems.append(*web);
    else if (const std::optional<ListenAddress>& web = config.Web; web && mode == 1 && web->port == config.ClientPort)
        problems.append(QStringLiteral("[Web] Listen=%1 takes the clock port, ServerPort=%2, that displays connect to: "
                                       "give the web port a port of its own, e.g. Listen=127.0.0.1:8530")
                            .arg(SettingsFile(QStringLiteral("Web")).ReadText(QStringLiteral("Listen")))
                            .arg(config.ClientPort));
    if (config.FileFaults.isEmpty()) {
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
    QStringList warnings;
    for (const QString& problem : Problems(SettingsFile(), warnings))
        check.problems.append(QStringLiteral("%1: %2").arg(path, problem));
    for (const QString& warning : warnings + UnknownSettings())
        check.warnings.append(QStringLiteral("%1: %2").arg(path, warning));
    if (const std::optional<QString> absent = WebAddressAbsent())
        check.warnings.append(QStringLiteral("%1: %2").arg(path, *absent));
    return check;
}

LoadedSettings LoadSettings()
{
    LoadedSettings loaded {CheckSettings(), {}};
    if (loaded.check.problems.isEmpty())
        loaded.stored = LoadRelaySettings({});
    return loaded;
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
