#pragma once

#include "relay/RelayHealth.h"
#include "sources/PlaceReport.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

// Why a time code of the line in use gave chrony no sample.
enum class Withheld
{
    // It waited behind others, so the moment it was read is not when it came.
    Backlog,
    // No time of day, or none in the zone on its date (the hour skipped in spring).
    NoTime,
    // More than two seconds from this computer's clock.
    Far,
    // The socket took none: chrony not there, no permission, its queue full.
    Unsent,
};
constexpr size_t WithheldCount = size_t(Withheld::Unsent) + 1;

// "backlog", "no_time", "far", "unsent": the report's words for each, written here alone.
QString WithheldName(Withheld why);

// The reference-clock feed of chrony: where it sends, what it sent and withheld, the last offset sent
// and what the socket last said when it took nothing.
struct FeedReport
{
    QString Socket;
    quint64 Sent = 0;
    std::array<quint64, WithheldCount> Withheld {};
    std::optional<double> LastOffsetS;
    QString LastError;
    // The codes of the line in use that gave chrony no sample since the last that did, and why the last
    // of them gave none.
    quint64 NotTaken = 0;
    std::optional<::Withheld> LastWithheld;
};

// So many codes in a row that chrony did not take make a feed that feeds nothing.
constexpr quint64 StarvedRun = 10;

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
    std::optional<FeedReport> Feed;
    std::optional<ClockReport> Clock;
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

// The last sample chrony took lies more than 2 s from this computer's clock, as [NTP] Authoritative=1 allows.
bool FeedsFar(const FeedReport& feed);
// chrony has taken none of the last StarvedRun codes or more.
bool Starved(const FeedReport& feed);
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
