#include "settings/SettingsFile.h"

#include "settings/SettingsLog.h"
#include "settings/SettingsPath.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QByteArray Utf8Mark("\xEF\xBB\xBF");

std::unique_ptr<QSettings> OpenStore()
{
    if (SettingsNamed())
        return std::make_unique<QSettings>(SettingsPath(), QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                                       QCoreApplication::applicationName());
}

// What a power cut or a wrong copy leaves is read and rewritten unpredictably; moved aside, nothing
// the operator had is lost.
QString SetAside(const QString& path)
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString aside = path + QStringLiteral(".malformed-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = path + QStringLiteral(".malformed-%1-%2").arg(stamp).arg(n);
    if (!QFile::rename(path, aside)) {
        qCWarning(lcSettings).noquote() << "damaged settings file" << path << "could not be set aside";
        return QString();
    }
    qCWarning(lcSettings).noquote() << "damaged settings file" << path << "set aside as" << aside
                                    << "- starting afresh";
    return aside;
}

// Settings are a few hundred bytes of text in groups; a file of zeros, of noise or of nothing is not.
// Qt parses a file once and keeps what it found, so its verdict comes from the store that parsed it.
bool LooksDamaged(const QString& path, bool notIni)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    if (info.isDir())
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray text = file.readAll();
    // An editor that saves UTF-8 with a byte-order mark puts it before the first group.
    if (text.startsWith(Utf8Mark))
        text.remove(0, Utf8Mark.size());
    return notIni || text.contains('\0')
        || !QRegularExpression(QStringLiteral("(^|\n)[ \t]*\\[")).match(QString::fromLatin1(text)).hasMatch();
}

// Qt reads a file that begins with a UTF-8 byte-order mark, but a store that read it takes the file it
// wrote itself for damage: the program's own file loses the mark before any store reads it.
bool DropUtf8Mark(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.read(Utf8Mark.size()) != Utf8Mark)
        return false;
    const QByteArray rest = file.readAll();
    QSaveFile plain(path);
    return plain.open(QIODevice::WriteOnly) && plain.write(rest) == rest.size() && plain.commit();
}

// The folder's entry for the renamed file is on the disk too: after a power cut the file is the old
// one or the new one, never missing.
void FlushFolder(const QString& path)
{
    const int folder
        = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return;
    ::fsync(folder);
    ::close(folder);
}

} // namespace

SettingsFile::SettingsFile(const QString& group)
    : Settings(OpenStore())
{
    if (!SettingsNamed() && DropUtf8Mark(Settings->fileName()))
        Settings = OpenStore();
    // The store that found the file damaged goes before the file moves; a fresh one starts afresh.
    if (!SetAsideIfDamaged(Settings).isEmpty())
        Settings = OpenStore();
    Settings->beginGroup(group);
}

SettingsFile::~SettingsFile()
{
    Settings->endGroup();
    // QSettings writes a temporary copy, flushes it to the disk and renames it over the file.
    Settings->sync();
    if (Written && Settings->status() == QSettings::NoError)
        FlushFolder(Settings->fileName());
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
    if (SettingsNamed())
        return;
    Settings->setValue(name, value);
    Written = true;
}

void SettingsFile::Write(const QString& name, int value)
{
    if (SettingsNamed())
        return;
    Settings->setValue(name, value);
    Written = true;
}

bool SettingsFile::Contains(const QString& name) const
{
    return Settings->contains(name);
}

bool SettingsFile::HoldsText(const QString& name) const
{
    return Settings->value(name).typeId() == QMetaType::QString;
}

QString SettingsFile::ReadText(const QString& name) const
{
    const QVariant value = Settings->value(name);
    return value.typeId() == QMetaType::QStringList ? value.toStringList().join(QStringLiteral(", "))
                                                    : value.toString();
}

QStringList SettingsFile::Names() const
{
    return Settings->childKeys();
}

QString SettingsFile::LineAsWritten(const QString& group, const QString& name)
{
    return QString::fromUtf8(BytesAsWritten(group, name));
}

QByteArray SettingsFile::BytesAsWritten(const QString& group, const QString& name)
{
    QFile file(SettingsPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QByteArray();
    QString current;
    for (bool first = true; !file.atEnd(); first = false) {
        QByteArray line = file.readLine().trimmed();
        if (first && line.startsWith(Utf8Mark))
            line.remove(0, Utf8Mark.size());
        if (line.startsWith('[') && line.endsWith(']'))
            current = QString::fromUtf8(line.mid(1, line.size() - 2));
        else if (current == group && QString::fromUtf8(line.left(line.indexOf('='))).trimmed() == name)
            return line;
    }
    return QByteArray();
}

QStringList SettingsFile::Groups()
{
    return OpenStore()->childGroups();
}

QStringList SettingsFile::NamesOutsideGroups()
{
    return OpenStore()->childKeys();
}

QString SettingsFile::Group() const
{
    return Settings->group();
}

bool SettingsFile::Damaged()
{
    const std::unique_ptr<QSettings> store = OpenStore();
    return LooksDamaged(store->fileName(), store->status() == QSettings::FormatError);
}

QString SettingsFile::SetAsideIfDamaged()
{
    std::unique_ptr<QSettings> store = OpenStore();
    return SetAsideIfDamaged(store);
}

QString SettingsFile::SetAsideIfDamaged(std::unique_ptr<QSettings>& store)
{
    const QString path = store->fileName();
    // The administrator's file stays where it is: the check says what is wrong with it.
    if (SettingsNamed() || !LooksDamaged(path, store->status() == QSettings::FormatError))
        return QString();
    store.reset();
    return SetAside(path);
}
