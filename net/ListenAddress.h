#pragma once

#include <QHostAddress>
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
