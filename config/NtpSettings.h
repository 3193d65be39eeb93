#pragma once

#include "config/SettingKeys.h"

#include <QString>
#include <QStringList>

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
