#pragma once

#include "relay/RelayCounters.h"
#include "relay/RelayHealth.h"
#include "relay/Sample.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <array>
#include <optional>
#include <vector>

// Where a source or a line is: a line's device and speed, a server's port and address, its state and
// what is wrong with it.
struct PlaceReport
{
    SourceKind Kind = SourceKind::Clock;
    QString Name;
    QString Device;
    QString Speed;
    int Port = 0;
    QString Address;
    QString State;
    QString Fault;

    static PlaceReport OfLine(const QString& name, const QString& device, const QString& speed)
    {
        PlaceReport place;
        place.Kind = SourceKind::Line;
        place.Name = name;
        place.Device = device;
        place.Speed = speed;
        return place;
    }
    static PlaceReport OfServer(const QString& name, int port)
    {
        PlaceReport place;
        place.Kind = SourceKind::Server;
        place.Name = name;
        place.Port = port;
        return place;
    }
    static PlaceReport OfClock(const QString& name)
    {
        PlaceReport place;
        place.Name = name;
        return place;
    }
};

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
    QDateTime Since;
    std::optional<LastValueReport> LastValue;
    int Faults = 0;
    QString LastFault;
    QDateTime LastFaultAt;
    std::array<quint64, CounterCount> Counts {};
};

// "server", "client": the report's words for the modes.
QString ModeName(bool server);

QJsonObject ReportJson(const RelayReport& report);
// The report a running relay sent; what it lacks stays as a stopped relay's.
RelayReport ReportFrom(const QJsonObject& json);
