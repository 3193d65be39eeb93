#include "app/WebService.h"

#include "app/WebListener.h"
#include "app/WebMetrics.h"
#include "relay/RelayLog.h"
#include "relay/SettingsLists.h"

#include <QFile>
#include <QHttpServer>
#include <QJsonDocument>

namespace {

using Status = QHttpServerResponder::StatusCode;

struct Answered
{
    Status status;
    QByteArray type;
    QByteArray body;
};

QByteArray Page()
{
    QFile page(QStringLiteral(":/web/index.html"));
    return page.open(QIODevice::ReadOnly) ? page.readAll() : QByteArray();
}

} // namespace

WebService::WebService(Report report, QObject* parent)
    : QObject(parent)
    , MakeReport(std::move(report))
{
    // The page is linked in from a static library, whose resources register only when asked to.
    Q_INIT_RESOURCE(web);
}

WebService::~WebService() = default;

void WebService::Listen(const std::optional<ListenAddress>& where, const AllowList& allowed)
{
    Allowed = allowed;
    if (where && Listener != nullptr && Listener->serverAddress() == where->address
        && Listener->serverPort() == where->port)
        return;
    Server.reset();
    Listener = nullptr;
    if (!where)
        return;
    auto server = std::make_unique<QHttpServer>();
    auto* listener = new WebListener(server.get());
    const QString address = QStringLiteral("%1 port %2").arg(where->address.toString()).arg(where->port);
    if (!listener->listen(where->address, where->port)) {
        qCWarning(lcRelay).noquote() << "the web port cannot listen on" << address << "-" << listener->errorString();
        return;
    }
    server->bind(listener);
    server->setMissingHandler(
        [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) { Answer(request, responder); });
    Server = std::move(server);
    Listener = listener;
    qCInfo(lcRelay).noquote() << "the web port listens on" << address;
}

void WebService::ListenAsSettingsSay()
{
    const std::optional<ListenAddress> where = LoadWebListen();
    Listen(where, where ? LoadAllowList() : AllowList());
}

quint16 WebService::Port() const
{
    return Listener != nullptr ? Listener->serverPort() : 0;
}

void WebService::Answer(const QHttpServerRequest& request, QHttpServerResponder& responder) const
{
    const bool head = request.method() == QHttpServerRequest::Method::Head;
    const QString path = request.url().path();
    Answered answer {Status::NotFound, "text/plain; charset=utf-8", "No such page: / /status.json /metrics\n"};
    if (!Allowed.Admits(request.remoteAddress()))
        answer = {Status::Forbidden, "text/plain; charset=utf-8", "Not in [Clients] Allow\n"};
    else if (!head && request.method() != QHttpServerRequest::Method::Get)
        answer = {Status::MethodNotAllowed, "text/plain; charset=utf-8", "Read only: GET and HEAD\n"};
    else if (path == QLatin1String("/"))
        answer = {Status::Ok, "text/html; charset=utf-8", Page()};
    else if (path == QLatin1String("/status.json"))
        answer = {Status::Ok, "application/json", QJsonDocument(MakeReport()).toJson(QJsonDocument::Compact)};
    else if (path == QLatin1String("/metrics"))
        answer = {Status::Ok, "text/plain; version=0.0.4; charset=utf-8", MetricsText(MakeReport())};
    responder.writeStatusLine(answer.status);
    responder.writeHeader("Content-Type", answer.type);
    responder.writeHeader("Content-Length", QByteArray::number(answer.body.size()));
    responder.writeHeader("Cache-Control", "no-store");
    // The page is ours alone: nothing from elsewhere may run in it.
    responder.writeHeader(
        "Content-Security-Policy",
        "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; connect-src 'self'");
    if (answer.status == Status::MethodNotAllowed)
        responder.writeHeader("Allow", "GET, HEAD");
    responder.writeBody(head ? QByteArray() : answer.body);
}
