#include "service/StatusService.h"

#include "relay/RelayLog.h"

#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace {

// A request is a word; an asker that says more, or nothing for a while, is no query of ours.
constexpr qint64 RequestLimit = 64;
constexpr int AskerPatienceMs = 2000;

} // namespace

StatusService::StatusService(const QStringList& socketPaths, Report report, Raise raise, QObject* parent)
    : QObject(parent)
    , MakeReport(std::move(report))
    , BringToFront(std::move(raise))
{
    Listen(socketPaths);
}

void StatusService::Listen(const QStringList& socketPaths)
{
    qDeleteAll(Servers);
    Servers.clear();
    for (const QString& socketPath : socketPaths) {
        auto* server = new QLocalServer(this);
        // The folder decides who may ask: the user's own runtime folder, or a service's shared with its group.
        server->setSocketOptions(QLocalServer::UserAccessOption | QLocalServer::GroupAccessOption);
        // Whoever made a socket here has died: the instance lock is ours.
        QLocalServer::removeServer(socketPath);
        if (!server->listen(socketPath)) {
            qCWarning(lcRelay).noquote() << "status queries cannot be answered:" << socketPath << "-"
                                         << server->errorString();
            delete server;
            continue;
        }
        connect(server, &QLocalServer::newConnection, this, [this, server] {
            while (QLocalSocket* asker = server->nextPendingConnection()) {
                asker->setParent(this);
                asker->setReadBufferSize(RequestLimit);
                connect(asker, &QLocalSocket::readyRead, this, [this, asker] { Answer(asker); });
                connect(asker, &QLocalSocket::disconnected, asker, &QObject::deleteLater);
                QTimer::singleShot(AskerPatienceMs, asker, &QLocalSocket::abort);
            }
        });
        Servers.append(server);
    }
}

void StatusService::Answer(QLocalSocket* asker)
{
    if (!asker->canReadLine()) {
        if (asker->bytesAvailable() >= RequestLimit)
            asker->abort();
        return;
    }
    const QByteArray request = asker->readLine(RequestLimit).trimmed();
    QJsonObject answer;
    if (request == "status")
        answer = ReportJson(MakeReport());
    else if (request == "raise")
        answer = {{QStringLiteral("raised"), BringToFront()}};
    else
        answer = {{QStringLiteral("error"), QStringLiteral("unknown request")}};
    asker->write(QJsonDocument(answer).toJson(QJsonDocument::Compact) + '\n');
    asker->disconnectFromServer();
}
