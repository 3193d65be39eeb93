#include "settings/SettingsPath.h"

#include <QCoreApplication>
#include <QFileInfo>
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
