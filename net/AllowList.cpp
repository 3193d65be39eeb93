#include "net/AllowList.h"

AllowList AllowList::Parse(const QStringList& entries, QStringList* invalid)
{
    AllowList list;
    // Written by hand the value reaches us as a list; quoted, or written by QSettings, as one text.
    QStringList items;
    for (const QString& entry : entries)
        items += entry.split(QLatin1Char(','));
    for (const QString& raw : std::as_const(items)) {
        const QString entry = raw.trimmed();
        if (entry.isEmpty())
            continue;
        list.Open = false;
        // A bare address is a range of one.
        QPair<QHostAddress, int> range = QHostAddress::parseSubnet(
            entry.contains(QLatin1Char('/'))
                ? entry
                : entry + (entry.contains(QLatin1Char(':')) ? QStringLiteral("/128") : QStringLiteral("/32")));
        // Written as a dual-stack socket shows an IPv4 peer (::ffff:a.b.c.d), the range is an IPv4 one,
        // as the peers it is matched with are.
        if (range.first.protocol() == QAbstractSocket::IPv6Protocol && range.second >= 96
            && QHostAddress(QStringLiteral("::ffff:0.0.0.0")).isInSubnet(range.first, 96))
            range = {PlainAddress(range.first), range.second - 96};
        if (range.first.protocol() != QAbstractSocket::UnknownNetworkLayerProtocol && range.second >= 0)
            list.Ranges.append(range);
        else if (invalid != nullptr)
            invalid->append(entry);
    }
    return list;
}

bool AllowList::Admits(const QHostAddress& peer) const
{
    if (Open)
        return true;
    // An IPv4 peer may reach a dual-stack socket as ::ffff:a.b.c.d: it is matched as the IPv4 one.
    const QHostAddress address = PlainAddress(peer);
    for (const QPair<QHostAddress, int>& range : Ranges) {
        if (address.isInSubnet(range))
            return true;
    }
    return false;
}

QHostAddress PlainAddress(const QHostAddress& address)
{
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4);
    return isIPv4 ? QHostAddress(ipv4) : address;
}

QString AllowList::Text() const
{
    if (Open)
        return QStringLiteral("everyone");
    QStringList ranges;
    for (const QPair<QHostAddress, int>& range : Ranges)
        ranges.append(QStringLiteral("%1/%2").arg(range.first.toString()).arg(range.second));
    return ranges.isEmpty() ? QStringLiteral("nobody (no valid entry)") : ranges.join(QStringLiteral(", "));
}

std::optional<ListenAddress> ParseListenAddress(const QString& text)
{
    const QString written = text.trimmed();
    const qsizetype colon = written.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return std::nullopt;
    QString host = written.left(colon);
    // An IPv6 address goes in brackets, so that its own colons are not taken for the port's.
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(QLatin1Char(':')))
        return std::nullopt;
    bool number = false;
    const uint port = written.mid(colon + 1).toUInt(&number);
    const QHostAddress address(host);
    if (!number || port < 1 || port > 65535 || address.isNull())
        return std::nullopt;
    // "::" is every address, IPv4 ones too, as the clock port listens: Qt's dual-stack any-address.
    if (address == QHostAddress(QHostAddress::AnyIPv6))
        return ListenAddress {QHostAddress(QHostAddress::Any), quint16(port)};
    return ListenAddress {address, quint16(port)};
}
