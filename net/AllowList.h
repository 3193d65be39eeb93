#pragma once

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QStringList>
#include <optional>

// Where a port of ours listens, as an administrator writes it: "127.0.0.1:8530", "[::1]:8530",
// "0.0.0.0:8530", or "[::]:8530" for every address, IPv4 and IPv6. Nothing for a text that is not one
// address and one port from 1 to 65535.
struct ListenAddress
{
    QHostAddress address;
    quint16 port = 0;
};

std::optional<ListenAddress> ParseListenAddress(const QString& text);

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
