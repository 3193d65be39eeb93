#pragma once

#include "config/RelaySettings.h"
#include "config/SettingsLoad.h"

#include <QString>
#include <QStringList>

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
