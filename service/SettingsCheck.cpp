#include "service/SettingsCheck.h"

#include "config/SettingsLists.h"
#include "config/SettingsLoad.h"
#include "net/PortHolder.h"
#include "serial/DeviceHolder.h"
#include "settings/SettingsPath.h"
#include "sources/OwnClockSource.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMap>
#include <QNetworkInterface>
#include <QTextStream>
#include <cstdio>
#include <sys/stat.h>
#include <sysexits.h>
#include <unistd.h>

namespace {

// A relay on this very file is no other holder of its line or port: at a reload it is this process.
bool RunsOnThisFile(qint64 pid)
{
    if (pid == QCoreApplication::applicationPid())
        return true;
    if (!IsHoralineProcess(pid))
        return false;
    const QString settings = SettingsOfProcess(pid);
    if (settings.isEmpty())
        return !SettingsNamed();
    return QFileInfo(settings).canonicalFilePath() == QFileInfo(SettingsPath()).canonicalFilePath();
}

// A system instance's file: its service has a /tmp of its own and sees no home folders.
std::optional<QString> HiddenFromTheService(const QString& path)
{
    if (!SettingsNamed() || !QFileInfo(SettingsPath()).canonicalFilePath().startsWith(QLatin1String("/etc/horaline/")))
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
    const QByteArray path = QFile::encodeName(ntp.Socket);
    struct stat node = {};
    if (::stat(path.constData(), &node) != 0)
        warnings.append(Said(Key::Socket, 2, {ntp.Socket}));
    else if (!S_ISSOCK(node.st_mode))
        warnings.append(Said(Key::Socket, 3));
    else if (!MayOpen(ntp.Socket, W_OK, user.Account))
        warnings.append(Said(Key::Socket, 4, {user.Said}));
    // chrony takes one clock's samples at a socket: another's between them would make a clock of neither.
    const QString here = QFileInfo(ntp.Socket).absoluteFilePath();
    for (const qint64 pid : HoralineProcesses()) {
        const QString settings = SettingsOfProcess(pid);
        if (settings.isEmpty() || RunsOnThisFile(pid))
            continue;
        const QString feeds = FeedSocketIn(settings);
        if (!feeds.isEmpty() && QFileInfo(feeds).absoluteFilePath() == here)
            warnings.append(Said(Key::Socket, 5, {DescribeProcess(pid)}));
    }
}

// A largest error that is never asked, or one that never calls the clock unsynchronised, is no guard.
void NoteMaxError(const RelayConfig& config, QStringList& warnings)
{
    // Written and faulty, it keeps the relay from running, and is told as such.
    if (SettingText(Key::MaxError).isEmpty())
        return;
    if (!config.Source.PrimaryClock && !(config.Standby.Present && config.Standby.OwnClock))
        warnings.append(Said(Key::MaxError, 1));
    if (config.Source.MaxErrorS >= ClockSync().MaxErrorS)
        warnings.append(
            Said(Key::MaxError, 2, {QString::number(ClockSync().MaxErrorS, 'g', QLocale::FloatingPointShortest)}));
}

// How the machine stands with the file's configuration, for whom will run it: its lines, its clock
// port, chrony's socket.
void JudgeMachine(const FileSettings& read, QStringList& problems, QStringList& warnings)
{
    const RelayConfig& config = read.config;
    const StandbyConfig& standby = config.Standby;
    // Judged for whom will run it, not for whoever asks: root may open what the service may not.
    const RelayUser user = UserOfRelay();
    if (!user.Unjudged.isEmpty())
        warnings.append(user.Unjudged);
    if (config.FileFaults.isEmpty()) {
        NoteNtpSocket(config.Ntp, user, warnings);
        NoteMaxError(config, warnings);
    }
    if (config.RelayMode == 1) {
        if (!config.Source.PrimaryClock)
            NoteLineDevice(config.InComName, user, problems, warnings);
        if (standby.Present && !standby.InComName.isEmpty())
            NoteLineDevice(standby.InComName, user, problems, warnings);
        if (const std::optional<qint64> holder = PortHolder(quint16(config.ClientPort));
            holder && !read.portFault && !RunsOnThisFile(*holder))
            warnings.append(
                QStringLiteral("%1=%2 %3")
                    .arg(Key::ServerPort.Title(), QString::number(config.ClientPort),
                         Key::ServerPort.Faults.at(1).arg(*holder != 0 ? DescribeProcess(*holder)
                                                                       : QStringLiteral("another user's program"))));
    } else {
        NoteLineDevice(config.OutComName, user, problems, warnings);
    }
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
    return Said(Key::Listen, 1);
}

} // namespace

SettingsCheck CheckSettings()
{
    const FileSettings read = ReadFileSettings();
    if (!read.readable)
        return read.check;
    QStringList problems = read.check.problems;
    QStringList warnings;
    if (read.judged)
        JudgeMachine(read, problems, warnings);
    warnings += read.check.warnings;
    if (const std::optional<QString> absent = WebAddressAbsent())
        warnings.append(*absent);
    const auto withPath = [](const QStringList& said) {
        QStringList lines;
        for (const QString& line : said)
            lines.append(QStringLiteral("%1: %2").arg(SettingsPath(), line));
        return lines;
    };
    return {withPath(problems), withPath(warnings)};
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
        std::printf("%s: %lld problem(s): the relay cannot run on it as it stands\n", qPrintable(SettingsPath()),
                    static_cast<long long>(check.problems.size()));
        return EX_CONFIG;
    }
    std::printf("%s: the relay can run on it\n", qPrintable(SettingsPath()));
    return 0;
}

namespace {

// Where systemd reads system units, the first the strongest.
const char* const UnitFolders[] = {"/etc/systemd/system", "/run/systemd/system", "/usr/local/lib/systemd/system",
                                   "/usr/lib/systemd/system", "/lib/systemd/system"};

struct UnitCredentials
{
    QString User = QStringLiteral("horaline");
    QString Group;
    QStringList Supplementary;
};

void Apply(const QString& path, UnitCredentials& credentials)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream lines(&file);
    while (!lines.atEnd()) {
        const QString line = lines.readLine().trimmed();
        const QString value = line.section(QLatin1Char('='), 1).trimmed();
        if (line.startsWith(QLatin1String("User=")))
            credentials.User = value;
        else if (line.startsWith(QLatin1String("Group=")))
            credentials.Group = value;
        else if (line.startsWith(QLatin1String("SupplementaryGroups=")))
            // An empty assignment empties the list, as systemd reads it.
            credentials.Supplementary = value.isEmpty()
                ? QStringList()
                : credentials.Supplementary + value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
}

// The template's credentials as systemd takes them: the first unit file found, then the drop-ins of
// the template and of the instance, by name, where a folder before another hides its namesake.
UnitCredentials CredentialsOf(const QString& instance)
{
    UnitCredentials credentials;
    for (const char* folder : UnitFolders) {
        const QString unit = QDir(QLatin1String(folder)).filePath(QStringLiteral("horaline@.service"));
        if (QFileInfo::exists(unit)) {
            Apply(unit, credentials);
            break;
        }
    }
    for (const QString& dropIns :
         {QStringLiteral("horaline@.service.d"), QStringLiteral("horaline@%1.service.d").arg(instance)}) {
        QMap<QString, QString> byName;
        for (const char* folder : UnitFolders) {
            const QDir inside(QDir(QLatin1String(folder)).filePath(dropIns));
            for (const QString& name : inside.entryList({QStringLiteral("*.conf")}, QDir::Files)) {
                if (!byName.contains(name))
                    byName.insert(name, inside.filePath(name));
            }
        }
        for (const QString& path : std::as_const(byName))
            Apply(path, credentials);
    }
    return credentials;
}

} // namespace

RelayUser UserOfRelay()
{
    RelayUser self {AccessUser::OfThisProcess(), QStringLiteral("this user"), QString()};
    const QFileInfo settings(QFileInfo(SettingsPath()).canonicalFilePath());
    if (!SettingsNamed() || settings.absolutePath() != QLatin1String("/etc/horaline")
        || settings.suffix() != QLatin1String("ini"))
        return self;
    const QString instance = settings.completeBaseName();
    const UnitCredentials credentials = CredentialsOf(instance);
    const std::optional<AccessUser> account
        = AccessUser::Named(credentials.User, credentials.Group, credentials.Supplementary);
    if (!account) {
        self.Unjudged = QStringLiteral("the user %1 that the system service horaline@%2 runs as does not exist "
                                       "(the relay's package makes it): access is judged for this user")
                            .arg(credentials.User, instance);
        return self;
    }
    return {*account,
            QStringLiteral("%1, the user the system service horaline@%2 runs as").arg(credentials.User, instance),
            QString()};
}
