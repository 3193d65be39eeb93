#include "app/SingleInstance.h"

#include "relay/RelayLog.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>
#include <pwd.h>
#include <unistd.h>

namespace {

// Short enough for a socket address, and the same for the same settings file whoever asks.
QString InstanceName()
{
    const QByteArray hash = QCryptographicHash::hash(SettingsFile::Path().toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("%1-%2").arg(QCoreApplication::applicationName(), QString::fromLatin1(hash.toHex().left(16)));
}

QString FolderIn(const QString& runtime)
{
    return runtime.isEmpty() ? QString() : QDir(runtime).filePath(QStringLiteral("horaline"));
}

QString OwnFolder()
{
    return FolderIn(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
}

} // namespace

SingleInstance::SingleInstance()
{
    const QString folder = OwnFolder();
    if (!folder.isEmpty())
        Socket = QDir(folder).filePath(InstanceName() + QStringLiteral(".socket"));
}

bool SingleInstance::Acquire()
{
    const QString folder = OwnFolder();
    if (folder.isEmpty() || !QDir().mkpath(folder)
        || !QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        qCWarning(lcRelay).noquote() << "no runtime directory to hold the instance lock in: a second Horaline on"
                                     << SettingsFile::Path()
                                     << "would not be noticed, nor could it be asked its status";
        Socket.clear();
        return true;
    }
    Lock = std::make_unique<QLockFile>(QDir(folder).filePath(InstanceName() + QStringLiteral(".lock")));
    // Held for as long as the relay runs, however long: only a holder that died leaves a stale lock.
    Lock->setStaleLockTime(0);
    if (Lock->tryLock(0))
        return true;
    QString host;
    QString application;
    if (!Lock->getLockInfo(&Other, &host, &application))
        Other = 0;
    return false;
}

QStringList StatusSocketPaths()
{
    const QString name = InstanceName() + QStringLiteral(".socket");
    QStringList paths;
    if (const QString own = OwnFolder(); !own.isEmpty())
        paths.append(QDir(own).filePath(name));
    if (const passwd* user = ::getpwuid(::getuid()); user != nullptr) {
        const QString service = FolderIn(QStringLiteral("/run/horaline-%1").arg(QString::fromLocal8Bit(user->pw_name)));
        paths.append(QDir(service).filePath(name));
    }
    return paths;
}
