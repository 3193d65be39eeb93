#pragma once

#include <QtGlobal>
#include <optional>

// Who listens on a TCP port of this machine now (any address, IPv4 or IPv6): the pid where this user
// may see it (its own processes; root sees all), 0 for a listener of someone else's, nothing for none.
std::optional<qint64> PortHolder(quint16 port);
