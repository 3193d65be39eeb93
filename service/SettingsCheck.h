#pragma once

#include "config/RelaySettings.h"

#include <QString>
#include <QStringList>

// What stands between the settings file and a relay: every problem with the file, the key, why and
// what to write there, and the names the relay would not read (a misspelt key, say). Missing or damaged
// settings, nothing to run (ProgRun 0, for the per-user file only: a named file runs because a service
// manager started it), or a setting no retry can mend (no port, no speed, a COM name with no device, a
// port number that is no number or out of range). What heals by itself (a line not yet plugged in, a
// busy port) is no problem. Nothing is written; a damaged per-user file is set aside, as at every start.
struct SettingsCheck
{
    QStringList problems;
    QStringList warnings;
};

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
