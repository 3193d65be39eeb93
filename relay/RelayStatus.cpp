#include "relay/RelayController.h"
#include "serial/ComNames.h"
#include "serial/PortMessages.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QJsonArray>

namespace {

// Nothing relayed for this long is no relay, whatever else runs.
constexpr qint64 NotRelayingMs = 30000;
// Past this a source that is still there is silent.
constexpr qint64 SilentMs = 5000;

QJsonValue Time(const QDateTime& time)
{
    return time.isValid() ? QJsonValue(time.toString(Qt::ISODate)) : QJsonValue();
}

} // namespace

void RelayController::RecordFault(const QString& text)
{
    ++FaultCount;
    LastFault = text.trimmed();
    LastFaultAt = QDateTime::currentDateTimeUtc();
}

QString RelayController::Health() const
{
    const bool server = RelayMode == 1;
    if (RunFlag == 0)
        return QStringLiteral("not relaying");
    // A relay just started has had no time to relay yet: it is waited for, not given up on.
    if (!LastValue.isValid() || LastValue.elapsed() > NotRelayingMs)
        return RunClock.elapsed() > NotRelayingMs ? QStringLiteral("not relaying") : QStringLiteral("degraded");
    const bool lineAway = SerialHandle < 0;
    const bool networkAway = server ? ListeningFlag == 0 : ConnectTimerId != 0;
    // A spare in use, or a spare that is dead, leaves the relay one fault from relaying nothing.
    const bool spareTrouble = Selector
        && (Selector->InUse() != Source::Primary || (!SourceName(Source::Standby).isEmpty() && !StandbyAlive));
    if (lineAway || networkAway || spareTrouble || LastValue.elapsed() > SilentMs)
        return QStringLiteral("degraded");
    return QStringLiteral("relaying");
}

QJsonObject RelayController::StatusReport() const
{
    const bool server = RelayMode == 1;
    const bool running = RunFlag != 0;
    const PortSide side = server ? PortSide::Input : PortSide::Output;
    const QString lineState = !running ? QStringLiteral("closed")
        : SerialHandle >= 0            ? QStringLiteral("open")
                                       : QStringLiteral("lost");
    QJsonObject line {
        {QStringLiteral("name"), PortName(side)},
        {QStringLiteral("device"), SerialHandle >= 0 ? SerialDevice : LineDevice(side)},
        {QStringLiteral("speed"), server ? InComSpeed : OutComSpeed},
        {QStringLiteral("state"), lineState},
    };
    if (lineState == QLatin1String("lost"))
        line.insert(QStringLiteral("fault"), LineFault.trimmed());

    QJsonArray clients;
    for (const CLinkSocket* client : ClientList)
        clients.append(QJsonObject {{QStringLiteral("address"), client->PeerText()},
                                    {QStringLiteral("since"), Time(client->ConnectedSince())}});

    QJsonValue serverSide;
    if (!server) {
        const QString state = !running ? QStringLiteral("closed")
            : ConnectTimerId == 0      ? QStringLiteral("connected")
            : RejectedByServer         ? QStringLiteral("rejected")
                                       : QStringLiteral("seeking");
        QJsonObject peer {{QStringLiteral("name"), ServerName},
                          {QStringLiteral("port"), ClientPort},
                          {QStringLiteral("state"), state}};
        if (state == QLatin1String("connected"))
            peer.insert(QStringLiteral("address"), ConnectSocket.PeerText());
        else if (state == QLatin1String("seeking") && !ServerFault.isEmpty())
            peer.insert(QStringLiteral("fault"), ServerFault);
        serverSide = peer;
    }

    QJsonValue standby;
    if (Selector) {
        const QString name = SourceName(Source::Standby);
        const bool connected = server ? StandbyHandle >= 0 : StandbySocket.IsConnected();
        const QString state = name.isEmpty() ? QStringLiteral("none")
            : !connected                     ? QStringLiteral("lost")
            : StandbyAlive                   ? QStringLiteral("alive")
                                             : QStringLiteral("silent");
        const Source inUse = Selector->InUse();
        QJsonObject spare {
            {QStringLiteral("name"), name},
            {QStringLiteral("state"), state},
            {QStringLiteral("after"), Standby.AfterS},
            {QStringLiteral("ownClock"), Standby.OwnClock},
            {QStringLiteral("inUse"),
             inUse == Source::Primary       ? QStringLiteral("primary")
                 : inUse == Source::Standby ? QStringLiteral("standby")
                                            : QStringLiteral("own clock")},
        };
        if (server)
            spare.insert(QStringLiteral("device"), StandbyHandle >= 0 ? StandbyDevice : ComDevice(name));
        else
            spare.insert(QStringLiteral("port"), Standby.ServerPort);
        standby = spare;
    }
    const bool fresh = LastValue.isValid() && running;
    return {
        {QStringLiteral("pid"), QCoreApplication::applicationPid()},
        {QStringLiteral("settings"), SettingsFile::Path()},
        {QStringLiteral("mode"), server ? QStringLiteral("server") : QStringLiteral("client")},
        {QStringLiteral("running"), running},
        {QStringLiteral("since"), running ? Time(RunSince) : QJsonValue()},
        {QStringLiteral("status"), StatusText.trimmed()},
        {QStringLiteral("health"), Health()},
        {QStringLiteral("lastValue"), fresh ? QJsonValue(LastValueText) : QJsonValue()},
        {QStringLiteral("lastValueAge"), fresh ? QJsonValue(double(LastValue.elapsed()) / 1000.0) : QJsonValue()},
        {QStringLiteral("line"), line},
        {QStringLiteral("listening"), server && ListeningFlag != 0 ? QJsonValue(ServerPort) : QJsonValue()},
        {QStringLiteral("clients"), clients},
        {QStringLiteral("server"), serverSide},
        {QStringLiteral("standby"), standby},
        {QStringLiteral("faults"), FaultCount},
        {QStringLiteral("lastFault"), LastFault.isEmpty() ? QJsonValue() : QJsonValue(LastFault)},
        {QStringLiteral("lastFaultAt"), Time(LastFaultAt)},
    };
}
