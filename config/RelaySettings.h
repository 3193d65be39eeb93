#pragma once

#include "config/RelayConfig.h"

// The relay's settings and running state in the [Settaggi] group of the settings file.
struct StoredRelay
{
    RelayConfig config;
    int runFlag = 0;
};

// Reads what is stored over the values given: a missing value is written back from them, so that the
// file always holds every value; a value that cannot be used is said and left in the file.
StoredRelay LoadRelaySettings(const StoredRelay& defaults);
// What no control of the window holds, for the mode the configuration has: the spare sources of
// [Standby] with what is wrong with them, the COM names' devices of [Ports], the clients [Clients] admits,
// the web port of [Web].
void LoadFileOnlySettings(RelayConfig& config);
// The whole configuration, as START stores it, with the running state it had before.
void SaveRelaySettings(const RelayConfig& config, int runFlag);
void SaveRunState(int runFlag);
