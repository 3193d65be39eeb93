#pragma once

// The relay without a window, under a QCoreApplication that already has its names: the settings are
// checked, then the relay runs until a termination signal ends it in order. Returns the exit status: 0,
// 1 when the network layer cannot be used or another one runs on the settings, 78 (EX_CONFIG) for
// settings that can never run without a window, a line that is no serial port among them.
int RunRelayAlone();

// Without a window the relay runs as a program of its own that links no GUI library: this replaces
// the process with it, with the same command line and the settings of this program's name. Returns
// only where that program is not found beside this one, and the caller runs the relay itself.
void ExecRelayAlone(char* argv[]);
