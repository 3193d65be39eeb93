#pragma once

#include <QString>
#include <optional>

// Without a window nobody can mend the settings while the relay waits: what can never run is told at
// once. Missing or damaged settings, nothing to run (ProgRun 0), or a setting no retry can mend (no
// port, no speed, a COM name with no device, a port number that is no number or out of range) gives
// one line naming the file, the key and what to write there. What heals by itself (a line not yet
// plugged in, a busy port) is no fault here. Nothing is written.
std::optional<QString> UnrunnableSettings();
