#pragma once

#include "config/RelayConfig.h"
#include "config/SettingKeys.h"

#include <QString>
#include <QStringList>

// What stands between the settings file and a relay: every problem with the file, the key, why and
// what to write there, and the names the relay would not read (a misspelt key, say). Missing or damaged
// settings, nothing to run (ProgRun 0, for the per-user file only: a named file runs because a service
// manager started it), or a setting no retry can mend (no port, no speed, a COM name with no device, a
// port number that is no number or out of range). What heals by itself (a line not yet plugged in, a
// busy port) is no problem. Nothing is written; a damaged per-user file is set aside, as at every start.
struct SettingsCheck
{
    QStringList problems;
    QStringList warnings;
};

// The file as a relay without a window reads it before it runs: the configuration it describes and
// what in the file itself stands in the way; where it cannot be read at all, that alone, with its path. How the machine
// stands with it (its devices, ports and users) is the caller's to judge, on `config`, where `judged` says the file was
// read in a mode at all; one that is not `readable` is no settings to judge.
struct FileSettings
{
    RelayConfig config;
    SettingsCheck check;
    bool readable = false;
    bool judged = false;
    // ServerPort is written and is no port: nobody holds what it names.
    bool portFault = false;
};
FileSettings ReadFileSettings();

// What a reload would change of a relay that runs on `now`, in its mode, e.g. "InComName COM3 -> COM4",
// "[Standby]"; `allowedNow` is the list its clients are admitted by.
QStringList SettingsChanges(const RelayConfig& now, const RelayConfig& next, const QString& allowedNow);

// The key as the file holds it now, then the words of one of its faults with these values in them (see
// the same for a file open on the key's group).
QString Said(const SettingKey& key, int fault = 0, const QStringList& values = {});
// The value as the file spells it.
QString SettingText(const SettingKey& key);
// The socket another relay's settings feed chrony at; empty for none.
QString FeedSocketIn(const QString& settingsPath);
