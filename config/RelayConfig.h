#pragma once

#include "config/GroupSettings.h"
#include "config/SettingKeys.h"
#include "config/SettingsLists.h"

#include <QString>
#include <QStringList>
#include <optional>

// What a relay runs on, as the operator set it: handed to the controller at start and its own from then on.
struct RelayConfig
{
    int RelayMode = 1; // 1 server, any other value client
    QString InComName = Key::InComName.Default;
    QString InComSpeed = Key::InComSpeed.Default;
    QString OutComName = Key::OutComName.Default;
    QString OutComSpeed = Key::OutComSpeed.Default;
    QString ServerName = Key::ServerName.Default;
    int ServerPort = Key::ServerPort.Default.toInt(); // listened on, and stored
    int ClientPort = Key::ServerPort.Default.toInt(); // the server's, in client mode
    StandbyConfig Standby;
    // [Ports] as it stood when the configuration was read: what each COM name stands for until the next
    // start or reload, however often a lost line is reopened meanwhile.
    ComDeviceMap Ports;
    // [Clients] as it stood then: whom the server admits.
    ClientsAllowed Allowed;
    // [Web] Listen as it stood then: where the web port listens; nowhere without it.
    std::optional<ListenAddress> Web;
    // [Web] Displays: how many screens may follow the clock at once.
    int Displays = Key::Displays.Default.toInt();
    // [NTP]: where the line's time codes feed chrony.
    NtpConfig Ntp;
    // [Source]: whether this computer's clock is the primary, and when it counts as synchronised.
    SourceConfig Source;
    // What is wrong with [Standby], [NTP] or [Source], if anything: such a relay does not start.
    QStringList FileFaults;
};
