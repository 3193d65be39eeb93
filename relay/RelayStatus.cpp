#include "relay/RelayController.h"
#include "relay/ServerSource.h"
#include "relay/SettingsLists.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QJsonArray>

QJsonObject RelayController::StatusReport() const
{
    const bool server = Config.RelayMode == 1;
    const bool running = RunFlag != 0;
    const TimeSource* primary = Sources[size_t(Source::Primary)].get();
    const TimeSource* standby = Sources[size_t(Source::Standby)].get();

    QJsonObject line;
    if (server && primary != nullptr) {
        line = primary->Report();
    } else {
        const SerialLine& display = Display.Line;
        const QString name = server ? Config.InComName : Config.OutComName;
        line = QJsonObject {
            {QStringLiteral("name"), name},
            {QStringLiteral("device"), display.IsOpen() ? display.Device : ComDeviceNow(name)},
            {QStringLiteral("speed"), server ? Config.InComSpeed : Config.OutComSpeed},
            {QStringLiteral("state"), display.IsOpen() ? QStringLiteral("open") : QStringLiteral("lost")},
        };
        if (running && !display.IsOpen())
            line.insert(QStringLiteral("fault"), Display.Fault().trimmed());
    }
    if (!running)
        line.insert(QStringLiteral("state"), QStringLiteral("closed"));

    QJsonArray clients;
    for (const CLinkSocket* client : Clients.ClientList)
        clients.append(QJsonObject {
            {QStringLiteral("address"), client->PeerText()},
            {QStringLiteral("since"), client->ConnectedSince().toString(Qt::ISODate)},
        });

    QJsonValue serverSide;
    if (!server) {
        QJsonObject peer = primary != nullptr
            ? primary->Report()
            : QJsonObject {{QStringLiteral("name"), Config.ServerName}, {QStringLiteral("port"), Config.ClientPort}};
        if (!running)
            peer.insert(QStringLiteral("state"), QStringLiteral("closed"));
        serverSide = peer;
    }

    QJsonValue spare;
    if (running && Config.Standby.Present)
        spare = Choice.Report(standby != nullptr ? standby->Report() : QJsonObject());

    const bool lineAway = server ? primary == nullptr || !primary->IsOpen() : !Display.Line.IsOpen();
    const bool networkAway = server ? Clients.ListeningFlag == 0 : primary == nullptr || !primary->IsOpen();
    QJsonObject report {
        {QStringLiteral("pid"), QCoreApplication::applicationPid()},
        {QStringLiteral("version"), QStringLiteral(HORALINE_VERSION)},
        {QStringLiteral("settings"), SettingsFile::Path()},
        {QStringLiteral("mode"), server ? QStringLiteral("server") : QStringLiteral("client")},
        {QStringLiteral("running"), running},
        {QStringLiteral("status"), StatusText.trimmed()},
        {QStringLiteral("health"), Health.Health(running, lineAway || networkAway || Choice.InTrouble())},
        {QStringLiteral("line"), line},
        {QStringLiteral("listening"), server && Clients.ListeningFlag != 0 ? QJsonValue(Clients.Port()) : QJsonValue()},
        {QStringLiteral("clients"), clients},
        {QStringLiteral("server"), serverSide},
        {QStringLiteral("standby"), spare},
    };
    const QJsonObject figures = Health.Report(running);
    for (auto field = figures.begin(); field != figures.end(); ++field)
        report.insert(field.key(), field.value());
    return report;
}
