#pragma once

#include "config/RelaySettings.h"
#include "config/SettingsLoad.h"
#include "serial/AccessHint.h"

#include <QString>
#include <QStringList>

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

// The file's check, with how this machine stands with it (see SettingsCheck).
SettingsCheck CheckSettings();

// One reading of the settings as a relay without a window starts or reloads on it: what stands in its way
// and, where nothing does, the configuration it runs on.
struct LoadedSettings
{
    SettingsCheck check;
    StoredRelay stored;
};
LoadedSettings LoadSettings();

// `--check`: every problem and warning on the standard output, what the allow-list leaves out among
// them, then a verdict. Returns 0 when the relay can run on the file, 78 (EX_CONFIG) when it cannot.
int PrintSettingsCheck();
