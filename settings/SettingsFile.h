#pragma once

#include <QSettings>
#include <QString>
#include <memory>

// One access to the settings file: opened for one load or one save, and written to disk, atomically,
// before it goes away. Nothing is kept between accesses. The file is the per-user one, or the one named
// on the command line, which is the administrator's: that one is read as it stands and never written.
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
    bool Contains(const QString& name) const;
    // Whether the value is one text, as every stored text of ours is; a list is not.
    bool HoldsText(const QString& name) const;
    // The value as the file spells it, whatever it is: a list with its commas, a number in digits.
    QString ReadText(const QString& name) const;
    // A comma-separated value as its items; a single text is one item, a missing value none.
    QStringList ReadList(const QString& name) const;
    void Write(const QString& name, const QString& value);
    void Write(const QString& name, int value);

    // The group this access reads and writes.
    QString Group() const;
    // Every name in the group, for groups that hold a free list of entries.
    QStringList Names() const;
    // The line that sets the name in the group, as the file holds it, comments and all; empty if none.
    static QString LineAsWritten(const QString& group, const QString& name);
    // The same line's bytes, whatever their encoding.
    static QByteArray BytesAsWritten(const QString& group, const QString& name);
    // The groups of the file, and the names written before any group.
    static QStringList Groups();
    static QStringList NamesOutsideGroups();

    // Whether the file cannot be settings (see below), without moving it.
    static bool Damaged();
    // A file that cannot be settings (not INI, NUL bytes, no group at all, a folder in its place) is
    // moved aside as <name>.malformed-<date> and said in the log; returns where it went, or nothing.
    static QString SetAsideIfDamaged();

private:
    // The same for a store already open on the file, which is closed when the file moves.
    static QString SetAsideIfDamaged(std::unique_ptr<QSettings>& store);

    std::unique_ptr<QSettings> Settings;
    bool Written = false;
};
