#include "net/PortHolder.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSet>
#include <unistd.h>

namespace {

// The sockets listening on the port, by inode, from the kernel's tables:
// "sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid timeout inode".
QSet<QByteArray> ListeningSockets(quint16 port)
{
    constexpr char Listen[] = "0A";
    QSet<QByteArray> inodes;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file {QString::fromLatin1(table)};
        // Read whole: the kernel's files say they are empty, so no end can be told before reading.
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& entry : file.readAll().split('\n')) {
            const QList<QByteArray> fields = entry.simplified().split(' ');
            if (fields.size() < 10 || fields[3] != Listen)
                continue;
            bool ok = false;
            if (fields[1].mid(fields[1].lastIndexOf(':') + 1).toUInt(&ok, 16) == port && ok)
                inodes.insert(fields[9]);
        }
    }
    return inodes;
}

} // namespace

std::optional<qint64> PortHolder(quint16 port)
{
    const QSet<QByteArray> inodes = ListeningSockets(port);
    if (inodes.isEmpty())
        return std::nullopt;
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const qint64 id = pid.toLongLong(&number);
        if (!number)
            continue;
        const QDir fds(proc.filePath(pid + QStringLiteral("/fd")));
        for (const QString& fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
            // Read as the kernel writes it: Qt would take "socket:[…]" for a path of that folder.
            char target[64] = {};
            const ssize_t size = ::readlink(QFile::encodeName(fds.filePath(fd)).constData(), target, sizeof target - 1);
            const QByteArray link(target, size > 0 ? int(size) : 0);
            if (link.startsWith("socket:[") && inodes.contains(link.mid(8, link.size() - 9)))
                return id;
        }
    }
    return 0;
}
