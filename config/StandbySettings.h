#pragma once

#include "config/StandbyConfig.h"

#include <QStringList>
#include <optional>

// [Standby] as the settings file holds it, or everything that is wrong with it: the key, its value and what to
// write instead, e.g. "[Standby] After=0 is no number of seconds from 1 to 60: write e.g. After=3". The
// line of the standby is checked in server mode, its server in client mode.
struct StoredStandby
{
    StandbyConfig config;
    QStringList faults;
};

StoredStandby LoadStandbySettings(int relayMode);

struct RelayConfig;

// A standby that is the primary itself (the same line, or the same device under another name; the same
// server at the same port) would stand in for nothing: what to write instead.
std::optional<QString> StandbyClash(const RelayConfig& config);
