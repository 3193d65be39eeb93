#pragma once

#include <QString>

// Which file the settings are: the per-user one, or the one named on the command line, which is the
// administrator's, read as it stands and never written.

// The named file, or $XDG_CONFIG_HOME/Remote Tickview System/<application name>.ini
QString SettingsPath();
// From now on every access reads this file, and none writes: not a default, not the running state.
void NameSettings(const QString& path);
bool SettingsNamed();
