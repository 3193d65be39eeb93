#include "service/ServiceUser.h"

#include "settings/SettingsPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTextStream>

namespace {

// Where systemd reads system units, the first the strongest.
const char* const UnitFolders[] = {"/etc/systemd/system", "/run/systemd/system", "/usr/local/lib/systemd/system",
                                   "/usr/lib/systemd/system", "/lib/systemd/system"};

struct UnitCredentials
{
    QString User = QStringLiteral("horaline");
    QString Group;
    QStringList Supplementary;
};

void Apply(const QString& path, UnitCredentials& credentials)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream lines(&file);
    while (!lines.atEnd()) {
        const QString line = lines.readLine().trimmed();
        const QString value = line.section(QLatin1Char('='), 1).trimmed();
        if (line.startsWith(QLatin1String("User=")))
            credentials.User = value;
        else if (line.startsWith(QLatin1String("Group=")))
            credentials.Group = value;
        else if (line.startsWith(QLatin1String("SupplementaryGroups=")))
            // An empty assignment empties the list, as systemd reads it.
            credentials.Supplementary = value.isEmpty()
                ? QStringList()
                : credentials.Supplementary + value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
}

// The template's credentials as systemd takes them: the first unit file found, then the drop-ins of
// the template and of the instance, by name, where a folder before another hides its namesake.
UnitCredentials CredentialsOf(const QString& instance)
{
    UnitCredentials credentials;
    for (const char* folder : UnitFolders) {
        const QString unit = QDir(QLatin1String(folder)).filePath(QStringLiteral("horaline@.service"));
        if (QFileInfo::exists(unit)) {
            Apply(unit, credentials);
            break;
        }
    }
    for (const QString& dropIns :
         {QStringLiteral("horaline@.service.d"), QStringLiteral("horaline@%1.service.d").arg(instance)}) {
        QMap<QString, QString> byName;
        for (const char* folder : UnitFolders) {
            const QDir inside(QDir(QLatin1String(folder)).filePath(dropIns));
            for (const QString& name : inside.entryList({QStringLiteral("*.conf")}, QDir::Files)) {
                if (!byName.contains(name))
                    byName.insert(name, inside.filePath(name));
            }
        }
        for (const QString& path : std::as_const(byName))
            Apply(path, credentials);
    }
    return credentials;
}

} // namespace

RelayUser UserOfRelay()
{
    RelayUser self {AccessUser::OfThisProcess(), QStringLiteral("this user"), QString()};
    const QFileInfo settings(QFileInfo(SettingsPath()).canonicalFilePath());
    if (!SettingsNamed() || settings.absolutePath() != QLatin1String("/etc/horaline")
        || settings.suffix() != QLatin1String("ini"))
        return self;
    const QString instance = settings.completeBaseName();
    const UnitCredentials credentials = CredentialsOf(instance);
    const std::optional<AccessUser> account
        = AccessUser::Named(credentials.User, credentials.Group, credentials.Supplementary);
    if (!account) {
        self.Unjudged = QStringLiteral("the user %1 that the system service horaline@%2 runs as does not exist "
                                       "(the relay's package makes it): access is judged for this user")
                            .arg(credentials.User, instance);
        return self;
    }
    return {*account,
            QStringLiteral("%1, the user the system service horaline@%2 runs as").arg(credentials.User, instance),
            QString()};
}
