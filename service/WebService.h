#pragma once

#include "config/RelayConfig.h"
#include "net/AllowList.h"
#include "relay/RelayReport.h"
#include "serial/RetryTimer.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponder;
class WebListener;

// A read-only window on the relay for a browser or Prometheus, off unless [Web] Listen names an
// address: `/` (one page that follows the status), `/status.json` (the report `--status --json`
// prints), `/metrics` (the same figures for Prometheus). GET and HEAD only; the clock port's allow-list
// applies. A peer can neither stall the relay nor grow its memory: each connection is bounded in bytes
// and in time, connections in number.
class WebService final : public QObject
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
    // Where it was last asked to listen, as [Web] Listen writes it: "127.0.0.1:8530", or "(none)".
    QString Asked() const;

    static constexpr int RetryMs = 2000;

private:
    // Listens there in place of where it did; false, with nothing changed, where it cannot.
    bool Open(const ListenAddress& where, QString* error);
    void Answer(const QHttpServerRequest& request, QHttpServerResponder& responder) const;

    Report MakeReport;
    AllowList Allowed;
    std::unique_ptr<QHttpServer> Server;
    // The server's own listener, while it listens.
    WebListener* Listener = nullptr;
    RetryTimer Retry;
    std::optional<ListenAddress> Where;
};
