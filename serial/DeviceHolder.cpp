#include "serial/DeviceHolder.h"

#include "serial/SerialDevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

QByteArray ReadProc(qint64 pid, const char* what)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(what)));
    return file.open(QIODevice::ReadOnly) ? file.read(65536) : QByteArray();
}

QList<QByteArray> CommandLineOf(qint64 pid)
{
    QList<QByteArray> arguments = ReadProc(pid, "cmdline").split('\0');
    while (!arguments.isEmpty() && arguments.last().isEmpty())
        arguments.removeLast();
    return arguments;
}

bool IsHoraline(const QList<QByteArray>& arguments)
{
    if (arguments.isEmpty())
        return false;
    const QString program = QFileInfo(QFile::decodeName(arguments.first())).fileName();
    return program == QLatin1String("horaline-relay") || program.startsWith(QLatin1String("Horaline"));
}

} // namespace

std::optional<qint64> DeviceHolder(const QString& device)
{
    struct stat node = {};
    if (::stat(QFile::encodeName(device).constData(), &node) != 0)
        return std::nullopt;
    // The kernel's table: "1: FLOCK  ADVISORY  WRITE 18331 00:1a:3 0 EOF", the file as major:minor:inode.
    QFile locks(QStringLiteral("/proc/locks"));
    // Read whole: the kernel's files say they are empty, so no end can be told before reading.
    if (locks.open(QIODevice::ReadOnly)) {
        for (const QByteArray& entry : locks.readAll().split('\n')) {
            const QList<QByteArray> fields = entry.simplified().split(' ');
            if (fields.size() < 6 || fields[1] != "FLOCK")
                continue;
            const QList<QByteArray> file = fields[5].split(':');
            bool ok = file.size() == 3;
            const unsigned major = ok ? file[0].toUInt(&ok, 16) : 0;
            const unsigned minor = ok ? file[1].toUInt(&ok, 16) : 0;
            const qulonglong inode = ok ? file[2].toULongLong(&ok) : 0;
            if (ok && makedev(major, minor) == node.st_dev && inode == node.st_ino)
                return fields[4].toLongLong();
        }
    }
    return UucpLockHolder(device);
}

bool IsHoralineProcess(qint64 pid)
{
    return IsHoraline(CommandLineOf(pid));
}

QList<qint64> HoralineProcesses()
{
    QList<qint64> horaline;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (number && IsHoralineProcess(pid))
            horaline.append(pid);
    }
    return horaline;
}

QString SettingsOfProcess(qint64 pid)
{
    const QList<QByteArray> arguments = CommandLineOf(pid);
    if (!IsHoraline(arguments))
        return QString();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QByteArray path;
        if (arguments[i] == "--settings" && i + 1 < arguments.size())
            path = arguments[i + 1];
        else if (arguments[i].startsWith("--settings="))
            path = arguments[i].mid(int(sizeof "--settings=") - 1);
        if (path.isEmpty())
            continue;
        const QString named = QFile::decodeName(path);
        // A relative name is the holder's, from where it started.
        const QString cwd = QFile::symLinkTarget(QStringLiteral("/proc/%1/cwd").arg(pid));
        return QFileInfo(named).isAbsolute() || cwd.isEmpty() ? named : QDir(cwd).filePath(named);
    }
    return QString();
}

QString DescribeProcess(qint64 pid)
{
    const QList<QByteArray> arguments = CommandLineOf(pid);
    if (IsHoraline(arguments)) {
        const QString settings = SettingsOfProcess(pid);
        return settings.isEmpty() ? QStringLiteral("Horaline pid %1 on its user's own settings").arg(pid)
                                  : QStringLiteral("Horaline pid %1 on the settings %2").arg(pid).arg(settings);
    }
    const QString name = QString::fromLocal8Bit(ReadProc(pid, "comm").trimmed());
    return name.isEmpty() ? QStringLiteral("pid %1").arg(pid) : QStringLiteral("pid %1 (%2)").arg(pid).arg(name);
}
