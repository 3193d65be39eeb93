#pragma once

#include "serial/AccessHint.h"

#include <QString>

// Whose rights decide whether a relay on the settings may use its lines and chrony's socket: a system
// instance's file (/etc/horaline/NAME.ini) is run by the user its unit names, with the unit's groups, as
// systemd would find that unit and its drop-ins; any other file by whoever asks.
struct RelayUser
{
    AccessUser Account;
    // "this user", or "horaline, the user the system service horaline@studio2 runs as".
    QString Said;
    // Why the service's user could not be judged for, where it could not; empty otherwise.
    QString Unjudged;
};

RelayUser UserOfRelay();
