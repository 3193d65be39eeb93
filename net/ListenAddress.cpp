#include "net/ListenAddress.h"

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
