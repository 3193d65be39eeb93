#pragma once

#include <QLockFile>
#include <QString>
#include <QStringList>
#include <memory>

// One Horaline per settings: a lock and the status socket in a folder of the user's runtime directory,
// named after the settings file, so that other settings (another user, a renamed program file, another
// XDG_CONFIG_HOME) run side by side and no one else can reach them.
class SingleInstance
{
public:
    SingleInstance();

    // True when no other Horaline runs on these settings; also when there is no runtime directory to
    // hold the lock, which is said, since a relay must never stay down for want of one.
    bool Acquire();
    // The one that runs, after Acquire failed.
    qint64 OtherPid() const { return Other; }
    // Where this one answers status queries; empty without a runtime directory.
    QString SocketPath() const { return Socket; }

private:
    QString Socket;
    std::unique_ptr<QLockFile> Lock;
    qint64 Other = 0;
};

// Where a query looks for the running Horaline of these settings: the user's runtime directory, then the
// one that the system service horaline@USER runs with.
QStringList StatusSocketPaths();
