#include "relay/RelayReport.h"

#include "config/SettingKeys.h"
#include "outputs/TimeCodeInstant.h"

#include <QJsonArray>
#include <cmath>
#include <iterator>

namespace {

QJsonValue Time(const QDateTime& time)
{
    return time.isValid() ? QJsonValue(time.toString(Qt::ISODate)) : QJsonValue();
}

QDateTime TimeFrom(const QJsonValue& json)
{
    return QDateTime::fromString(json.toString(), Qt::ISODate);
}

QJsonValue TextOrNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QJsonObject PlaceJson(const PlaceReport& place)
{
    QJsonObject json {{QStringLiteral("name"), place.Name}};
    if (place.Kind == SourceKind::Line) {
        json.insert(QStringLiteral("device"), place.Device);
        json.insert(QStringLiteral("speed"), place.Speed);
    } else if (place.Kind == SourceKind::Server) {
        json.insert(QStringLiteral("port"), place.Port);
    }
    for (const auto& [key, text] : {std::pair {"state", &place.State}, std::pair {"address", &place.Address},
                                    std::pair {"fault", &place.Fault}}) {
        if (!text->isEmpty())
            json.insert(QLatin1String(key), *text);
    }
    return json;
}

PlaceReport PlaceFrom(const QJsonObject& json)
{
    PlaceReport place;
    place.Kind = json.contains(QStringLiteral("port")) ? SourceKind::Server
        : json.contains(QStringLiteral("device"))      ? SourceKind::Line
                                                       : SourceKind::Clock;
    place.Name = json[QStringLiteral("name")].toString();
    place.Device = json[QStringLiteral("device")].toString();
    place.Speed = json[QStringLiteral("speed")].toString();
    place.Port = json[QStringLiteral("port")].toInt();
    place.Address = json[QStringLiteral("address")].toString();
    place.State = json[QStringLiteral("state")].toString();
    place.Fault = json[QStringLiteral("fault")].toString();
    return place;
}

Source RoleOf(const QString& name)
{
    for (const Source role : {Source::Standby, Source::OwnClock})
        if (name == RoleName(role))
            return role;
    return Source::Primary;
}

QJsonValue FeedJson(const std::optional<FeedReport>& feed)
{
    if (!feed)
        return QJsonValue();
    QJsonObject withheld;
    for (size_t i = 0; i < WithheldCount; ++i)
        withheld.insert(WithheldName(Withheld(i)), qint64(feed->Withheld[i]));
    return QJsonObject {
        {QStringLiteral("socket"), feed->Socket},
        {QStringLiteral("sent"), qint64(feed->Sent)},
        {QStringLiteral("withheld"), withheld},
        {QStringLiteral("lastOffset"), feed->LastOffsetS ? QJsonValue(*feed->LastOffsetS) : QJsonValue()},
        {QStringLiteral("lastError"), TextOrNull(feed->LastError)},
        {QStringLiteral("notTaken"), qint64(feed->NotTaken)},
        {QStringLiteral("lastWithheld"),
         feed->LastWithheld ? QJsonValue(WithheldName(*feed->LastWithheld)) : QJsonValue()},
    };
}

std::optional<FeedReport> FeedFrom(const QJsonValue& json)
{
    if (!json.isObject())
        return std::nullopt;
    FeedReport feed;
    feed.Socket = json[QStringLiteral("socket")].toString();
    feed.Sent = quint64(json[QStringLiteral("sent")].toInteger());
    for (size_t i = 0; i < WithheldCount; ++i)
        feed.Withheld[i] = quint64(json[QStringLiteral("withheld")][WithheldName(Withheld(i))].toInteger());
    if (json[QStringLiteral("lastOffset")].isDouble())
        feed.LastOffsetS = json[QStringLiteral("lastOffset")].toDouble();
    feed.LastError = json[QStringLiteral("lastError")].toString();
    feed.NotTaken = quint64(json[QStringLiteral("notTaken")].toInteger());
    for (size_t i = 0; i < WithheldCount; ++i) {
        if (json[QStringLiteral("lastWithheld")].toString() == WithheldName(Withheld(i)))
            feed.LastWithheld = Withheld(i);
    }
    return feed;
}

} // namespace

QString ModeName(bool server)
{
    return server ? QStringLiteral("server") : QStringLiteral("client");
}

QJsonObject ReportJson(const RelayReport& report)
{
    QJsonArray clients;
    for (const ClientReport& client : report.Clients)
        clients.append(QJsonObject {
            {QStringLiteral("address"), client.Address},
            {QStringLiteral("since"), Time(client.Since)},
        });
    QJsonValue standby;
    if (report.Standby) {
        QJsonObject json = PlaceJson(report.Standby->Place);
        json.insert(QStringLiteral("state"), report.Standby->Place.State);
        json.insert(QStringLiteral("after"), report.Standby->AfterS);
        json.insert(QStringLiteral("ownClock"), report.Standby->OwnClock);
        json.insert(QStringLiteral("inUse"), RoleName(report.Standby->InUse));
        standby = json;
    }
    QJsonObject counters;
    for (size_t i = 0; i < CounterCount; ++i)
        counters.insert(CounterName(Counter(i)), qint64(report.Counts[i]));
    return {
        {QStringLiteral("pid"), report.Pid},
        {QStringLiteral("version"), report.Version},
        {QStringLiteral("settings"), report.Settings},
        {QStringLiteral("mode"), ModeName(report.Server)},
        {QStringLiteral("running"), report.Running},
        {QStringLiteral("status"), report.Status},
        {QStringLiteral("headline"), StandingOf(report).Headline},
        {QStringLiteral("health"), HealthName(report.Health)},
        {QStringLiteral("line"), PlaceJson(report.Line)},
        {QStringLiteral("listening"), report.Listening ? QJsonValue(*report.Listening) : QJsonValue()},
        {QStringLiteral("clients"), clients},
        {QStringLiteral("server"), report.Peer ? QJsonValue(PlaceJson(*report.Peer)) : QJsonValue()},
        {QStringLiteral("standby"), standby},
        {QStringLiteral("ntp"), FeedJson(report.Feed)},
        {QStringLiteral("clock"),
         report.Clock ? QJsonValue(QJsonObject {{QStringLiteral("synchronised"), report.Clock->Synchronised},
                                                {QStringLiteral("maxError"), report.Clock->MaxErrorS}})
                      : QJsonValue()},
        {QStringLiteral("displays"),
         report.Screens ? QJsonValue(QJsonObject {{QStringLiteral("open"), report.Screens->Open},
                                                  {QStringLiteral("most"), report.Screens->Most},
                                                  {QStringLiteral("refused"), qint64(report.Screens->Refused)}})
                        : QJsonValue()},
        {QStringLiteral("since"), Time(report.Since)},
        {QStringLiteral("lastValue"), report.LastValue ? QJsonValue(report.LastValue->Text) : QJsonValue()},
        {QStringLiteral("lastValueAge"), report.LastValue ? QJsonValue(report.LastValue->AgeS) : QJsonValue()},
        {QStringLiteral("faults"), report.Faults},
        {QStringLiteral("lastFault"), TextOrNull(report.LastFault)},
        {QStringLiteral("lastFaultAt"), Time(report.LastFaultAt)},
        {QStringLiteral("counters"), counters},
    };
}

QString ClockText(const ClockReport& clock)
{
    return QStringLiteral("this computer's clock is %1 (maximum error %2 s)")
        .arg(clock.Synchronised ? QStringLiteral("synchronised again") : QStringLiteral("not synchronised"))
        .arg(clock.MaxErrorS, 0, 'g', 3);
}

QString OffsetWords(double offsetS)
{
    const qint64 chronycUs = qRound64(-offsetS * 1e6);
    return QStringLiteral("this computer's clock is %1 ms %2 the time code (chronyc: %3%4us)")
        .arg(std::fabs(offsetS) * 1000, 0, 'f', 3)
        .arg(offsetS <= 0 ? QStringLiteral("ahead of") : QStringLiteral("behind"))
        .arg(chronycUs >= 0 ? QStringLiteral("+") : QString())
        .arg(chronycUs);
}

StandingReport StandingOf(const RelayReport& report)
{
    StandingReport standing {{}, report.Status.trimmed()};
    QStringList& faults = standing.Faults;
    if (report.Running && report.Clock && !report.Clock->Synchronised)
        faults.append(ClockText(*report.Clock));
    if (const std::optional<FeedReport>& feed = report.Feed; report.Running && feed) {
        if (Starved(*feed) && feed->LastWithheld != Withheld::Unsent)
            faults.append(QStringLiteral("chrony takes no time code: the last %1 and more were withheld (%2)")
                              .arg(StarvedRun)
                              .arg(WithheldName(*feed->LastWithheld)));
        else if (!feed->LastError.isEmpty())
            faults.append(QStringLiteral("chrony is not fed at %1: %2").arg(feed->Socket, feed->LastError));
        else if (FeedsFar(*feed))
            faults.append(FarFedText(*feed->LastOffsetS, Key::Authoritative.Title()));
    }
    for (const QString& fault : std::as_const(faults)) {
        // The status line may just have said it.
        if (standing.Headline != fault)
            standing.Headline += (standing.Headline.isEmpty() ? QString() : QStringLiteral(" - ")) + fault;
    }
    return standing;
}

RelayReport ReportFrom(const QJsonObject& json)
{
    RelayReport report;
    report.Pid = json[QStringLiteral("pid")].toInteger();
    report.Version = json[QStringLiteral("version")].toString();
    report.Settings = json[QStringLiteral("settings")].toString();
    report.Server = json[QStringLiteral("mode")].toString() != ModeName(false);
    report.Running = json[QStringLiteral("running")].toBool();
    report.Status = json[QStringLiteral("status")].toString();
    report.Health = HealthOf(json[QStringLiteral("health")].toString());
    report.Line = PlaceFrom(json[QStringLiteral("line")].toObject());
    if (json[QStringLiteral("listening")].isDouble())
        report.Listening = json[QStringLiteral("listening")].toInt();
    for (const QJsonValue& client : json[QStringLiteral("clients")].toArray())
        report.Clients.push_back(
            {client[QStringLiteral("address")].toString(), TimeFrom(client[QStringLiteral("since")])});
    if (json[QStringLiteral("server")].isObject())
        report.Peer = PlaceFrom(json[QStringLiteral("server")].toObject());
    if (const QJsonValue standby = json[QStringLiteral("standby")]; standby.isObject())
        report.Standby = StandbyReport {PlaceFrom(standby.toObject()), standby[QStringLiteral("after")].toInt(),
                                        standby[QStringLiteral("ownClock")].toBool(),
                                        RoleOf(standby[QStringLiteral("inUse")].toString())};
    report.Feed = FeedFrom(json[QStringLiteral("ntp")]);
    if (const QJsonValue clock = json[QStringLiteral("clock")]; clock.isObject())
        report.Clock = ClockReport {clock[QStringLiteral("synchronised")].toBool(),
                                    clock[QStringLiteral("maxError")].toDouble()};
    if (const QJsonValue screens = json[QStringLiteral("displays")]; screens.isObject())
        report.Screens
            = ScreensReport {screens[QStringLiteral("open")].toInt(), screens[QStringLiteral("most")].toInt(),
                             quint64(screens[QStringLiteral("refused")].toInteger())};
    report.Since = TimeFrom(json[QStringLiteral("since")]);
    if (json[QStringLiteral("lastValue")].isString())
        report.LastValue = LastValueReport {json[QStringLiteral("lastValue")].toString(),
                                            json[QStringLiteral("lastValueAge")].toDouble()};
    report.Faults = json[QStringLiteral("faults")].toInt();
    report.LastFault = json[QStringLiteral("lastFault")].toString();
    report.LastFaultAt = TimeFrom(json[QStringLiteral("lastFaultAt")]);
    const QJsonObject counters = json[QStringLiteral("counters")].toObject();
    for (size_t i = 0; i < CounterCount; ++i)
        report.Counts[i] = quint64(counters[CounterName(Counter(i))].toInteger());
    return report;
}
