#pragma once

#include "config/SettingKeys.h"

#include <QString>
#include <QStringList>
#include <optional>

// The spare sources of [Standby]: a second input line (server) or a second server (client), how long the
// source in use may fall silent before the other takes over, and whether this computer's own time is
// sent when no source speaks. Without the group nothing of it exists.
struct StandbyConfig
{
    bool Present = false;
    QString InComName;
    QString InComSpeed;
    QString ServerName;
    int ServerPort = Key::StandbyServerPort.Default.toInt();
    int AfterS = Key::After.Default.toInt();
    bool OwnClock = false;

    bool operator==(const StandbyConfig& other) const
    {
        return Present == other.Present && InComName == other.InComName && InComSpeed == other.InComSpeed
            && ServerName == other.ServerName && ServerPort == other.ServerPort && AfterS == other.AfterS
            && OwnClock == other.OwnClock;
    }
    bool operator!=(const StandbyConfig& other) const { return !(*this == other); }
};

using StoredStandby = StoredGroup<StandbyConfig>;

// The line of the standby is checked in server mode, its server in client mode.
StoredStandby LoadStandbySettings(int relayMode);

struct RelayConfig;

// A standby that is the primary itself (the same line, or the same device under another name; the same
// server at the same port) would stand in for nothing: what to write instead.
std::optional<QString> StandbyClash(const RelayConfig& config);
