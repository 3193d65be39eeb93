#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// One key of the settings file: where it stands, what a relay takes where it is not written (empty:
// nothing), the range of a whole number, an example as an operator writes it, and the words that follow
// the key as written where it cannot be used, one for each way it can be wrong.
struct SettingKey
{
    QString Group;
    QString Name;
    QString Default;
    int Lowest = 0;
    int Highest = 0;
    QString Example;
    QStringList Faults;

    // "[Standby] After"
    QString Title() const;
    // "After=3"
    QString Written() const;
};

namespace Key {
extern const SettingKey InComName;
extern const SettingKey InComSpeed;
extern const SettingKey OutComName;
extern const SettingKey OutComSpeed;
extern const SettingKey ServerName;
extern const SettingKey ServerPort;
extern const SettingKey ProgMode;
extern const SettingKey ProgRun;
extern const SettingKey StandbyInComName;
extern const SettingKey StandbyInComSpeed;
extern const SettingKey StandbyServerName;
extern const SettingKey StandbyServerPort;
extern const SettingKey After;
extern const SettingKey OwnClock;
extern const SettingKey Allow;
extern const SettingKey Listen;
extern const SettingKey Displays;
extern const SettingKey Primary;
extern const SettingKey MaxError;
extern const SettingKey Socket;
extern const SettingKey TimeZone;
extern const SettingKey Authoritative;
} // namespace Key

// A group as the settings file holds it, or everything that is wrong with it: the key, its value and what
// to write instead, e.g. "[Standby] After=0 is no number of seconds from 1 to 60: write e.g. After=3".
template<typename Config> struct StoredGroup
{
    Config config;
    QStringList faults;
};

// The group of free entries, a COM name each: COM3=/dev/ttyUSB0.
extern const QString PortsGroup;

// Every key, group by group.
const std::vector<const SettingKey*>& SettingKeys();

// Names the relay does not read, each with what was perhaps meant: a misspelt key is otherwise a
// setting silently missing. "InComname is no setting of [Settaggi]: did you mean InComName?"
QStringList UnknownSettings();
