#pragma once

#include "config/RelayConfig.h"
#include "net/AllowList.h"
#include "outputs/ScreenFeed.h"
#include "relay/LogThrottle.h"
#include "relay/RelayReport.h"
#include "serial/RetryTimer.h"

#include <QList>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponder;
class QWebSocket;
class WebListener;

// A read-only window on the relay for a browser or Prometheus, off unless [Web] Listen names an
// address: `/` (one page that follows the status), `/status.json` (the report `--status --json`
// prints), `/metrics` (the same figures for Prometheus), `/display` (a studio clock for a screen) and
// its feed, a WebSocket at `/display/feed`. GET and HEAD only; the clock port's allow-list applies. A
// peer can neither stall the relay nor grow its memory: each connection is bounded in bytes and in time,
// connections in number; screens, at most [Web] Displays, are bounded in what waits for them.
class WebService final : public QObject, public ScreenSink
{
public:
    using Report = std::function<RelayReport()>;

    explicit WebService(Report report, QObject* parent = nullptr);
    ~WebService() override;

    // Listens there, or nowhere; said in the log. The same address again changes nothing but the list.
    // Where nothing can listen yet (the port busy, the address not yet on the machine) it is tried again
    // every RetryMs, and the port listened on until now stays until then: what went wrong is returned.
    std::optional<QString> Listen(const std::optional<ListenAddress>& where, const AllowList& allowed);
    // Listens where the configuration's [Web] says, for whom its [Clients] says; nowhere without [Web].
    std::optional<QString> ListenAsConfigured(const RelayConfig& config);
    // The port listened on; 0 when none.
    quint16 Port() const;
    // The relay's report with the screens beside it, while the port listens.
    RelayReport Reported() const;
    // The screens' output, for the relay to hand its values to.
    ScreenFeed& Screens() { return Feed; }
    // How many screens follow the clock now.
    int ScreenCount() const { return int(ScreenSockets.size()); }
    void SendToScreens(const QByteArray& message) override;
    bool AnyScreen() const override { return !ScreenSockets.isEmpty(); }
    // Where it was last asked to listen, as [Web] Listen writes it: "127.0.0.1:8530", or "(none)".
    QString Asked() const;

    static constexpr int RetryMs = 2000;
    // What may wait for a screen that reads nothing: a few dozen values.
    static constexpr qint64 ScreenBacklogLimit = 4096;

private:
    // Listens there in place of where it did; false, with nothing changed, where it cannot.
    bool Open(const ListenAddress& where, QString* error);
    void Answer(const QHttpServerRequest& request, QHttpServerResponder& responder) const;
    // The screens the server upgraded since: kept, or closed where they asked for something else.
    void TakeScreens();
    void DropScreen(QWebSocket* screen, const QString& why);
    void CloseScreens();

    Report MakeReport;
    AllowList Allowed;
    std::unique_ptr<QHttpServer> Server;
    // The server's own listener, while it listens.
    WebListener* Listener = nullptr;
    RetryTimer Retry;
    std::optional<ListenAddress> Where;
    ScreenFeed Feed;
    QList<QWebSocket*> ScreenSockets;
    // A host that opens and closes screens in a loop cannot fill the log.
    LogGate ScreensLog;
    int MostScreens = 100;
    quint64 Refused = 0;
};
