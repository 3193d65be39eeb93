#pragma once

#include "config/SettingKeys.h"

#include <QString>

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
