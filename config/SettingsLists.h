#pragma once

#include "net/AllowList.h"
#include "serial/ComNames.h"

// What the serial and network sides are handed from the settings file, read afresh at each call: the
// [Ports] map of COM names to devices, the [Clients] allow-list and the web port of [Web].
ComDeviceMap LoadComDeviceMap();
// The device a COM name stands for with [Ports] as it stands now; empty for a name that is no COM name.
QString ComDeviceNow(const QString& name);
// [Clients] as read.
ClientsAllowed ReadClientsAllowed();
// Says in the log what of the list is left out, and whom it admits when that is not everyone.
void TellClientsAllowed(const ClientsAllowed& allowed);
// What of [Clients] Allow is left out: entries that are no address or range, and whatever follows a
// ';' or '#', which the settings file takes for a comment.
QStringList AllowListLeftOut();
// [Web] Listen: where the web port listens; nothing without it, or when it is no address and port.
std::optional<ListenAddress> LoadWebListen();
// What is wrong with [Web] Listen, if anything.
std::optional<QString> WebListenFault();
// [Web] Displays: how many screens may follow the clock at once; none where it is no number in its range.
std::optional<int> LoadWebDisplays();
