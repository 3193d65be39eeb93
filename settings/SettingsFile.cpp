#include "settings/SettingsFile.h"

#include "app/Log.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

namespace {

std::unique_ptr<QSettings> OpenStore()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                                       QCoreApplication::applicationName());
}

// A malformed file is read and rewritten unpredictably; moved aside, nothing the operator had is lost.
void SetAside(const QString& path)
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString aside = path + QStringLiteral(".malformed-") + stamp;
    for (int n = 2; QFile::exists(aside); ++n)
        aside = path + QStringLiteral(".malformed-%1-%2").arg(stamp).arg(n);
    if (QFile::rename(path, aside))
        qCWarning(lcSettings).noquote() << "malformed settings file set aside as" << aside << "- starting afresh";
    else
        qCWarning(lcSettings).noquote() << "malformed settings file" << path << "could not be set aside";
}

} // namespace

SettingsFile::SettingsFile(const QString& group)
    : Settings(OpenStore())
{
    if (Settings->status() == QSettings::FormatError) {
        const QString path = Settings->fileName();
        Settings.reset();
        SetAside(path);
        Settings = OpenStore();
    }
    Settings->beginGroup(group);
}

SettingsFile::~SettingsFile()
{
    Settings->endGroup();
    Settings->sync();
}

QString SettingsFile::ReadString(const QString& name, const QString& marker) const
{
    const QVariant value = Settings->value(name);
    return value.typeId() == QMetaType::QString ? value.toString() : marker;
}

int SettingsFile::ReadInt(const QString& name, int marker) const
{
    bool ok = false;
    const int value = Settings->value(name).toString().trimmed().toInt(&ok);
    return ok ? value : marker;
}

QStringList SettingsFile::ReadList(const QString& name) const
{
    return Settings->value(name).toStringList();
}

void SettingsFile::Write(const QString& name, const QString& value)
{
    Settings->setValue(name, value);
}

void SettingsFile::Write(const QString& name, int value)
{
    Settings->setValue(name, value);
}

QStringList SettingsFile::Names() const
{
    return Settings->childKeys();
}

QString SettingsFile::Path()
{
    return OpenStore()->fileName();
}
