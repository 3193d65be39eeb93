#include "serial/SerialDevice.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

QStringList& LockFolders()
{
    static QStringList folders {QStringLiteral("/run/lock"), QStringLiteral("/var/lock")};
    return folders;
}

// Pseudo-terminals are private to their creator; the lock convention is for shared hardware.
bool IsPseudoTerminal(const QString& device)
{
    return QFileInfo(device).canonicalFilePath().startsWith(QLatin1String("/dev/pts/"));
}

QString WritableLockFolder()
{
    for (const QString& folder : LockFolders()) {
        if (::access(QFile::encodeName(folder).constData(), W_OK) == 0)
            return folder;
    }
    return QString();
}

// The process id a lock file names; 0 when there is no readable one.
qint64 LockOwner(const QString& lockFile)
{
    QFile lock(lockFile);
    if (!lock.open(QIODevice::ReadOnly))
        return 0;
    return lock.read(64).trimmed().toLongLong();
}

void WriteUucpLock(const QString& device)
{
    const QString folder = WritableLockFolder();
    if (folder.isEmpty() || IsPseudoTerminal(device))
        return;
    QFile lock(UucpLockFile(folder, device));
    if (lock.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        lock.write(QByteArray::number(qint64(::getpid())).rightJustified(10, ' ') + '\n');
}

} // namespace

QString UucpLockFile(const QString& lockFolder, const QString& device)
{
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return lockFolder + QStringLiteral("/LCK..") + QFileInfo(canonical.isEmpty() ? device : canonical).fileName();
}

std::optional<qint64> UucpLockHolder(const QString& device)
{
    for (const QString& folder : LockFolders()) {
        const QString lock = UucpLockFile(folder, device);
        if (IsLockedByLiveProcess(lock))
            return LockOwner(lock);
    }
    return std::nullopt;
}

bool IsLockedByLiveProcess(const QString& lockFile)
{
    const qint64 pid = LockOwner(lockFile);
    if (pid <= 0 || pid == ::getpid())
        return false;
    // EPERM still means the process exists, only under another user.
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

void SetLockFolders(const QStringList& folders)
{
    LockFolders() = folders;
}

SerialOpenResult OpenSerialDevice(const QString& device)
{
    if (UucpLockHolder(device))
        return {-1, EBUSY};
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {-1, errno};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return {-1, error};
    }
    // Keeps other programs out; a device that is no terminal fails here and is told apart when its
    // line settings are read. Not on a pseudo-terminal: there the flag outlives a relay that was killed,
    // as long as the program behind the line keeps it, and the relay started again would find its own
    // line busy for good. The flock above, which dies with its holder, keeps others out as well.
    if (!IsPseudoTerminal(device))
        ::ioctl(fd, TIOCEXCL);
    WriteUucpLock(device);
    return {fd, 0};
}

void CloseSerialDevice(int fd, const QString& device)
{
    if (fd < 0)
        return;
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    if (IsPseudoTerminal(device))
        return;
    for (const QString& folder : LockFolders()) {
        const QString lockFile = UucpLockFile(folder, device);
        if (LockOwner(lockFile) == ::getpid())
            QFile::remove(lockFile);
    }
}

namespace {

// Every speed a line can have, in the order the lists show them.
constexpr std::pair<const char*, speed_t> Speeds[]
    = {{"300", B300},   {"1200", B1200},   {"2400", B2400},  {"4800", B4800},
       {"9600", B9600}, {"19200", B19200}, {"38400", B38400}};

} // namespace

std::optional<speed_t> SpeedFromText(const QString& text)
{
    for (const auto& [name, speed] : Speeds) {
        if (text == QLatin1String(name))
            return speed;
    }
    return std::nullopt;
}

QStringList SpeedNames()
{
    QStringList names;
    for (const auto& speed : Speeds)
        names.append(QLatin1String(speed.first));
    return names;
}

void ConfigureLine(termios& line, std::optional<speed_t> speed)
{
    const tcflag_t softwareFlow = line.c_iflag & (IXON | IXOFF | IXANY);
    const tcflag_t hardwareFlow = line.c_cflag & CRTSCTS;
    ::cfmakeraw(&line);
    line.c_iflag = (line.c_iflag & ~(IXON | IXOFF | IXANY)) | softwareFlow;
    line.c_cflag = (line.c_cflag & ~(CSIZE | PARENB | CSTOPB | CRTSCTS)) | CS8 | CLOCAL | CREAD | hardwareFlow;
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    if (speed) {
        ::cfsetispeed(&line, *speed);
        ::cfsetospeed(&line, *speed);
    }
}

int WriteBounded(int fd, const char* data, size_t size, int timeoutMs, size_t* sent)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t done = 0;
    const auto result = [&](int error) {
        if (sent != nullptr)
            *sent = done;
        return error;
    };
    while (done < size) {
        const ssize_t written = ::write(fd, data + done, size - done);
        if (written > 0) {
            done += size_t(written);
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR)
            return result(errno);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return result(ETIMEDOUT);
        pollfd ready {fd, POLLOUT, 0};
        ::poll(&ready, 1, int(left));
    }
    return result(0);
}
