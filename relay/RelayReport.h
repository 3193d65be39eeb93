#pragma once

#include "outputs/ChronyFeed.h"
#include "relay/RelayHealth.h"
#include "sources/TimeSource.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

struct ClientReport
{
    QString Address;
    QDateTime Since;
};

struct StandbyReport
{
    PlaceReport Place;
    int AfterS = 0;
    bool OwnClock = false;
    Source InUse = Source::Primary;
};

// The studio clocks on screens, while the web port listens: how many follow the clock, how many may, and
// how many were turned away for want of a place.
struct ScreensReport
{
    int Open = 0;
    int Most = 0;
    quint64 Refused = 0;
};

struct LastValueReport
{
    QString Text;
    double AgeS = 0;
};

// What a relay is doing, as every view of it tells: a status query's text, the JSON, the metrics and
// the page. Made by the relay alone; the JSON is its form on the wire.
struct RelayReport
{
    qint64 Pid = 0;
    QString Version;
    QString Settings;
    bool Server = true;
    bool Running = false;
    QString Status;
    HealthState Health = HealthState::NotRelaying;
    // The input line in server mode, the display line in client mode.
    PlaceReport Line;
    std::optional<int> Listening;
    std::vector<ClientReport> Clients;
    // The server a client relays, in client mode.
    std::optional<PlaceReport> Peer;
    std::optional<StandbyReport> Standby;
    std::optional<FeedReport> Feed;
    std::optional<ClockReport> Clock;
    std::optional<ScreensReport> Screens;
    QDateTime Since;
    std::optional<LastValueReport> LastValue;
    int Faults = 0;
    QString LastFault;
    QDateTime LastFaultAt;
    std::array<quint64, CounterCount> Counts {};
};

// "server", "client": the report's words for the modes.
QString ModeName(bool server);

// "this computer's clock is not synchronised (maximum error 16 s)", or synchronised again.
QString ClockText(const ClockReport& clock);

// A sample's offset (the time code less this computer's clock) as an administrator reads it: "this
// computer's clock is 1.946 ms ahead of the time code (chronyc: +1946us)".
QString OffsetWords(double offsetS);

// What stays wrong while it lasts, whatever the status line says meanwhile (this computer's clock not
// synchronised, chrony taking nothing, or fed codes far from this computer's clock), and how the relay
// stands in one line: the status line, with each of those beside it.
struct StandingReport
{
    QStringList Faults;
    QString Headline;
};
StandingReport StandingOf(const RelayReport& report);

QJsonObject ReportJson(const RelayReport& report);
// The report a running relay sent; what it lacks stays as a stopped relay's.
RelayReport ReportFrom(const QJsonObject& json);
