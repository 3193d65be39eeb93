#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// One Horaline per settings file for one user, whatever its environment says: a lock for the file's path
// and one for the file itself (its device and inode, so that a hard link or a bind mount is the same
// settings), in a folder of this user's own below the system's lock folder, where no other user can make
// a file, hold a lock or plant a link. Another user's relay on the same file is kept off the line and the
// port by their locks. The status socket is in the runtime folder a service manager gave (shared with the
// service's group) or in the user's own, so that other settings run side by side and no one else can
// reach them.
class SingleInstance
{
public:
    // lockBase: the system's lock folder; a test gives one of its own.
    explicit SingleInstance(const QString& lockBase = QStringLiteral("/run/lock"));
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when no other Horaline of this user runs on these settings; also when no lock can be held,
    // which is said, since a relay must never stay down for want of one.
    bool Acquire();
    // At a reload the path may name another file now (a link retargeted, the file replaced): the locks
    // and the sockets follow it. False, with those held kept, where another Horaline runs on that file.
    bool Follow();
    // The one that runs, after Acquire or Follow failed.
    qint64 OtherPid() const { return Other; }
    // Where this one answers status queries, by the path it was named by; none without a runtime folder.
    QStringList SocketPaths() const;

private:
    struct Held
    {
        QString name;
        int file;
    };
    bool Take(const QStringList& names);
    // The lock's descriptor; -1 where another holds it (Other says who), -2 where none can be had, -3
    // where the lock of this file is held for another that once had its inode. file: the file's device
    // and inode for the lock of the file itself, empty for the path's.
    int TakeOne(const QString& name, const QString& file);
    void Release(const Held& lock);

    QString LockBase;
    QString SocketFolder;
    // What the settings are now: their path, and the file while there is one.
    QStringList Names;
    int Folder = -1;
    std::vector<Held> Locks;
    qint64 Other = 0;
};

// Where a query looks for the running Horaline of these settings: the user's runtime folder, then the
// one the system service horaline@NAME runs with.
QStringList StatusSocketPaths();
// The pid of a Horaline that runs on these settings, as far as this user may see its locks (its own, and
// every user's for root); nothing when none is seen.
std::optional<qint64> RunningOnSettings(const QString& lockBase = QStringLiteral("/run/lock"));
