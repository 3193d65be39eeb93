#pragma once

#include <QSettings>
#include <QString>
#include <memory>

// One access to the per-user settings file: opened for one load or one save, and written to disk,
// atomically, before it goes away. Nothing is kept between accesses.
class SettingsFile
{
public:
    explicit SettingsFile(const QString& group = QStringLiteral("Settaggi"));
    ~SettingsFile();
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    // The stored text, or the marker when the value is missing or is not a single text.
    QString ReadString(const QString& name, const QString& marker) const;
    // The stored integer, or the marker when the value is missing or is not a 32-bit integer.
    int ReadInt(const QString& name, int marker) const;
    // A comma-separated value as its items; a single text is one item, a missing value none.
    QStringList ReadList(const QString& name) const;
    void Write(const QString& name, const QString& value);
    void Write(const QString& name, int value);

    // Every name in the group, for groups that hold a free list of entries.
    QStringList Names() const;

    // $XDG_CONFIG_HOME/Remote Tickview System/<application name>.ini
    static QString Path();

private:
    std::unique_ptr<QSettings> Settings;
};
