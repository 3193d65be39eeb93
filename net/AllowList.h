#pragma once

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QStringList>

// Who may take one of the server's places: IPv4 and IPv6 addresses and prefixes from [Clients] Allow,
// e.g. "192.168.1.0/24, 10.0.0.7, 2001:db8::/32". Empty, everyone may, as a server without the entry
// always did.
class AllowList
{
public:
    // Entries that do not parse are left out and listed in invalid; a list given but with no valid
    // entry admits nobody, since its writer meant to keep others out.
    static AllowList Parse(const QStringList& entries, QStringList* invalid = nullptr);

    bool Admits(const QHostAddress& peer) const;
    bool IsOpen() const { return Open; }
    QString Text() const;

private:
    bool Open = true;
    QList<QPair<QHostAddress, int>> Ranges;
};

// An allow-list as the settings give it: whom it admits, what of it was left out (to be said where it is
// put to use), and the setting it comes from, as the words that cite it name it.
struct ClientsAllowed
{
    AllowList list;
    QStringList leftOut;
    QString key;
};

// An IPv4 peer as it reached a dual-stack socket (::ffff:a.b.c.d) made plain IPv4 again; any other
// address as it is.
QHostAddress PlainAddress(const QHostAddress& address);
