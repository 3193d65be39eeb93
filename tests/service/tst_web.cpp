#include "net/AllowList.h"
#include "service/WebListener.h"
#include "service/WebMetrics.h"
#include "service/WebService.h"
#include "support/RelayFixture.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryFile>
#include <QWebSocket>
#include <algorithm>
#include <arpa/inet.h>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Whether the answer is all there: its headers, and as much body as they announce (none to a HEAD).
bool Whole(const QByteArray& answer, bool head)
{
    const qsizetype end = answer.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    const QRegularExpressionMatch length
        = QRegularExpression(QStringLiteral("Content-Length: (\\d+)")).match(QString::fromLatin1(answer.left(end)));
    return head || answer.size() - end - 4 >= (length.hasMatch() ? length.captured(1).toLongLong() : 0);
}

// One request as a browser or Prometheus sends it, and the whole answer, headers and all; empty when the
// port closed without one. The server runs in this thread: it is waited for, not blocked.
QByteArray Fetch(quint16 port, const QByteArray& method, const QByteArray& path,
                 const QHostAddress& from = QHostAddress(QHostAddress::LocalHost))
{
    QTcpSocket peer;
    peer.connectToHost(from, port);
    peer.write(method + ' ' + path + " HTTP/1.1\r\nHost: localhost\r\n\r\n");
    QByteArray answer;
    const bool whole = QTest::qWaitFor(
        [&] {
            answer += peer.readAll();
            return Whole(answer, method == "HEAD") || peer.state() == QAbstractSocket::UnconnectedState;
        },
        5000);
    return whole && Whole(answer, method == "HEAD") ? answer : QByteArray();
}

QByteArray Body(const QByteArray& answer)
{
    return answer.mid(answer.indexOf("\r\n\r\n") + 4);
}

bool HasBrowser()
{
    return !QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty();
}

// The page as a browser shows it once its script has run, in UTC; empty when it did not end. The server
// runs in this thread: the browser is waited for, not blocked on.
QByteArray PageAsShown(quint16 port, const QString& path = QStringLiteral("/"))
{
    QProcess browser;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    browser.setProcessEnvironment(environment);
    QStringList arguments {QStringLiteral("--headless"),
                           QStringLiteral("--no-sandbox"),
                           QStringLiteral("--disable-gpu"),
                           QStringLiteral("--no-first-run"),
                           QStringLiteral("--disable-background-networking"),
                           QStringLiteral("--virtual-time-budget=3000"),
                           QStringLiteral("--dump-dom"),
                           QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path)};
    // A page that follows a WebSocket needs real time too for its feed to speak.
    if (path.startsWith(QLatin1String("/display")))
        arguments.prepend(QStringLiteral("--timeout=3000"));
    browser.start(QStandardPaths::findExecutable(QStringLiteral("chromium")), arguments);
    const bool ended = QTest::qWaitFor([&browser] { return browser.state() == QProcess::NotRunning; }, 30000);
    return ended ? browser.readAllStandardOutput() : QByteArray();
}

double MetricValue(const QByteArray& metrics, const QString& name)
{
    const QRegularExpressionMatch match
        = QRegularExpression(QStringLiteral("^%1 (\\S+)$").arg(QRegularExpression::escape(name)),
                             QRegularExpression::MultilineOption)
              .match(QString::fromUtf8(metrics));
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}

// A relay with its web port listening and its screens attached, as both programs run it.
struct WatchedRelay
{
    WatchedRelay(int mode, int com, quint16 port, int displays = 100)
        : Relay(mode, com, port, 1)
        , Web([this] { return Relay.Controller.StatusReport(); })
        , Screens(Relay.Controller.Outputs.Attach(Web.Screens()))
    {
        RelayConfig config;
        config.Web = ListenAddress {QHostAddress(QHostAddress::LocalHost), FreePort()};
        config.Displays = displays;
        Web.ListenAsConfigured(config);
    }

    // A screen follows the clock; every message it hears is kept in `heard`.
    void Follow(QWebSocket& screen, QStringList& heard) const
    {
        QObject::connect(&screen, &QWebSocket::textMessageReceived, &screen,
                         [&heard](const QString& message) { heard.append(message); });
        screen.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/display/feed").arg(Web.Port())));
    }

    RelayUnderTest Relay;
    WebService Web;
    const RunOutputs::Attachment Screens;
};

} // namespace

class TestWeb : public QObject
{
    Q_OBJECT

private slots:
    void init() { ForgetSettings(); }

    void listenAddresses()
    {
        QCOMPARE(ParseListenAddress(QStringLiteral("127.0.0.1:8530"))->port, quint16(8530));
        QCOMPARE(ParseListenAddress(QStringLiteral("[::]:8530"))->address, QHostAddress(QHostAddress::Any));
        for (const char* wrong : {"8530", "::1:8530", "127.0.0.1:0", "127.0.0.1:65536", "host:8530", "[::1]"})
            QVERIFY2(!ParseListenAddress(QLatin1String(wrong)), wrong);
        // No [Web] group, no port; one written, that port.
        WebService web([] { return RelayReport(); });
        web.ListenAsConfigured(LoadRelaySettings({}).config);
        QCOMPARE(web.Port(), quint16(0));
        const quint16 port = FreePort();
        SettingsFile(QStringLiteral("Web")).Write(QStringLiteral("Listen"), QStringLiteral("127.0.0.1:%1").arg(port));
        web.ListenAsConfigured(LoadRelaySettings({}).config);
        QCOMPARE(web.Port(), port);
    }

    // The figures follow the relay; the page shows its value; whatever is not a read of the three paths
    // by an admitted peer is refused.
    void metricsStatusAndPageFollowTheRelay()
    {
        RelayUnderTest relay(1, 230, FreePort(), 1);
        QTcpSocket display;
        display.connectToHost(QHostAddress::LocalHost, relay.Port);
        QVERIFY(display.waitForConnected(5000));
        QTRY_COMPARE(relay.Controller.Clients.ClientList.size(), 1);
        WebService web([&relay] { return relay.Controller.StatusReport(); });
        web.Listen(ListenAddress {QHostAddress(QHostAddress::LocalHost), FreePort()}, AllowList());
        QVERIFY(web.Port() != 0);

        QVERIFY(relay.Line.Write("\x02"
                                 "111213"));
        QCOMPARE(ReadUntil(display, 8), QByteArray("11:12:13"));
        const QByteArray first = Fetch(web.Port(), "GET", "/metrics");
        QVERIFY2(first.startsWith("HTTP/1.1 200 ") && first.contains("text/plain; version=0.0.4"), first.constData());
        QCOMPARE(MetricValue(Body(first), QStringLiteral("horaline_values_relayed_total")), 1.0);
        QCOMPARE(MetricValue(Body(first), QStringLiteral("horaline_clients")), 1.0);
        QCOMPARE(MetricValue(Body(first), QStringLiteral("horaline_health")), 0.0);
        QCOMPARE(MetricValue(Body(first), QStringLiteral("horaline_source_in_use{source=\"primary\"}")), 1.0);
        QVERIFY(MetricValue(Body(first), QStringLiteral("horaline_last_value_age_seconds")) >= 0);
        QVERIFY(relay.Line.Write("\x02"
                                 "111214"));
        QCOMPARE(ReadUntil(display, 8), QByteArray("11:12:14"));
        QCOMPARE(
            MetricValue(Body(Fetch(web.Port(), "GET", "/metrics")), QStringLiteral("horaline_values_relayed_total")),
            2.0);
        const QJsonObject status = QJsonDocument::fromJson(Body(Fetch(web.Port(), "GET", "/status.json"))).object();
        QCOMPARE(status[QStringLiteral("lastValue")].toString(), QStringLiteral("11:12:14"));

        if (const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool")); !promtool.isEmpty()) {
            QProcess check;
            check.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
            check.write(Body(first));
            check.closeWriteChannel();
            QVERIFY(check.waitForFinished(10000));
            QVERIFY2(check.exitCode() == 0, check.readAllStandardError().constData());
        }
        // The page fetches the value itself, without a reload.
        if (HasBrowser())
            QVERIFY(PageAsShown(web.Port()).contains("11:12:14"));

        const QByteArray head = Fetch(web.Port(), "HEAD", "/metrics");
        QVERIFY2(head.startsWith("HTTP/1.1 200 ") && Body(head).isEmpty() && !head.contains("Content-Length: 0"),
                 head.constData());
        const QByteArray post = Fetch(web.Port(), "POST", "/metrics");
        QVERIFY2(post.startsWith("HTTP/1.1 405 ") && post.contains("Allow: GET, HEAD"), post.constData());
        QVERIFY(Fetch(web.Port(), "GET", "/settings").startsWith("HTTP/1.1 404 "));
        QVERIFY(Fetch(web.Port(), "GET", "/").contains("<title>Horaline</title>"));
        // A monitoring plugin's HTTP/1.0, or a request to close, ends with the answer; two lengths are refused.
        for (const QByteArray& request :
             {QByteArray("GET /metrics HTTP/1.0\r\n\r\n"),
              QByteArray("GET /metrics HTTP/1.1\r\nConnection: close\r\n\r\n"),
              QByteArray("GET /metrics HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab")}) {
            QTcpSocket plugin;
            plugin.connectToHost(QHostAddress::LocalHost, web.Port());
            plugin.write(request);
            QByteArray answer;
            QTRY_VERIFY_WITH_TIMEOUT((answer += plugin.readAll(), plugin.state() == QAbstractSocket::UnconnectedState),
                                     WebListener::LifetimeMs / 2);
            QVERIFY2(answer.startsWith(request.contains("Length") ? "HTTP/1.1 400 " : "HTTP/1.1 200 "),
                     answer.constData());
        }
        QTcpSocket kept;
        kept.connectToHost(QHostAddress::LocalHost, web.Port());
        kept.write("GET /metrics HTTP/1.0\r\nConnection: keep-alive\r\n\r\n");
        QVERIFY(ReadUntil(kept, 20).startsWith("HTTP/1.1 200 "));
        QCOMPARE(kept.state(), QAbstractSocket::ConnectedState);

        web.Listen(ListenAddress {QHostAddress(QHostAddress::LocalHost), web.Port()},
                   AllowList::Parse({QStringLiteral("10.0.0.0/8")}));
        QVERIFY(Fetch(web.Port(), "GET", "/metrics").isEmpty());
        // On a listener of both families an IPv6 stranger is turned away as an IPv4 one is.
        web.Listen(*ParseListenAddress(QStringLiteral("[::]:%1").arg(FreePort())),
                   AllowList::Parse({QStringLiteral("127.0.0.1")}));
        QVERIFY(Fetch(web.Port(), "GET", "/metrics", QHostAddress(QHostAddress::LocalHostIPv6)).isEmpty());
        QVERIFY(Fetch(web.Port(), "GET", "/metrics").startsWith("HTTP/1.1 200 "));
    }

    // A port busy, or an address not yet on the machine, is tried again; a move keeps the old port until
    // the new one listens.
    void aPortThatCannotListenIsTriedAgain()
    {
        auto holder = std::make_unique<QTcpServer>();
        QVERIFY(holder->listen(QHostAddress::LocalHost));
        const ListenAddress busy {QHostAddress(QHostAddress::LocalHost), holder->serverPort()};
        WebService web([] { return RelayReport(); });
        QVERIFY(web.Listen(busy, AllowList()));
        QCOMPARE(web.Port(), quint16(0));
        holder.reset();
        QTRY_COMPARE_WITH_TIMEOUT(web.Port(), busy.port, WebService::RetryMs * 3);

        holder = std::make_unique<QTcpServer>();
        QVERIFY(holder->listen(QHostAddress::LocalHost));
        const std::optional<QString> trouble
            = web.Listen(ListenAddress {QHostAddress(QHostAddress::LocalHost), holder->serverPort()}, AllowList());
        QVERIFY(trouble && trouble->contains(QStringLiteral("it stays on port %1").arg(busy.port)));
        QVERIFY(Fetch(busy.port, "GET", "/nothing").startsWith("HTTP/1.1 404 "));
        const quint16 moved = holder->serverPort();
        holder.reset();
        QTRY_COMPARE_WITH_TIMEOUT(web.Port(), moved, WebService::RetryMs * 3);
        QVERIFY(Fetch(busy.port, "GET", "/nothing").isEmpty());
    }

    // A value 25 s old looks old, dimmed and with its age; dates read as --status writes them; the feed of
    // chrony as --status tells it.
    void aStaleValueLooksOld()
    {
        if (!HasBrowser())
            QSKIP("no chromium here to show the page");
        const RelayReport report = ReportFrom({
            {QStringLiteral("version"), QStringLiteral("1.1.0")},
            {QStringLiteral("health"), QStringLiteral("degraded")},
            {QStringLiteral("mode"), QStringLiteral("server")},
            {QStringLiteral("running"), true},
            {QStringLiteral("since"), QStringLiteral("2026-12-09T00:12:31Z")},
            {QStringLiteral("lastValue"), QStringLiteral("12:00:26")},
            {QStringLiteral("lastValueAge"), 25.4},
            {QStringLiteral("status"), QStringLiteral("Error 5 reading COM3 !")},
            {QStringLiteral("faults"), 0},
            {QStringLiteral("ntp"),
             QJsonObject {{QStringLiteral("socket"), QStringLiteral("/run/chrony.horaline.sock")},
                          {QStringLiteral("sent"), 3},
                          {QStringLiteral("withheld"), QJsonObject {{QStringLiteral("far"), 2}}},
                          {QStringLiteral("lastOffset"), 0.0012}}},
        });
        WebService web([&report] { return report; });
        web.Listen(ListenAddress {QHostAddress(QHostAddress::LocalHost), FreePort()}, AllowList());
        const QByteArray page = PageAsShown(web.Port());
        QVERIFY2(page.contains("<div id=\"clock\" class=\"stale\">12:00:26</div>") && page.contains(">25 s ago<")
                     && page.contains("server, running since 2026-12-09 00:12:31")
                     && page.contains(
                         "3 sample(s) sent, withheld: 2 far; last sample: this computer's clock is 1.200 ms behind "
                         "the time code"),
                 page.constData());
    }

    // Each screen gets every relayed value once and in order, beside a client of the clock port; then the
    // silence; one screen more than [Web] Displays allows is refused with 503.
    void screensFollowTheClockBesideTheClients()
    {
        WatchedRelay watched(1, 231, FreePort(), 2);
        RelayUnderTest& relay = watched.Relay;
        WebService& web = watched.Web;
        QTcpSocket display;
        display.connectToHost(QHostAddress::LocalHost, relay.Port);
        QVERIFY(display.waitForConnected(5000));
        QTRY_COMPARE(relay.Controller.Clients.ClientList.size(), 1);
        std::array<QWebSocket, 2> screens;
        std::array<QStringList, 2> heard;
        for (size_t i = 0; i < screens.size(); ++i)
            watched.Follow(screens[i], heard[i]);
        QTRY_COMPARE(web.ScreenCount(), 2);
        QTcpSocket third;
        third.connectToHost(QHostAddress::LocalHost, web.Port());
        QVERIFY(third.waitForConnected(5000));
        third.write("GET /display/feed HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
        QVERIFY(ReadUntil(third, 12).startsWith("HTTP/1.1 503"));
        const QByteArray metrics = Body(Fetch(web.Port(), "GET", "/metrics"));
        QCOMPARE(MetricValue(metrics, QStringLiteral("horaline_displays")), 2.0);
        QCOMPARE(MetricValue(metrics, QStringLiteral("horaline_displays_refused_total")), 1.0);
        const QJsonObject told
            = QJsonDocument::fromJson(Body(Fetch(web.Port(), "GET", "/status.json")))[QStringLiteral("displays")]
                  .toObject();
        QCOMPARE(told, (QJsonObject {{"open", 2}, {"most", 2}, {"refused", 1}}));

        for (const char* code : {"111213", "111214", "111215"}) {
            QVERIFY(relay.Line.Write(QByteArray("\x02") + code));
            QCOMPARE(ReadUntil(display, 8), QByteArray(code).insert(4, ':').insert(2, ':'));
        }
        const auto times = [](const QStringList& messages) {
            QStringList shown;
            for (const QString& message : messages)
                shown.append(QJsonDocument::fromJson(message.toUtf8())[QStringLiteral("time")].toString());
            return shown;
        };
        for (const QStringList& messages : heard) {
            QTRY_COMPARE(times(messages).mid(1), (QStringList {"11:12:13", "11:12:14", "11:12:15"}));
            const QJsonObject value = QJsonDocument::fromJson(messages.at(1).toUtf8()).object();
            QCOMPARE(value[QStringLiteral("source")].toString(), QStringLiteral("primary"));
            QCOMPARE(value[QStringLiteral("health")].toString(), QStringLiteral("relaying"));
        }
        const QByteArray page = Fetch(web.Port(), "GET", "/display");
        QVERIFY(page.startsWith("HTTP/1.1 200 ") && page.contains("/display/feed"));
        QVERIFY(Fetch(web.Port(), "GET", "/").contains("href=\"/display\""));
        QVERIFY(Fetch(web.Port(), "GET", "/display/feed").startsWith("HTTP/1.1 426 "));
        QTRY_COMPARE_WITH_TIMEOUT(heard[0].size(), 5, 5000);
        QVERIFY(QJsonDocument::fromJson(heard[0].last().toUtf8())[QStringLiteral("time")].isNull());
    }

    // A client relay's screens show what its server sends.
    void aClientRelaysScreensShowWhatItsServerSends()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        WatchedRelay watched(0, 234, server.serverPort());
        WebService& web = watched.Web;
        QWebSocket screen;
        QStringList heard;
        watched.Follow(screen, heard);
        QTRY_COMPARE(web.ScreenCount(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 10000);
        QTcpSocket* relayLink = server.nextPendingConnection();
        relayLink->write("12:34:56");
        QTRY_VERIFY(!heard.isEmpty()
                    && QJsonDocument::fromJson(heard.last().toUtf8())[QStringLiteral("time")] == "12:34:56");
    }

    // A screen that reads nothing is let go once what waits for it passes the bound; the screen beside it
    // keeps every value, in order.
    void aScreenThatNeverReadsIsLetGo()
    {
        WatchedRelay watched(1, 232, FreePort());
        RelayUnderTest& relay = watched.Relay;
        WebService& web = watched.Web;
        QWebSocket reading;
        QStringList heard;
        watched.Follow(reading, heard);
        // Asks for the feed, then never reads: a small receive buffer fills at once.
        const int deaf = ::socket(AF_INET, SOCK_STREAM, 0);
        const int small = 4096;
        ::setsockopt(deaf, SOL_SOCKET, SO_RCVBUF, &small, sizeof(small));
        sockaddr_in to {};
        to.sin_family = AF_INET;
        to.sin_port = htons(web.Port());
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::connect(deaf, reinterpret_cast<const sockaddr*>(&to), sizeof(to)), 0);
        const QByteArray ask("GET /display/feed HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                             "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
        QCOMPARE(::write(deaf, ask.constData(), size_t(ask.size())), ssize_t(ask.size()));
        QTRY_COMPARE(web.ScreenCount(), 2);

        for (int second = 0; second < 900 && web.ScreenCount() == 2; ++second) {
            const QString time = QTime(0, 0).addSecs(second).toString(QStringLiteral("hh:mm:ss"));
            QVERIFY(relay.Line.Write("\x02" + QString(time).remove(QLatin1Char(':')).toLatin1()));
            QTest::qWait(2);
        }
        QCOMPARE(web.ScreenCount(), 1);
        // Every value the relay relayed (a busy machine may pass over a frame at the line), once and in order.
        const auto shown = [&heard] {
            QStringList times;
            for (const QString& message : heard) {
                const QJsonValue time = QJsonDocument::fromJson(message.toUtf8())[QStringLiteral("time")];
                if (time.isString())
                    times.append(time.toString());
            }
            return times;
        };
        const auto relayed = [&relay] {
            return relay.Controller.StatusReport().Counts[size_t(Counter::ValuesRelayed)];
        };
        QTRY_COMPARE_WITH_TIMEOUT(quint64(shown().size()), relayed(), 5000);
        QVERIFY(relayed() > 100);
        const QStringList times = shown();
        QVERIFY(std::is_sorted(times.begin(), times.end()));
        QCOMPARE(QSet<QString>(times.begin(), times.end()).size(), times.size());
        ::close(deaf);
    }

    // The studio clock shows the relayed time in a browser, and dims once no time comes.
    void theStudioClockShowsTheRelayedTime()
    {
        if (!HasBrowser())
            QSKIP("no chromium here to show the page");
        WatchedRelay watched(1, 233, FreePort());
        RelayUnderTest& relay = watched.Relay;
        WebService& web = watched.Web;
        // A value every half second while the browser starts and shows the page.
        QTimer line;
        int second = 0;
        connect(&line, &QTimer::timeout, this, [&relay, &second] {
            relay.Line.Write("\x02" + QTime(10, 11).addSecs(second++).toString(QStringLiteral("hhmmss")).toLatin1());
        });
        line.start(500);
        // The browser shows the page before its feed spoke now and then: it is asked again.
        const auto shown = [&web](const QString& path, const std::function<bool(const QByteArray&)>& ready) {
            QByteArray page;
            for (int attempt = 0; attempt < 4 && !ready(page); ++attempt)
                page = PageAsShown(web.Port(), path);
            return page;
        };
        const QByteArray live
            = shown(QStringLiteral("/display"), [](const QByteArray& page) { return page.contains(">10:11:"); });
        line.stop();
        QVERIFY2(live.contains(">10:11:") && !live.contains("<body class=\"dim"), live.constData());
        QTRY_VERIFY_WITH_TIMEOUT(web.Screens().Current().contains("\"time\":null"), 5000);
        const QByteArray dimmed = shown(QStringLiteral("/display?color=amber"),
                                        [](const QByteArray& page) { return page.contains("<body class=\"dim"); });
        QVERIFY2(dimmed.contains("<body class=\"dim") && dimmed.contains(">no time since "), dimmed.constData());
    }

    // Each metric reads its own figure: every counter given another value, each found where it belongs.
    void everyMetricReadsItsOwnFigure()
    {
        const QStringList counters {QStringLiteral("valuesRelayed"),  QStringLiteral("valuesNotATime"),
                                    QStringLiteral("lineLosses"),     QStringLiteral("serverLosses"),
                                    QStringLiteral("sourceSwitches"), QStringLiteral("clientsAdmitted"),
                                    QStringLiteral("clientsRefused"), QStringLiteral("reloadsRefused")};
        const QStringList metrics {
            QStringLiteral("horaline_values_relayed_total"),  QStringLiteral("horaline_values_not_a_time_total"),
            QStringLiteral("horaline_line_losses_total"),     QStringLiteral("horaline_server_losses_total"),
            QStringLiteral("horaline_source_switches_total"), QStringLiteral("horaline_clients_admitted_total"),
            QStringLiteral("horaline_clients_refused_total"), QStringLiteral("horaline_reloads_refused_total")};
        QJsonObject counted;
        for (qsizetype i = 0; i < counters.size(); ++i)
            counted.insert(counters[i], 11 * (i + 1));
        const QByteArray text = MetricsText(ReportFrom(
            {{QStringLiteral("counters"), counted},
             {QStringLiteral("faults"), 7},
             {QStringLiteral("health"), QStringLiteral("degraded")},
             {QStringLiteral("clients"), QJsonArray {QJsonObject(), QJsonObject()}},
             {QStringLiteral("lastValue"), QStringLiteral("12:00:00")},
             {QStringLiteral("lastValueAge"), 2.5},
             {QStringLiteral("standby"), QJsonObject {{QStringLiteral("inUse"), QStringLiteral("standby")}}}}));
        for (qsizetype i = 0; i < metrics.size(); ++i)
            QVERIFY2(MetricValue(text, metrics[i]) == 11 * (i + 1), qPrintable(metrics[i]));
        QCOMPARE(MetricValue(text, QStringLiteral("horaline_faults_total")), 7.0);
        QCOMPARE(MetricValue(text, QStringLiteral("horaline_health")), 1.0);
        QCOMPARE(MetricValue(text, QStringLiteral("horaline_clients")), 2.0);
        QCOMPARE(MetricValue(text, QStringLiteral("horaline_last_value_age_seconds")), 2.5);
        QCOMPARE(MetricValue(text, QStringLiteral("horaline_source_in_use{source=\"standby\"}")), 1.0);
        QCOMPARE(MetricValue(text, QStringLiteral("horaline_source_in_use{source=\"primary\"}")), 0.0);
    }

    // What --status reads from a running relay is the report it wrote, every field of every part.
    void theReportReadsBackAsWritten()
    {
        RelayReport report;
        report.Pid = 42;
        report.Version = QStringLiteral("1.1.0");
        report.Server = false;
        report.Running = true;
        report.Status = QStringLiteral("Standby clock2 in use !");
        report.Health = HealthState::Degraded;
        report.Line
            = PlaceReport::OfLine(QStringLiteral("COM4"), QStringLiteral("/dev/ttyUSB0"), QStringLiteral("9600"));
        report.Line.State = QStringLiteral("lost");
        report.Line.Fault = QStringLiteral("Error 5 writing COM4 !");
        report.Clients.push_back({QStringLiteral("10.0.0.7:40000"), QDateTime::fromSecsSinceEpoch(1, Qt::UTC)});
        report.Peer = PlaceReport::OfServer(QStringLiteral("clock1"), 6531);
        report.Peer->State = QStringLiteral("seeking");
        report.Peer->Fault = QStringLiteral("Connection refused");
        PlaceReport spare = PlaceReport::OfServer(QStringLiteral("clock2"), 6532);
        spare.Address = QStringLiteral("10.0.0.2:6532");
        spare.State = QStringLiteral("alive");
        report.Standby = StandbyReport {spare, 4, true, Source::Standby};
        report.Since = QDateTime::fromSecsSinceEpoch(100, Qt::UTC);
        report.LastValue = LastValueReport {QStringLiteral("12:00:00"), 0.5};
        report.Screens = ScreensReport {7, 100, 2};
        report.Faults = 3;
        report.LastFault = QStringLiteral("clock1 lost");
        report.LastFaultAt = QDateTime::fromSecsSinceEpoch(200, Qt::UTC);
        for (size_t i = 0; i < CounterCount; ++i)
            report.Counts[i] = 10 + i;
        const QJsonObject json = ReportJson(report);
        QCOMPARE(ReportJson(ReportFrom(json)), json);
        QCOMPARE(json[QStringLiteral("standby")][QStringLiteral("port")].toInt(), 6532);
        QCOMPARE(json[QStringLiteral("server")][QStringLiteral("fault")].toString(),
                 QStringLiteral("Connection refused"));
        QCOMPARE(json[QStringLiteral("displays")][QStringLiteral("refused")].toInt(), 2);
    }

    // A 200 KB request line is cut off unanswered, a peer that sends nothing is closed, one host takes
    // at most half the places: none holds the relay, its memory, or the port from others.
    void hostilePeersAreCutOff()
    {
        WebService web([] { return RelayReport(); });
        web.Listen(*ParseListenAddress(QStringLiteral("[::]:%1").arg(FreePort())), AllowList());
        QTcpSocket huge;
        huge.connectToHost(QHostAddress::LocalHost, web.Port());
        QVERIFY(huge.waitForConnected(5000));
        huge.write("GET /" + QByteArray(200 * 1024, 'a') + " HTTP/1.1\r\n\r\n");
        QByteArray answer;
        QTRY_VERIFY_WITH_TIMEOUT((answer += huge.readAll(), huge.state() == QAbstractSocket::UnconnectedState), 5000);
        QVERIFY(answer.isEmpty());

        QTcpSocket silent;
        silent.connectToHost(QHostAddress::LocalHost, web.Port());
        QVERIFY(silent.waitForConnected(5000));
        QTRY_COMPARE_WITH_TIMEOUT(silent.state(), QAbstractSocket::UnconnectedState, WebListener::LifetimeMs + 5000);
        // And the port still serves.
        QVERIFY(Fetch(web.Port(), "GET", "/nothing").startsWith("HTTP/1.1 404 "));

        // Eight places for one address, the ninth refused; a host elsewhere still served. The fetch's
        // connection is let go on the server's side first.
        QTest::qWait(500);
        std::vector<std::unique_ptr<QTcpSocket>> crowd;
        for (int i = 0; i < 9; ++i) {
            crowd.push_back(std::make_unique<QTcpSocket>());
            crowd.back()->connectToHost(QHostAddress::LocalHost, web.Port());
            QVERIFY(crowd.back()->waitForConnected(5000));
        }
        QTRY_COMPARE_WITH_TIMEOUT(crowd.back()->state(), QAbstractSocket::UnconnectedState, 2000);
        QTest::qWait(200);
        for (int i = 0; i < 8; ++i)
            QVERIFY(crowd[size_t(i)]->state() == QAbstractSocket::ConnectedState);
        QVERIFY(Fetch(web.Port(), "GET", "/nothing", QHostAddress(QHostAddress::LocalHostIPv6))
                    .startsWith("HTTP/1.1 404 "));
        crowd.clear();

        // Hosts the allow-list refuses hold no place: 127.0.0.2 and .3 fill none of the 16.
        web.Listen(*ParseListenAddress(QStringLiteral("127.0.0.1:%1").arg(web.Port())),
                   AllowList::Parse({QStringLiteral("127.0.0.1")}));
        for (const char* stranger : {"127.0.0.2", "127.0.0.3"}) {
            for (int i = 0; i < 8; ++i) {
                crowd.push_back(std::make_unique<QTcpSocket>());
                QVERIFY(crowd.back()->bind(QHostAddress(QLatin1String(stranger))));
                crowd.back()->connectToHost(QHostAddress::LocalHost, web.Port());
            }
        }
        QTRY_VERIFY_WITH_TIMEOUT(
            std::all_of(crowd.begin(), crowd.end(),
                        [](const auto& peer) { return peer->state() == QAbstractSocket::UnconnectedState; }),
            5000);
        QVERIFY(Fetch(web.Port(), "GET", "/nothing").startsWith("HTTP/1.1 404 "));
    }
};

HORALINE_GUILESS_TEST_MAIN(TestWeb)
#include "tst_web.moc"
