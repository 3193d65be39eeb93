#pragma once

#include <QString>
#include <QStringList>

// One Horaline per settings file, whoever runs it and whatever its environment says: a lock named after
// the file in the system's lock folder, which dies with the process that holds it. The status socket is
// in the runtime folder a service manager gave (shared with the service's group) or in the user's own,
// so that other settings (another user, a renamed program file, another XDG_CONFIG_HOME) run side by
// side and no one else can reach them.
class SingleInstance
{
public:
    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when no other Horaline runs on these settings; also when there is no folder to hold the lock
    // in, which is said, since a relay must never stay down for want of one.
    bool Acquire();
    // The one that runs, after Acquire failed.
    qint64 OtherPid() const { return Other; }
    // Where this one answers status queries; empty without a runtime folder.
    QString SocketPath() const { return Socket; }

private:
    QString Socket;
    QString LockPath;
    int Lock = -1;
    qint64 Other = 0;
};

// Where a query looks for the running Horaline of these settings: the user's runtime folder, then the
// one the system service horaline@NAME runs with.
QStringList StatusSocketPaths();
