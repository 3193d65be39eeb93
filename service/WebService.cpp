#include "service/WebService.h"

#include "config/SettingsLists.h"
#include "relay/RelayLog.h"
#include "service/WebListener.h"
#include "service/WebMetrics.h"

#include <QFile>
#include <QHttpServer>
#include <QJsonDocument>
#include <QWebSocket>

namespace {

using Status = QHttpServerResponder::StatusCode;

struct Answered
{
    Status status;
    QByteArray type;
    QByteArray body;
};

// After the answer the connection ends where the request asks it: "Connection: close", or HTTP/1.0
// without "keep-alive". A monitoring plugin waits for that end.
bool EndsAfterAnswer(const QHttpServerRequest& request, bool http10)
{
    QList<QByteArray> options = request.value("Connection").toLower().split(',');
    for (QByteArray& option : options)
        option = option.trimmed();
    return options.contains("close") || (http10 && !options.contains("keep-alive"));
}

// Two lengths for one body: where the request ends is a guess, and such guesses are how requests are
// smuggled past a proxy.
bool LengthsDiffer(const QHttpServerRequest& request)
{
    QByteArray length;
    for (const auto& [name, value] : request.headers()) {
        if (name.compare("Content-Length", Qt::CaseInsensitive) != 0)
            continue;
        if (!length.isNull() && value.trimmed() != length)
            return true;
        length = value.trimmed();
    }
    return false;
}

QByteArray Page(const QString& name)
{
    QFile page(QStringLiteral(":/web/") + name);
    return page.open(QIODevice::ReadOnly) ? page.readAll() : QByteArray();
}

} // namespace

WebService::WebService(Report report, QObject* parent)
    : QObject(parent)
    , MakeReport(std::move(report))
    , Feed(*this, [this] { return HealthName(MakeReport().Health); })
{
    // The page is linked in from a static library, whose resources register only when asked to.
    Q_INIT_RESOURCE(web);
}

WebService::~WebService()
{
    CloseScreens();
}

std::optional<QString> WebService::Listen(const std::optional<ListenAddress>& where, const AllowList& allowed)
{
    Allowed = allowed;
    Where = where;
    if (Listener != nullptr)
        Listener->Allow(allowed);
    Retry.Stop();
    if (!where) {
        CloseScreens();
        Server.reset();
        Listener = nullptr;
        return std::nullopt;
    }
    if (Listener != nullptr && Listener->serverPort() == where->port) {
        if (Listener->serverAddress() == where->address)
            return std::nullopt;
        // The same port on another address: the old listener would keep the new one from it.
        CloseScreens();
        Server.reset();
        Listener = nullptr;
    }
    QString error;
    if (Open(*where, &error))
        return std::nullopt;
    const QString trouble
        = QStringLiteral("the web port cannot listen on %1 port %2 (%3): %4tried again every %5 s")
              .arg(where->address.toString())
              .arg(where->port)
              .arg(error,
                   Listener != nullptr ? QStringLiteral("it stays on port %1 until then, ").arg(Listener->serverPort())
                                       : QString())
              .arg(RetryMs / 1000);
    qCWarning(lcRelay).noquote() << trouble;
    Retry.Start(RetryMs, [this, at = *where] { return Open(at, nullptr); });
    return trouble;
}

bool WebService::Open(const ListenAddress& where, QString* error)
{
    auto server = std::make_unique<QHttpServer>();
    auto* listener = new WebListener(server.get());
    listener->Allow(Allowed);
    if (!listener->listen(where.address, where.port)) {
        if (error != nullptr)
            *error = listener->errorString();
        return false;
    }
    listener->ScreensBy([this] { return ScreenSockets.size() < MostScreens; }, [this] { ++Refused; });
    server->bind(listener);
    // The feed's route takes its upgrade; a request that asks for none is told to.
    server->route(QStringLiteral("/display/feed"),
                  [](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
                      if (request.value("Upgrade").compare("websocket", Qt::CaseInsensitive) != 0)
                          responder.write("A WebSocket for screens: ws://.../display/feed\n", "text/plain",
                                          QHttpServerResponder::StatusCode::UpgradeRequired);
                  });
    connect(server.get(), &QAbstractHttpServer::newWebSocketConnection, this, [this] { TakeScreens(); });
    server->setMissingHandler(
        [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) { Answer(request, responder); });
    Server = std::move(server);
    Listener = listener;
    qCInfo(lcRelay).noquote() << "the web port listens on" << where.address.toString() << "port" << where.port;
    return true;
}

std::optional<QString> WebService::ListenAsConfigured(const RelayConfig& config)
{
    MostScreens = config.Displays;
    if (config.Web)
        TellClientsAllowed(config.Allowed);
    return Listen(config.Web, config.Web ? config.Allowed.list : AllowList());
}

QString WebService::Asked() const
{
    if (!Where)
        return QStringLiteral("(none)");
    const QString address = Where->address.toString();
    return (address.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2") : QStringLiteral("%1:%2"))
        .arg(address)
        .arg(Where->port);
}

RelayReport WebService::Reported() const
{
    RelayReport report = MakeReport();
    if (Listener != nullptr)
        report.Screens = ScreensReport {int(ScreenSockets.size()), MostScreens, Refused};
    return report;
}

quint16 WebService::Port() const
{
    return Listener != nullptr ? Listener->serverPort() : 0;
}

void WebService::Answer(const QHttpServerRequest& request, QHttpServerResponder& responder) const
{
    const bool head = request.method() == QHttpServerRequest::Method::Head;
    const QString path = request.url().path();
    Answered answer {Status::NotFound, "text/plain; charset=utf-8", "No such page: / /status.json /metrics /display\n"};
    const bool malformed = LengthsDiffer(request);
    if (malformed)
        answer = {Status::BadRequest, "text/plain; charset=utf-8", "Two different Content-Length headers\n"};
    else if (!Allowed.Admits(request.remoteAddress()))
        answer = {Status::Forbidden, "text/plain; charset=utf-8", "Not in [Clients] Allow\n"};
    else if (!head && request.method() != QHttpServerRequest::Method::Get)
        answer = {Status::MethodNotAllowed, "text/plain; charset=utf-8", "Read only: GET and HEAD\n"};
    else if (path == QLatin1String("/"))
        answer = {Status::Ok, "text/html; charset=utf-8", Page(QStringLiteral("index.html"))};
    else if (path == QLatin1String("/display"))
        answer = {Status::Ok, "text/html; charset=utf-8", Page(QStringLiteral("display.html"))};
    else if (path == QLatin1String("/status.json"))
        answer = {Status::Ok, "application/json", QJsonDocument(ReportJson(Reported())).toJson(QJsonDocument::Compact)};
    else if (path == QLatin1String("/metrics"))
        answer = {Status::Ok, "text/plain; version=0.0.4; charset=utf-8", MetricsText(Reported())};
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
    const bool ending = malformed || EndsAfterAnswer(request, WebListener::SpeaksHttp10(responder.socket()));
    if (ending)
        responder.writeHeader("Connection", "close");
    responder.writeBody(head ? QByteArray() : answer.body);
    if (ending)
        responder.socket()->disconnectFromHost();
}

void WebService::TakeScreens()
{
    while (Server && Server->hasPendingWebSocketConnections()) {
        QWebSocket* screen = Server->nextPendingWebSocketConnection().release();
        screen->setParent(this);
        if (screen->requestUrl().path() != QLatin1String("/display/feed")) {
            screen->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("No such feed"));
            screen->deleteLater();
            continue;
        }
        // A screen only listens: what it says is never kept.
        screen->setMaxAllowedIncomingMessageSize(256);
        connect(screen, &QWebSocket::disconnected, this, [this, screen] { DropScreen(screen, QString()); });
        ScreenSockets.append(screen);
        const QString address = PlainAddress(screen->peerAddress()).toString();
        if (ScreensLog.Allows(lcRelay(), QStringLiteral("screens that came"), address))
            qCInfo(lcRelay).noquote()
                << QStringLiteral("screen %1 follows the clock (%2 now)").arg(address).arg(ScreenSockets.size());
        screen->sendTextMessage(QString::fromUtf8(Feed.Current()));
    }
}

void WebService::SendToScreens(const QByteArray& message)
{
    const QString text = QString::fromUtf8(message);
    for (QWebSocket* screen : QList<QWebSocket*>(ScreenSockets)) {
        // A screen that reads nothing is let go rather than let its values pile up here.
        if (screen->bytesToWrite() > ScreenBacklogLimit)
            DropScreen(screen, QStringLiteral("it took nothing of the last values"));
        else
            screen->sendTextMessage(text);
    }
}

void WebService::DropScreen(QWebSocket* screen, const QString& why)
{
    if (!ScreenSockets.removeOne(screen))
        return;
    const QString address = PlainAddress(screen->peerAddress()).toString();
    if (!why.isEmpty()) {
        if (ScreensLog.Allows(lcRelay(), QStringLiteral("screens let go"), address))
            qCWarning(lcRelay).noquote() << "screen" << address << "let go:" << why;
        screen->abort();
    } else if (ScreensLog.Allows(lcRelay(), QStringLiteral("screens that went"), address)) {
        qCInfo(lcRelay).noquote() << QStringLiteral("screen %1 went (%2 now)").arg(address).arg(ScreenSockets.size());
    }
    screen->deleteLater();
}

void WebService::CloseScreens()
{
    for (QWebSocket* screen : QList<QWebSocket*>(ScreenSockets)) {
        ScreenSockets.removeOne(screen);
        screen->abort();
        delete screen;
    }
}
