#pragma once

#include "config/SettingKeys.h"

#include <QStringList>

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
