#pragma once

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QStringList>

// Who may take one of the server's places: IPv4 addresses and CIDR ranges from [Clients] Allow, e.g.
// "192.168.1.0/24, 10.0.0.7". Empty, everyone may, as a server without the entry always did.
class AllowList
{
public:
    // Entries that do not parse are left out and listed in invalid; a list given but with no valid
    // entry admits nobody, since its writer meant to keep others out.
    static AllowList Parse(const QStringList& entries, QStringList* invalid = nullptr);
    // The list of the settings file, read afresh.
    static AllowList Load();

    bool Admits(const QHostAddress& peer) const;
    bool IsOpen() const { return Open; }
    QString Text() const;

private:
    bool Open = true;
    QList<QPair<QHostAddress, int>> Ranges;
};
