#pragma once

#include "config/SettingKeys.h"

#include <QString>
#include <QStringList>
#include <optional>

// The groups a relay may have beside [Settaggi], each loaded as the file holds it, with its faults.

// [NTP]: the datagram socket where chrony's `refclock SOCK` waits for the time codes of the line in use,
// the zone whose time of day the codes name (empty: this computer's), and whether the codes are sent even
// when they are far from this computer's clock. Without the group nothing of it exists.
struct NtpConfig
{
    bool Present = false;
    QString Socket;
    QString TimeZone;
    bool Authoritative = false;

    bool operator==(const NtpConfig& other) const
    {
        return Present == other.Present && Socket == other.Socket && TimeZone == other.TimeZone
            && Authoritative == other.Authoritative;
    }
    bool operator!=(const NtpConfig& other) const { return !(*this == other); }
};

using StoredNtp = StoredGroup<NtpConfig>;

StoredNtp LoadNtpSettings(int relayMode);

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

struct NtpConfig;
struct StandbyConfig;

// [Source]: whether this computer's clock is the primary source (Primary=clock; otherwise the mode's
// own: the line of a server, the server of a client), and the largest maximum error, in seconds, at which
// the kernel's word still counts that clock as synchronised.
struct SourceConfig
{
    bool PrimaryClock = false;
    double MaxErrorS = Key::MaxError.Default.toDouble();

    bool operator==(const SourceConfig& other) const
    {
        return PrimaryClock == other.PrimaryClock && MaxErrorS == other.MaxErrorS;
    }
    bool operator!=(const SourceConfig& other) const { return !(*this == other); }
};

using StoredSource = StoredGroup<SourceConfig>;

StoredSource LoadSourceSettings(int relayMode);

// What cannot go beside this computer's clock as the primary: a standby, which would stand in for a
// clock that is never lost, and a feed of NTP, which would be fed its own time.
QStringList PrimaryClockClashes(const SourceConfig& source, const StandbyConfig& standby, const NtpConfig& ntp);
