#pragma once

#include <QString>

// Which file the settings are: the per-user one, or the one named on the command line, which is the
// administrator's, read as it stands and never written.

// The named file, or $XDG_CONFIG_HOME/Remote Tickview System/<application name>.ini
QString SettingsPath();
// From now on every access reads this file, and none writes: not a default, not the running state.
void NameSettings(const QString& path);
bool SettingsNamed();

// What a write cut short (a kill -9, a power loss) leaves beside the settings file: a lock whose owner
// is gone or that is empty, and temporary copies. Cleared before the settings are first opened, so that
// start-up never waits for such a lock to age; a lock that a live process holds is left alone.
void ClearInterruptedWrites(const QString& settingsPath);
