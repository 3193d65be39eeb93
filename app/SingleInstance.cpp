#include "app/SingleInstance.h"

#include "relay/RelayLog.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Where system services keep their status sockets: RuntimeDirectory=horaline of horaline@.service.
const QString ServiceFolder = QStringLiteral("/run/horaline");
const QString LockFolder = QStringLiteral("/run/lock");

// The same file under another path (a symbolic link, a relative name) is the same settings.
QString SettingsIdentity()
{
    const QString canonical = QFileInfo(SettingsFile::Path()).canonicalFilePath();
    return canonical.isEmpty() ? SettingsFile::Path() : canonical;
}

// Short enough for a socket address, and the same for the same settings file whoever asks.
QString InstanceName()
{
    const QByteArray hash = QCryptographicHash::hash(SettingsIdentity().toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("%1-%2").arg(QCoreApplication::applicationName(), QString::fromLatin1(hash.toHex().left(16)));
}

// The folder a service manager made for this run, or the user's own below XDG_RUNTIME_DIR, read without
// Qt's guesses: a query from a shell of root or of a monitor has none, and must not make one.
QString OwnFolder()
{
    const QString service = qEnvironmentVariable("RUNTIME_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    if (!service.isEmpty())
        return service;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return runtime.isEmpty() ? QString() : QDir(runtime).filePath(QStringLiteral("horaline"));
}

qint64 PidIn(int file)
{
    char text[32] = {};
    const ssize_t got = ::pread(file, text, sizeof text - 1, 0);
    return got > 0 ? QByteArray(text, int(got)).trimmed().toLongLong() : 0;
}

bool SameFile(int file, const QString& path)
{
    struct stat held = {};
    struct stat named = {};
    return ::fstat(file, &held) == 0 && ::stat(QFile::encodeName(path).constData(), &named) == 0
        && held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

} // namespace

SingleInstance::SingleInstance()
{
    const QString folder = OwnFolder();
    if (!folder.isEmpty())
        Socket = QDir(folder).filePath(InstanceName() + QStringLiteral(".socket"));
}

SingleInstance::~SingleInstance()
{
    if (Lock < 0)
        return;
    // Taken away while still held: whoever opens it next makes a new one, which the check in Acquire sees.
    ::unlink(QFile::encodeName(LockPath).constData());
    ::close(Lock);
}

bool SingleInstance::Acquire()
{
    const QString folder = OwnFolder();
    if (!Socket.isEmpty() && !QFileInfo(folder).isDir()
        && (!QDir().mkpath(folder)
            || !QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)))
        Socket.clear();
    if (Socket.isEmpty())
        qCWarning(lcRelay).noquote() << "no runtime folder for the status socket: this Horaline on"
                                     << SettingsFile::Path() << "cannot be asked its status";
    LockPath = QDir(LockFolder).filePath(QStringLiteral("horaline-%1.lock").arg(InstanceName()));
    const QByteArray path = QFile::encodeName(LockPath);
    // A lock file taken away between its opening and its locking is no lock: open it again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        int file = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        // Made by another user, it can still be locked, and its holder read.
        if (file < 0 && errno == EACCES)
            file = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (file < 0)
            break;
        if (::flock(file, LOCK_EX | LOCK_NB) != 0) {
            Other = PidIn(file);
            ::close(file);
            return false;
        }
        if (!SameFile(file, LockPath)) {
            ::close(file);
            continue;
        }
        // Readable by all, whatever the service's umask, so that anyone's second start finds the holder.
        ::fchmod(file, 0644);
        // The holder's pid, for a second start to name; a file of another user's keeps that one's.
        const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid()) + '\n';
        if (::ftruncate(file, 0) == 0) {
            [[maybe_unused]] const ssize_t written = ::pwrite(file, pid.constData(), size_t(pid.size()), 0);
        }
        Lock = file;
        return true;
    }
    qCWarning(lcRelay).noquote() << "no lock can be held in" << LockFolder << "- a second Horaline on"
                                 << SettingsFile::Path() << "would not be noticed";
    return true;
}

QStringList StatusSocketPaths()
{
    const QString name = InstanceName() + QStringLiteral(".socket");
    QStringList paths;
    if (const QString own = OwnFolder(); !own.isEmpty())
        paths.append(QDir(own).filePath(name));
    if (const QString service = QDir(ServiceFolder).filePath(name); !paths.contains(service))
        paths.append(service);
    return paths;
}
