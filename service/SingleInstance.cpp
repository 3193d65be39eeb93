#include "service/SingleInstance.h"

#include "relay/RelayLog.h"
#include "settings/SettingsPath.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Where system services keep their status sockets: RuntimeDirectory=horaline of horaline@.service.
const QString ServiceFolder = QStringLiteral("/run/horaline");

// Short enough for a socket address, and the same for the same settings whoever asks.
QString InstanceName(const QString& identity)
{
    const QByteArray hash = QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("%1-%2").arg(QCoreApplication::applicationName(), QString::fromLatin1(hash.toHex().left(16)));
}

QString SettingsIdentity()
{
    const QString canonical = QFileInfo(SettingsPath()).canonicalFilePath();
    return canonical.isEmpty() ? SettingsPath() : canonical;
}

// The file a path leads to, as its device and inode and, where the file system keeps it, the moment it
// was made: "2049:1081927:1796850818.123456789"; empty for none. A file system gives a freed inode to the
// next file at once: without its birth, a new file would take the name of one a running relay still holds
// after an editor replaced it, and a second path to the new file would not be seen as the same.
QString FileOf(const QString& path)
{
    struct statx file = {};
    if (::statx(AT_FDCWD, QFile::encodeName(path).constData(), 0, STATX_INO | STATX_BTIME, &file) != 0)
        return QString();
    const QString node
        = QStringLiteral("%1:%2").arg(::makedev(file.stx_dev_major, file.stx_dev_minor)).arg(file.stx_ino);
    if ((file.stx_mask & STATX_BTIME) == 0)
        return node;
    return QStringLiteral("%1:%2.%3")
        .arg(node)
        .arg(file.stx_btime.tv_sec)
        .arg(file.stx_btime.tv_nsec, 9, 10, QLatin1Char('0'));
}

// The settings under their path (a symbolic link or a relative name leads to the same), and the file
// itself: another path to it is the same settings, and an editor that replaces the file leaves the path.
QStringList InstanceNames()
{
    QStringList names {InstanceName(SettingsIdentity())};
    if (const QString file = FileOf(SettingsPath()); !file.isEmpty())
        names.append(InstanceName(QStringLiteral("file ") + file));
    return names;
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

QString LockFolderOf(const QString& lockBase, uid_t user)
{
    return QDir(lockBase).filePath(QStringLiteral("horaline-%1").arg(user));
}

QByteArray LockFileName(const QString& name)
{
    return (name + QStringLiteral(".lock")).toUtf8();
}

// What a lock file says of its holder: its pid, and the path of the settings it took the lock for.
struct Holder
{
    qint64 pid = 0;
    QString settings;
};

Holder HolderIn(int file)
{
    char text[4096] = {};
    const ssize_t got = ::pread(file, text, sizeof text - 1, 0);
    const QList<QByteArray> lines = QByteArray(text, got > 0 ? int(got) : 0).split('\n');
    return {lines.value(0).trimmed().toLongLong(), QFile::decodeName(lines.value(1))};
}

// A file's inode is reused once the file is gone: the lock of a file is the holder's only while its own
// settings are still that file, as they are for a hard link or a bind mount, and not for a file that
// was replaced under it (an editor's save) and whose inode another file got since.
bool HoldsThisFile(const Holder& holder, const QString& file)
{
    return file.isEmpty() || FileOf(holder.settings) == file;
}

// The holder of one of these locks in the folder, tested, never taken: a query must not keep a relay
// from starting.
std::optional<Holder> HolderOf(int folder, const QStringList& names)
{
    const QString file = FileOf(SettingsPath());
    for (qsizetype i = 0; i < names.size(); ++i) {
        const int lock = ::openat(folder, LockFileName(names[i]).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (lock < 0)
            continue;
        struct flock whole = {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        std::optional<Holder> holder;
        if (::fcntl(lock, F_OFD_GETLK, &whole) == 0 && whole.l_type != F_UNLCK)
            holder = HolderIn(lock);
        ::close(lock);
        if (holder && (i == 0 || HoldsThisFile(*holder, file)))
            return holder;
    }
    return std::nullopt;
}

// The holder of these settings among the locks this user may see: its own, and every user's for root.
std::optional<Holder> FindHolder(const QString& lockBase)
{
    QStringList folders {LockFolderOf(lockBase, ::geteuid())};
    if (::geteuid() == 0) {
        for (const QString& other :
             QDir(lockBase).entryList({QStringLiteral("horaline-*")}, QDir::Dirs | QDir::NoSymLinks))
            folders.append(QDir(lockBase).filePath(other));
    }
    const QStringList names = InstanceNames();
    for (const QString& path : folders) {
        const int folder = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder < 0)
            continue;
        const std::optional<Holder> holder = HolderOf(folder, names);
        ::close(folder);
        if (holder)
            return holder;
    }
    return std::nullopt;
}

void SayUnnoticed(const QString& why)
{
    qCWarning(lcRelay).noquote() << why << "- a second Horaline on" << SettingsPath() << "would not be noticed";
}

// Root takes back its folder from whoever made one in its place: a link is removed, anything else is
// moved aside, never followed or opened.
bool SetAside(const QByteArray& path, const struct stat& found)
{
    if (!S_ISDIR(found.st_mode))
        return ::unlink(path.constData()) == 0;
    const QByteArray aside = path + ".untrusted-" + QByteArray::number(QCoreApplication::applicationPid());
    return ::rename(path.constData(), aside.constData()) == 0;
}

// This user's lock folder, made if missing; -1 when there is none this user alone can write, which is said.
int OpenLockFolder(const QString& lockBase)
{
    const uid_t self = ::geteuid();
    const QString path = LockFolderOf(lockBase, self);
    const QByteArray name = QFile::encodeName(path);
    for (int attempt = 0; attempt < 2; ++attempt) {
        ::mkdir(name.constData(), 0700);
        const int folder = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat found = {};
        if (folder >= 0 && ::fstat(folder, &found) == 0 && found.st_uid == self && (found.st_mode & 022) == 0)
            return folder;
        if (folder >= 0)
            ::close(folder);
        if (::lstat(name.constData(), &found) != 0) {
            SayUnnoticed(QStringLiteral("no lock can be held in %1 (%2)")
                             .arg(lockBase, QString::fromLocal8Bit(std::strerror(errno))));
            return -1;
        }
        const QString what = QStringLiteral("%1 of uid %2, mode %3")
                                 .arg(S_ISDIR(found.st_mode)       ? QStringLiteral("a folder")
                                          : S_ISLNK(found.st_mode) ? QStringLiteral("a link")
                                                                   : QStringLiteral("a file"))
                                 .arg(found.st_uid)
                                 .arg(found.st_mode & 07777, 4, 8, QLatin1Char('0'));
        if (self == 0 && attempt == 0 && SetAside(name, found)) {
            qCWarning(lcRelay).noquote() << path << "was not root's own (" + what + "): it is set aside and made anew";
            continue;
        }
        SayUnnoticed(QStringLiteral("%1 is not this user's own folder (%2): remove it as root").arg(path, what));
        return -1;
    }
    return -1;
}

} // namespace

SingleInstance::SingleInstance(const QString& lockBase)
    : LockBase(lockBase)
{ }

SingleInstance::~SingleInstance()
{
    for (const Held& lock : Locks)
        Release(lock);
    if (Folder >= 0)
        ::close(Folder);
}

bool SingleInstance::Acquire()
{
    SocketFolder = OwnFolder();
    if (!SocketFolder.isEmpty() && !QFileInfo(SocketFolder).isDir()
        && (!QDir().mkpath(SocketFolder)
            || !QFile::setPermissions(SocketFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)))
        SocketFolder.clear();
    if (SocketFolder.isEmpty())
        qCWarning(lcRelay).noquote() << "no runtime folder for the status socket: this Horaline on" << SettingsPath()
                                     << "cannot be asked its status";
    Names = InstanceNames();
    Folder = OpenLockFolder(LockBase);
    return Folder < 0 || Take(Names);
}

bool SingleInstance::Follow()
{
    const QStringList names = InstanceNames();
    if (names == Names)
        return true;
    if (Folder >= 0 && !Take(names))
        return false;
    Names = names;
    return true;
}

QStringList SingleInstance::SocketPaths() const
{
    if (SocketFolder.isEmpty())
        return {};
    return {QDir(SocketFolder).filePath(Names.first() + QStringLiteral(".socket"))};
}

bool SingleInstance::Take(const QStringList& names)
{
    std::vector<Held> taken;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString& name = names[i];
        if (std::any_of(Locks.begin(), Locks.end(), [&name](const Held& lock) { return lock.name == name; }))
            continue;
        const int file = TakeOne(name, i == 0 ? QString() : FileOf(SettingsPath()));
        if (file == -1) {
            for (const Held& lock : taken)
                Release(lock);
            return false;
        }
        if (file >= 0)
            taken.push_back({name, file});
    }
    // What the settings no longer are is given up, once what they are now is held.
    for (auto lock = Locks.begin(); lock != Locks.end();) {
        if (names.contains(lock->name)) {
            ++lock;
            continue;
        }
        Release(*lock);
        lock = Locks.erase(lock);
    }
    Locks.insert(Locks.end(), taken.begin(), taken.end());
    return true;
}

int SingleInstance::TakeOne(const QString& name, const QString& file)
{
    const QByteArray path = LockFileName(name);
    // A lock file taken away between its opening and its locking is no lock: open it again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int lock = ::openat(Folder, path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (lock < 0)
            break;
        // A lock of the open file itself, which a test for it from another descriptor can see.
        struct flock whole = {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        if (::fcntl(lock, F_OFD_SETLK, &whole) != 0) {
            const bool held = errno == EAGAIN || errno == EACCES;
            const Holder holder = held ? HolderIn(lock) : Holder();
            ::close(lock);
            if (!held)
                break;
            if (!HoldsThisFile(holder, file))
                return -3;
            Other = holder.pid;
            return -1;
        }
        struct stat locked = {};
        struct stat named = {};
        if (::fstat(lock, &locked) != 0 || ::fstatat(Folder, path.constData(), &named, AT_SYMLINK_NOFOLLOW) != 0
            || locked.st_dev != named.st_dev || locked.st_ino != named.st_ino) {
            ::close(lock);
            continue;
        }
        // The holder's pid, for a second start of this user's to name, and the settings it holds.
        const QByteArray said = QByteArray::number(QCoreApplication::applicationPid()) + '\n'
            + QFile::encodeName(SettingsIdentity()) + '\n';
        if (::ftruncate(lock, 0) == 0) {
            [[maybe_unused]] const ssize_t written = ::pwrite(lock, said.constData(), size_t(said.size()), 0);
        }
        return lock;
    }
    SayUnnoticed(QStringLiteral("no lock can be held in %1 (%2)")
                     .arg(LockFolderOf(LockBase, ::geteuid()), QString::fromLocal8Bit(std::strerror(errno))));
    return -2;
}

void SingleInstance::Release(const Held& lock)
{
    // Taken away while still held: whoever opens it next makes a new one, which TakeOne sees.
    ::unlinkat(Folder, LockFileName(lock.name).constData(), 0);
    ::close(lock.file);
}

QStringList StatusSocketPaths()
{
    // This path's socket; and where the file runs under another path (a hard link, a bind mount), that
    // path's, as its lock tells it.
    QStringList identities {SettingsIdentity()};
    if (const std::optional<Holder> holder = FindHolder(QStringLiteral("/run/lock"));
        holder && !holder->settings.isEmpty() && holder->settings != identities.first())
        identities.append(holder->settings);
    QStringList paths;
    const QString own = OwnFolder();
    for (const QString& identity : identities) {
        for (const QString& folder : {own, ServiceFolder}) {
            const QString path = QDir(folder).filePath(InstanceName(identity) + QStringLiteral(".socket"));
            if (!folder.isEmpty() && !paths.contains(path))
                paths.append(path);
        }
    }
    return paths;
}

std::optional<qint64> RunningOnSettings(const QString& lockBase)
{
    const std::optional<Holder> holder = FindHolder(lockBase);
    return holder ? std::optional<qint64>(holder->pid) : std::nullopt;
}
