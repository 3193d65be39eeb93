#include "config/SettingKeys.h"

#include "config/PortEntry.h"
#include "serial/ComNames.h"
#include "settings/SettingsFile.h"

#include <algorithm>

namespace {

const QString Settaggi = QStringLiteral("Settaggi");
const QString Standby = QStringLiteral("Standby");

QString PortFault(const QString& name)
{
    return QStringLiteral("is no port number: write one from %1 to %2, e.g. %3=6530")
        .arg(MinSettingPort)
        .arg(MaxPort)
        .arg(name);
}

} // namespace

const QString PortsGroup = QStringLiteral("Ports");

namespace Key {
const SettingKey InComName {
    Settaggi,
    QStringLiteral("InComName"),
    QStringLiteral("<Name>"),
    0,
    0,
    QStringLiteral("COM3"),
    {QStringLiteral("names no serial port: write the COM name of the line, e.g. InComName=COM3"),
     QStringLiteral("has no device: write one under [Ports], e.g. %1=/dev/ttyUSB0")}};
const SettingKey InComSpeed {Settaggi,
                             QStringLiteral("InComSpeed"),
                             QStringLiteral("<Speed>"),
                             0,
                             0,
                             QStringLiteral("9600"),
                             {QStringLiteral("is no speed: write one of %1, e.g. InComSpeed=9600")}};
const SettingKey OutComName {
    Settaggi,
    QStringLiteral("OutComName"),
    QStringLiteral("<Name>"),
    0,
    0,
    QStringLiteral("COM3"),
    {QStringLiteral("names no serial port: write the COM name of the line, e.g. OutComName=COM3"),
     QStringLiteral("has no device: write one under [Ports], e.g. %1=/dev/ttyUSB0")}};
const SettingKey OutComSpeed {Settaggi,
                              QStringLiteral("OutComSpeed"),
                              QStringLiteral("<Speed>"),
                              0,
                              0,
                              QStringLiteral("9600"),
                              {QStringLiteral("is no speed: write one of %1, e.g. OutComSpeed=9600")}};
const SettingKey ServerName {
    Settaggi,
    QStringLiteral("ServerName"),
    QStringLiteral("localhost"),
    0,
    0,
    QStringLiteral("clock-server"),
    {QStringLiteral("is empty: write the server's name or address, e.g. ServerName=clock-server")}};
const SettingKey ServerPort {Settaggi,
                             QStringLiteral("ServerPort"),
                             QStringLiteral("6530"),
                             MinSettingPort,
                             MaxPort,
                             QStringLiteral("6530"),
                             {PortFault(QStringLiteral("ServerPort")),
                              QStringLiteral("is taken now by %1: a relay on this file would wait for it")}};
const SettingKey ProgMode {Settaggi,
                           QStringLiteral("ProgMode"),
                           QStringLiteral("1"),
                           0,
                           1,
                           QStringLiteral("1"),
                           {QStringLiteral("is no mode: write ProgMode=1 for a server (RS232 => NET) or ProgMode=0 "
                                           "for a client (NET => RS232)")}};
const SettingKey ProgRun {Settaggi,
                          QStringLiteral("ProgRun"),
                          QStringLiteral("0"),
                          0,
                          1,
                          QStringLiteral("1"),
                          {QStringLiteral(": nothing to run; write ProgRun=1")}};
const SettingKey StandbyInComName {
    Standby,
    QStringLiteral("InComName"),
    QString(),
    0,
    0,
    QStringLiteral("COM4"),
    {QStringLiteral("names no serial port: write the COM name of the standby line, e.g. InComName=COM4"),
     QStringLiteral("has no device: write one under [Ports], e.g. %1=/dev/ttyUSB1"),
     QStringLiteral("is the primary's own line %1: name another line for the standby, e.g. InComName=COM4")}};
const SettingKey StandbyInComSpeed {Standby,
                                    QStringLiteral("InComSpeed"),
                                    QString(),
                                    0,
                                    0,
                                    QStringLiteral("9600"),
                                    {QStringLiteral("is no speed: write one of %1, e.g. InComSpeed=9600")}};
const SettingKey StandbyServerName {
    Standby,
    QStringLiteral("ServerName"),
    QString(),
    0,
    0,
    QStringLiteral("clock2"),
    {QStringLiteral("names no server: write the standby server's name or address, e.g. ServerName=clock2"),
     QStringLiteral("with ServerPort=%1 is the primary's own server: name another server for the standby, e.g. "
                    "ServerName=clock2")}};
const SettingKey StandbyServerPort {Standby,
                                    QStringLiteral("ServerPort"),
                                    QStringLiteral("6530"),
                                    MinSettingPort,
                                    MaxPort,
                                    QStringLiteral("6530"),
                                    {PortFault(QStringLiteral("ServerPort"))}};
const SettingKey After {Standby,
                        QStringLiteral("After"),
                        QStringLiteral("3"),
                        1,
                        60,
                        QStringLiteral("3"),
                        {QStringLiteral("is no number of seconds from 1 to 60: write e.g. After=3")}};
const SettingKey OwnClock {Standby,
                           QStringLiteral("OwnClock"),
                           QStringLiteral("0"),
                           0,
                           1,
                           QStringLiteral("1"),
                           {QStringLiteral("is neither 0 nor 1: write OwnClock=1 to send this computer's time when no "
                                           "source speaks, OwnClock=0 not to")}};
const SettingKey Allow {
    QStringLiteral("Clients"),
    QStringLiteral("Allow"),
    QString(),
    0,
    0,
    QStringLiteral("127.0.0.1, 192.168.1.0/24"),
    {QStringLiteral(": not an address or range, left out: %1"),
     QStringLiteral(": the rest of the line is a comment from '%1' on, left out: %2; separate addresses with commas")}};
const SettingKey Listen {
    QStringLiteral("Web"),
    QStringLiteral("Listen"),
    QString(),
    0,
    0,
    QStringLiteral("127.0.0.1:8530"),
    {QStringLiteral("is no address and port: write e.g. Listen=127.0.0.1:8530, or Listen=[::]:8530 for every address"),
     QStringLiteral("is no address of this machine now: the web port listens once it is"),
     QStringLiteral("takes the clock port, ServerPort=%1, that displays connect to: give the web port a port of its "
                    "own, e.g. Listen=127.0.0.1:8530")}};
const SettingKey Displays {QStringLiteral("Web"),
                           QStringLiteral("Displays"),
                           QStringLiteral("100"),
                           1,
                           10000,
                           QStringLiteral("100"),
                           {QStringLiteral("is no number of screens from 1 to 10000: write e.g. Displays=100")}};
const SettingKey Primary {QStringLiteral("Source"),
                          QStringLiteral("Primary"),
                          QString(),
                          0,
                          0,
                          QStringLiteral("clock"),
                          {QStringLiteral("is no primary source of a %1: write Primary=clock for this computer's "
                                          "clock, or Primary=%2")}};
const SettingKey MaxError {
    QStringLiteral("Source"),
    QStringLiteral("MaxError"),
    QStringLiteral("0.5"),
    0,
    0,
    QStringLiteral("0.5"),
    {QStringLiteral("is no number of seconds above 0: write e.g. MaxError=0.5"),
     QStringLiteral("is asked of no source: this computer's clock is neither the primary ([Source] Primary=clock) nor "
                    "the last resort ([Standby] OwnClock=1)"),
     QStringLiteral("never calls this computer's clock unsynchronised: the kernel gives a clock nobody keeps %1 s at "
                    "the most; write less, e.g. MaxError=0.5")}};
const SettingKey Socket {
    QStringLiteral("NTP"),
    QStringLiteral("Socket"),
    QString(),
    0,
    0,
    QStringLiteral("/run/chrony.horaline.sock"),
    {QStringLiteral("names no socket: write the path of chrony's refclock SOCK, e.g. Socket=/run/chrony.horaline.sock"),
     QStringLiteral("is longer than a socket's path may be (%1 bytes): name a shorter one, e.g. "
                    "Socket=/run/chrony.horaline.sock"),
     QStringLiteral("does not exist now: chrony makes it as it starts with \"refclock SOCK %1\"; the relay feeds it "
                    "once it is there"),
     QStringLiteral("is no socket: name the path of chrony's refclock SOCK"),
     QStringLiteral("cannot be written by %1: chrony's drop-in among the relay's examples, chrony-horaline.conf, lets "
                    "the group horaline write it (README.md, \"Feed your NTP server\")"),
     QStringLiteral("is fed by %1 too: chrony would take the samples of both clocks as one; give each relay a socket "
                    "and a refclock of its own")}};
const SettingKey TimeZone {QStringLiteral("NTP"),
                           QStringLiteral("TimeZone"),
                           QString(),
                           0,
                           0,
                           QStringLiteral("Europe/Rome"),
                           {QStringLiteral("is no time zone this computer knows: write an IANA name, e.g. "
                                           "TimeZone=Europe/Rome, or nothing for this computer's zone")}};
const SettingKey Authoritative {
    QStringLiteral("NTP"),
    QStringLiteral("Authoritative"),
    QStringLiteral("0"),
    0,
    1,
    QStringLiteral("1"),
    {QStringLiteral("is neither 0 nor 1: write Authoritative=1 to feed the codes even far from this computer's clock "
                    "once they agree, Authoritative=0 not to")}};
} // namespace Key

QString SettingKey::Title() const
{
    return QStringLiteral("[%1] %2").arg(Group, Name);
}

QString SettingKey::Written() const
{
    return QStringLiteral("%1=%2").arg(Name, Example);
}

const std::vector<const SettingKey*>& SettingKeys()
{
    static const std::vector<const SettingKey*> keys {&Key::InComName,
                                                      &Key::InComSpeed,
                                                      &Key::OutComName,
                                                      &Key::OutComSpeed,
                                                      &Key::ServerName,
                                                      &Key::ServerPort,
                                                      &Key::ProgMode,
                                                      &Key::ProgRun,
                                                      &Key::StandbyInComName,
                                                      &Key::StandbyInComSpeed,
                                                      &Key::StandbyServerName,
                                                      &Key::StandbyServerPort,
                                                      &Key::After,
                                                      &Key::OwnClock,
                                                      &Key::Allow,
                                                      &Key::Listen,
                                                      &Key::Displays,
                                                      &Key::Primary,
                                                      &Key::MaxError,
                                                      &Key::Socket,
                                                      &Key::TimeZone,
                                                      &Key::Authoritative};
    return keys;
}

namespace {

int Distance(const QString& a, const QString& b)
{
    std::vector<int> row(size_t(b.size()) + 1);
    for (size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[size_t(j)];
            const int same = a[i - 1].toLower() == b[j - 1].toLower() ? 0 : 1;
            row[size_t(j)] = std::min({above + 1, row[size_t(j) - 1] + 1, diagonal + same});
            diagonal = above;
        }
    }
    return row.back();
}

// The nearest known name, if near enough to be a slip of the keyboard or of the case.
QString Nearest(const QString& name, const QStringList& candidates)
{
    QString best;
    int bestDistance = 3;
    for (const QString& candidate : candidates) {
        const int distance = Distance(name, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

QString Unknown(const QString& what, const QString& nearest)
{
    return nearest.isEmpty() ? what + QLatin1Char('.') : QStringLiteral("%1: did you mean %2?").arg(what, nearest);
}

} // namespace

QStringList UnknownSettings()
{
    QStringList unknown;
    QStringList groups {PortsGroup};
    for (const SettingKey* key : SettingKeys()) {
        if (!groups.contains(key->Group))
            groups.append(key->Group);
    }
    for (const QString& name : SettingsFile::NamesOutsideGroups())
        unknown.append(QStringLiteral("%1 is in no group: the relay's settings go under [Settaggi]").arg(name));
    for (const QString& group : SettingsFile::Groups()) {
        if (!groups.contains(group)) {
            unknown.append(
                Unknown(QStringLiteral("[%1] is no group of Horaline's").arg(group), Nearest(group, groups)));
            continue;
        }
        QStringList names;
        for (const SettingKey* key : SettingKeys()) {
            if (key->Group == group)
                names.append(key->Name);
        }
        for (const QString& name : SettingsFile(group).Names()) {
            if (group == PortsGroup) {
                if (!ParseComName(name))
                    unknown.append(
                        QStringLiteral("%1 is no COM name of [Ports]: write e.g. COM3=/dev/ttyUSB0").arg(name));
            } else if (!names.contains(name)) {
                unknown.append(
                    Unknown(QStringLiteral("%1 is no setting of [%2]").arg(name, group), Nearest(name, names)));
            }
        }
    }
    return unknown;
}
