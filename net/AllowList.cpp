#include "net/AllowList.h"

#include "net/NetLog.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLog.h"

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
        const QString cidr = entry.contains(QLatin1Char('/')) ? entry : entry + QStringLiteral("/32");
        const QPair<QHostAddress, int> range = QHostAddress::parseSubnet(cidr);
        if (range.first.protocol() == QAbstractSocket::IPv4Protocol && range.second >= 0)
            list.Ranges.append(range);
        else if (invalid != nullptr)
            invalid->append(entry);
    }
    return list;
}

AllowList AllowList::Load()
{
    QStringList invalid;
    const AllowList list = Parse(SettingsFile(QStringLiteral("Clients")).ReadList(QStringLiteral("Allow")), &invalid);
    for (const QString& entry : std::as_const(invalid))
        qCWarning(lcSettings).noquote() << "[Clients] Allow: not an IPv4 address or range, left out:" << entry;
    if (!list.IsOpen())
        qCInfo(lcNet).noquote() << "clients admitted only from" << list.Text();
    return list;
}

bool AllowList::Admits(const QHostAddress& peer) const
{
    if (Open)
        return true;
    // An IPv4 peer may reach a dual-stack socket as ::ffff:a.b.c.d.
    bool isIPv4 = false;
    const QHostAddress address(peer.toIPv4Address(&isIPv4));
    if (!isIPv4)
        return false;
    for (const QPair<QHostAddress, int>& range : Ranges) {
        if (address.isInSubnet(range))
            return true;
    }
    return false;
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
