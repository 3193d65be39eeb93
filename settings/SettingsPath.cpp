#include "settings/SettingsPath.h"

#include "settings/SettingsLog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QSettings>

namespace {

QString NamedPath;

} // namespace

QString SettingsPath()
{
    if (!NamedPath.isEmpty())
        return NamedPath;
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                     QCoreApplication::applicationName())
        .fileName();
}

void NameSettings(const QString& path)
{
    NamedPath = QFileInfo(path).absoluteFilePath();
}

bool SettingsNamed()
{
    return !NamedPath.isEmpty();
}

namespace {

// A lock is written within moments of its creation: one still empty after this is no one's.
constexpr qint64 EmptyLockAgeMs = 1000;

bool IsEmptyAndOld(const QString& lockPath)
{
    const QFileInfo info(lockPath);
    return info.exists() && info.size() == 0
        && info.lastModified().msecsTo(QDateTime::currentDateTime()) > EmptyLockAgeMs;
}

} // namespace

void ClearInterruptedWrites(const QString& settingsPath)
{
    const QString lockPath = settingsPath + QStringLiteral(".lock");
    QLockFile lock(lockPath);
    // A lock of a process that has ended is taken over here at once; an empty one only once it is old.
    if (!lock.tryLock(0)) {
        qint64 owner = 0;
        QString host;
        QString application;
        if (lock.getLockInfo(&owner, &host, &application) || !IsEmptyAndOld(lockPath) || !lock.removeStaleLockFile()
            || !lock.tryLock(0))
            return;
        qCWarning(lcSettings).noquote() << "removed an empty settings lock left by an interrupted write:" << lockPath;
    }
    // Under the lock no writer is busy, so every temporary copy left here is one nobody will finish.
    const QFileInfo settings(settingsPath);
    const QRegularExpression copy(
        QStringLiteral("^%1\\.[A-Za-z0-9]{6}$").arg(QRegularExpression::escape(settings.fileName())));
    const QDir folder = settings.dir();
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden)) {
        if (copy.match(name).hasMatch() && QFile::remove(folder.filePath(name)))
            qCWarning(lcSettings).noquote() << "removed a copy left by an interrupted write:" << folder.filePath(name);
    }
}
