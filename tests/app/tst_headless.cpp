#include "relay/RelayLog.h"
#include "relay/RelayReport.h"
#include "relay/RelayView.h"
#include "service/Log.h"
#include "support/ProgramRun.h"
#include "support/RelayFixture.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A server relay left running on a line and a free port.
quint16 WriteServerSettings(const PtyPair& line)
{
    line.MapTo(240);
    const quint16 port = FreePort();
    SettingsFile file;
    file.Write(QStringLiteral("InComName"), QStringLiteral("COM240"));
    file.Write(QStringLiteral("InComSpeed"), QStringLiteral("9600"));
    file.Write(QStringLiteral("ServerPort"), int(port));
    file.Write(QStringLiteral("ProgMode"), 1);
    file.Write(QStringLiteral("ProgRun"), 1);
    return port;
}

// The program started on a server's settings, with a display connected and admitted.
quint16 StartServerWithDisplay(const PtyPair& line, QProcess& program, QTcpSocket& display)
{
    const quint16 port = WriteServerSettings(line);
    StartWithoutDisplay(program, {});
    program.waitForStarted(10000);
    ConnectWhenListening(display, port);
    QTest::qWait(200);
    return port;
}

// What a query printed, when it ended with the status expected (any, where that is -1); nothing otherwise.
QByteArray Ask(const QStringList& arguments, int expectedExit)
{
    QProcess query;
    StartWithoutDisplay(query, arguments);
    const bool ended = query.waitForFinished(10000);
    const QByteArray said = query.readAllStandardOutput() + query.readAllStandardError();
    if (ended && (expectedExit < 0 || query.exitCode() == expectedExit))
        return said;
    qWarning("exit status %d: %s", query.exitCode(), said.constData());
    return QByteArray();
}

// A pipe whose buffer is full, as when nobody reads a log.
bool FillPipe(int end)
{
    const int flags = ::fcntl(end, F_GETFL);
    ::fcntl(end, F_SETFL, flags | O_NONBLOCK);
    const QByteArray filler(4096, 'x');
    while (::write(end, filler.constData(), size_t(filler.size())) > 0) { }
    return errno == EAGAIN && ::fcntl(end, F_SETFL, flags) == 0;
}

} // namespace

class TestHeadless : public QObject
{
    Q_OBJECT

private slots:
    void init() { ForgetSettings(); }

    void answersWithoutADisplay()
    {
        // Qt's own options are no misuse, for the window nor for the relay it hands them to.
        QProcess placed;
        StartWithoutDisplay(placed,
                            {QStringLiteral("-qwindowgeometry"), QStringLiteral("+600+80"),
                             QStringLiteral("-qwindowtitle"), QStringLiteral("client"), QStringLiteral("--version")});
        QVERIFY(placed.waitForFinished(10000));
        QCOMPARE(placed.exitCode(), 0);
        QProcess version;
        StartWithoutDisplay(version, {QStringLiteral("--version")});
        QVERIFY(version.waitForFinished(10000));
        QCOMPARE(version.exitCode(), 0);
        QCOMPARE(version.readAllStandardOutput(), QByteArray("Horaline " HORALINE_VERSION "\n"));

        // The relay alone answers too, as an administrator calls it.
        QProcess relayVersion;
        relayVersion.start(QStringLiteral(HORALINE_RELAY_BINARY), {QStringLiteral("--version")});
        QVERIFY(relayVersion.waitForFinished(10000));
        QCOMPARE(relayVersion.exitCode(), 0);
        QCOMPARE(relayVersion.readAllStandardOutput(), QByteArray("horaline-relay " HORALINE_VERSION "\n"));

        QProcess wrong;
        StartWithoutDisplay(wrong, {QStringLiteral("--no-such-option")});
        QVERIFY(wrong.waitForFinished(10000));
        QCOMPARE(wrong.exitCode(), 2);
        QVERIFY(wrong.readAllStandardError().contains("Unknown option 'no-such-option'"));
        // Asked by a monitor, a wrong question is UNKNOWN, never CRITICAL.
        StartWithoutDisplay(wrong, {QStringLiteral("--status"), QStringLiteral("--json"), QStringLiteral("--bogus")});
        QVERIFY(wrong.waitForFinished(10000));
        QCOMPARE(wrong.exitCode(), 3);
    }

    void relaysLogsAndEndsInOrderOnSigterm_data()
    {
        QTest::addColumn<bool>("logUnread");
        QTest::newRow("log read") << false;
        // Every start logs at once, so the relay meets its full log before it serves anyone.
        QTest::newRow("log into a full pipe nobody reads") << true;
    }

    void relaysLogsAndEndsInOrderOnSigterm()
    {
        QFETCH(bool, logUnread);
        PtyPair line;
        const quint16 port = WriteServerSettings(line);
        int log[2] = {-1, -1};
        QVERIFY(::pipe2(log, O_CLOEXEC) == 0 && FillPipe(log[1]));
        QProcess program;
        if (logUnread)
            program.setChildProcessModifier([&log] { ::dup2(log[1], STDERR_FILENO); });
        StartWithoutDisplay(program, {});
        QVERIFY(program.waitForStarted(10000));

        QTcpSocket peer;
        ConnectWhenListening(peer, port);
        QCOMPARE(peer.state(), QAbstractSocket::ConnectedState);
        const quint16 peerPort = peer.localPort();
        QTest::qWait(200);
        QVERIFY(line.Write("\x02"
                           "101112"));
        QCOMPARE(ReadUntil(peer, 8), QByteArray("10:11:12"));

        ::kill(pid_t(program.processId()), SIGTERM);
        QCOMPARE(ReadUntil(peer, 8), QByteArray("Srv lost"));
        // It may have ended already, while the last words were read.
        QVERIFY(program.state() == QProcess::NotRunning || program.waitForFinished(20000));
        ::close(log[0]);
        ::close(log[1]);
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(SettingsFile().ReadInt(QStringLiteral("ProgRun"), -1), 1);
        if (logUnread)
            return;

        const QString text = QString::fromLocal8Bit(program.readAllStandardError());
        QVERIFY2(text.contains(QRegularExpression(
                     QStringLiteral(
                         "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} info horaline.relay: restart at launch - "
                         "server: COM240 = /dev/pts/\\d+ at 9600, listening on %1")
                         .arg(port))),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("horaline.net: client 127.0.0.1:%1 admitted").arg(peerPort)),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("horaline.relay: signal 15 received")), qPrintable(text));
        // One line per event, never one per value.
        QVERIFY2(!text.contains(QStringLiteral("10:11:12")), qPrintable(text));
    }

    void answersStatusQueriesAndRunsOnce()
    {
        PtyPair line;
        QProcess program;
        QTcpSocket peer;
        {
            // This computer's clock as the only spare, far from needed.
            SettingsFile spare(QStringLiteral("Standby"));
            spare.Write(QStringLiteral("OwnClock"), 1);
            spare.Write(QStringLiteral("After"), 60);
            // Synchronised or not, this machine's clock counts as synchronised here.
            SettingsFile(QStringLiteral("Source")).Write(QStringLiteral("MaxError"), 60);
        }
        // chrony's socket is not there: the relay feeds nothing, and the code written is far from now.
        QTemporaryDir chrony;
        const QString socket = chrony.filePath(QStringLiteral("refclock.sock"));
        {
            SettingsFile ntp(QStringLiteral("NTP"));
            ntp.Write(QStringLiteral("Socket"), socket);
            ntp.Write(QStringLiteral("TimeZone"), QStringLiteral("UTC"));
        }
        const quint16 port = StartServerWithDisplay(line, program, peer);
        QVERIFY(line.Write("\x02"
                           "101112"));
        QCOMPARE(ReadUntil(peer, 8), QByteArray("10:11:12"));
        const auto ask = Ask;

        const QJsonObject report
            = QJsonDocument::fromJson(ask({QStringLiteral("--status"), QStringLiteral("--json")}, 0)).object();
        const QJsonObject expectedLine {{QStringLiteral("name"), QStringLiteral("COM240")},
                                        {QStringLiteral("device"), QFileInfo(line.SlavePath).canonicalFilePath()},
                                        {QStringLiteral("speed"), QStringLiteral("9600")},
                                        {QStringLiteral("state"), QStringLiteral("open")}};
        QVERIFY2(report[QStringLiteral("pid")].toInteger() == program.processId()
                     && report[QStringLiteral("mode")] == QStringLiteral("server")
                     && report[QStringLiteral("running")] == true
                     && report[QStringLiteral("health")] == QStringLiteral("relaying")
                     && report[QStringLiteral("lastValue")] == QStringLiteral("10:11:12")
                     && report[QStringLiteral("lastValueAge")].toDouble(-1) >= 0
                     && report[QStringLiteral("lastValueAge")].toDouble() < 5
                     && report[QStringLiteral("line")].toObject() == expectedLine
                     && report[QStringLiteral("listening")] == port && report[QStringLiteral("server")].isNull()
                     && report[QStringLiteral("clients")][0][QStringLiteral("address")]
                         == QStringLiteral("127.0.0.1:%1").arg(peer.localPort())
                     && report[QStringLiteral("clients")].toArray().size() == 1
                     && report[QStringLiteral("version")] == QStringLiteral(HORALINE_VERSION)
                     && report[QStringLiteral("counters")][QStringLiteral("valuesRelayed")] == 1
                     && report[QStringLiteral("counters")][QStringLiteral("clientsAdmitted")] == 1
                     && report[QStringLiteral("counters")][QStringLiteral("valuesNotATime")] == 0,
                 QJsonDocument(report).toJson().constData());
        // A monitoring plugin's first line: the verdict, then the figures after a bar.
        const QString text = QString::fromLocal8Bit(ask({QStringLiteral("--status")}, 0));
        QVERIFY2(
            text.startsWith(QStringLiteral("OK - Horaline %1, pid ").arg(QStringLiteral(HORALINE_VERSION)))
                && text.section(QLatin1Char('\n'), 0, 0).contains(QStringLiteral(": relaying | age="))
                && text.section(QLatin1Char('\n'), 0, 0).contains(QStringLiteral(" clients=1;;;0;5 "))
                && text.section(QLatin1Char('\n'), 0, 0).contains(QStringLiteral(" valuesRelayed=1c"))
                && text.contains(QStringLiteral("last value:  10:11:12, "))
                && text.contains(QStringLiteral("\n  127.0.0.1:%1 since ").arg(peer.localPort()))
                && text.contains(
                    QStringLiteral("\nstandby:     no line or server, none; after 60 s, then this computer's clock\n"))
                && text.contains(QStringLiteral("\nlistening:   port %1\n").arg(port))
                && text.contains(QLatin1String("\nin use:      primary\n"))
                && text.contains(
                    QRegularExpression(QStringLiteral("\nclock:       synchronised, maximum error [0-9.e+-]+ s\n")))
                && text.contains(QStringLiteral("\nntp feed:    %1, 0 sample(s) sent, withheld: 1 far\n").arg(socket))
                && text.section(QLatin1Char('\n'), 0, 0)
                       .contains(QStringLiteral(" ntp_sent=0c ntp_backlog=0c "
                                                "ntp_no_time=0c ntp_far=1c ")),
            qPrintable(text));

        // A second one on the same settings leaves the first alone.
        QVERIFY2(ask({QStringLiteral("--headless")}, 1)
                     .contains(QStringLiteral("(pid %1): this one ends").arg(program.processId()).toLatin1()),
                 "no word of the one that runs");
        QCOMPARE(ReadUntil(peer, 1, 300), QByteArray());

        // A line gone and being retried is degraded, and the last fault is when it went, not when the run
        // began (a second after it, at the least); none running, nothing to ask.
        QTest::qWait(1000);
        line.CloseMaster();
        QString lost;
        QTRY_VERIFY_WITH_TIMEOUT(
            (lost = QString::fromLocal8Bit(ask({QStringLiteral("--status")}, 1)))
                .contains(QRegularExpression(QStringLiteral("\nline:        COM240 = .* at 9600, lost"))),
            10000);
        const QString since = lost.section(QStringLiteral("running since "), 1).left(19);
        const QDateTime faultAt
            = QDateTime::fromString(lost.section(QStringLiteral("since the start, the last at "), 1).left(19),
                                    QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        QVERIFY2(faultAt.isValid() && faultAt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) != since
                     && faultAt.secsTo(QDateTime::currentDateTime()) <= 10,
                 qPrintable(lost));
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        QVERIFY(ask({QStringLiteral("--status")}, 2)
                    .startsWith("CRITICAL - No Horaline runs on the settings " + SettingsPath().toLocal8Bit()));
        // The queries were no clients.
        QCOMPARE(QString::fromLocal8Bit(program.readAllStandardError()).count(QStringLiteral("admitted")), 1);
    }

    void sighupListensOnANewPortAndKeepsItsDisplay()
    {
        PtyPair line;
        QProcess program;
        QTcpSocket display;
        const quint16 port = StartServerWithDisplay(line, program, display);

        const quint16 newPort = FreePort();
        SettingsFile().Write(QStringLiteral("ServerPort"), int(newPort));
        ::kill(pid_t(program.processId()), SIGHUP);
        QTcpSocket newcomer;
        ConnectWhenListening(newcomer, newPort);
        QCOMPARE(newcomer.state(), QAbstractSocket::ConnectedState);
        QVERIFY(line.Write("\x02"
                           "141414"));
        // The newcomer's admission may come after the value, which every client is then sent once more.
        QCOMPARE(ReadUntil(display, 8).left(8), QByteArray("14:14:14"));
        QCOMPARE(ReadUntil(newcomer, 8).left(8), QByteArray("14:14:14"));
        QTcpSocket late;
        late.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(!late.waitForConnected(2000));

        // A web port that cannot listen yet is no reason to refuse the rest: it is counted and tried again.
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost));
        SettingsFile(QStringLiteral("Web"))
            .Write(QStringLiteral("Listen"), QStringLiteral("127.0.0.1:%1").arg(holder.serverPort()));
        ::kill(pid_t(program.processId()), SIGHUP);
        const auto refusals = [] {
            QProcess query;
            StartWithoutDisplay(query, {QStringLiteral("--status"), QStringLiteral("--json")});
            query.waitForFinished(10000);
            return QJsonDocument::fromJson(query.readAllStandardOutput())
                .object()[QStringLiteral("counters")][QStringLiteral("reloadsRefused")]
                .toInt();
        };
        QTRY_COMPARE_WITH_TIMEOUT(refusals(), 1, 10000);
        const quint16 webPort = holder.serverPort();
        holder.close();
        QTcpSocket browser;
        ConnectWhenListening(browser, webPort);
        QCOMPARE(browser.state(), QAbstractSocket::ConnectedState);
        // Where the web port listens, the status tells its screens.
        QProcess told;
        StartWithoutDisplay(told, {QStringLiteral("--status")});
        told.waitForFinished(10000);
        QVERIFY(told.readAllStandardOutput().contains("\nscreens:     0 of 100, 0 turned away\n"));

        // A storm of reloads, as fast as they can be sent for 2 s: at most one waits at a time, and the
        // relay relays and ends when asked.
        QElapsedTimer storm;
        storm.start();
        for (int sent = 0; storm.elapsed() < 2000; ++sent) {
            ::kill(pid_t(program.processId()), SIGHUP);
            if (sent % 1000 == 0)
                QCoreApplication::processEvents();
        }
        QVERIFY(line.Write("\x02"
                           "151515"));
        QByteArray shown;
        QElapsedTimer waited;
        waited.start();
        while (!shown.endsWith("15:15:15") && waited.elapsed() < 10000)
            shown += ReadUntil(display, 8, 500);
        QVERIFY2(shown.endsWith("15:15:15"), shown.constData());

        // [NTP] is read at a reload. chrony's socket is not there: ten codes it never took make a degraded
        // relay, with the reason, and the figures carry the feed.
        QTemporaryDir chrony;
        const QString socket = chrony.filePath(QStringLiteral("refclock.sock"));
        {
            SettingsFile ntp(QStringLiteral("NTP"));
            ntp.Write(QStringLiteral("Socket"), socket);
            ntp.Write(QStringLiteral("TimeZone"), QStringLiteral("UTC"));
        }
        ::kill(pid_t(program.processId()), SIGHUP);
        QTRY_VERIFY_WITH_TIMEOUT(Ask({QStringLiteral("--status")}, -1).contains("ntp feed:"), 10000);
        for (quint64 i = 0; i < StarvedRun; ++i) {
            QVERIFY(line.Write("\x02" + QDateTime::currentDateTimeUtc().toString(QStringLiteral("hhmmss")).toLatin1()));
            QTest::qWait(100);
        }
        QString starved;
        QTRY_VERIFY_WITH_TIMEOUT(!(starved = QString::fromLocal8Bit(Ask({QStringLiteral("--status")}, 1))).isEmpty(),
                                 5000);
        // Each code is one read here, unless the machine holds the relay back: then some wait as a backlog.
        QVERIFY2(starved.startsWith(QLatin1String("WARNING - "))
                     && starved.section(QLatin1Char('\n'), 0, 0).contains(QLatin1String(" ntp_sent=0c "))
                     && starved.contains(QStringLiteral("; not taken: No such file or directory\n"))
                     && starved.contains(QLatin1String("\nstanding:    chrony ")),
                 qPrintable(starved));
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        const QString text = QString::fromLocal8Bit(program.readAllStandardError());
        QVERIFY2(text.contains(QStringLiteral("settings read again: ServerPort %1 -> %2").arg(port).arg(newPort))
                     && text.contains(
                         QStringLiteral("settings read again: [Web] Listen (none) -> 127.0.0.1:%1").arg(webPort)),
                 qPrintable(text));
    }

    void tellsSystemdAndWritesForTheJournal()
    {
        QTemporaryDir folder;
        const QByteArray settings = "[Settaggi]\nProgRun=1\nProgMode=1\nInComName=COM240\nInComSpeed=9600\nServerPort="
            + QByteArray::number(FreePort()) + "\n[Ports]\nCOM240=/nonexistent/line\n";
        WriteSettingsText(settings);
        const QByteArray notifyPath = QFile::encodeName(folder.filePath(QStringLiteral("notify")));
        const int notify = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, notifyPath.constData(), sizeof address.sun_path - 1);
        QVERIFY(::bind(notify, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
        QFile log(folder.filePath(QStringLiteral("journal")));
        QVERIFY(log.open(QIODevice::ReadWrite));
        struct stat stream
        {
        };
        QVERIFY(::fstat(log.handle(), &stream) == 0);

        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
            environment.remove(QLatin1String(name));
        environment.insert(QStringLiteral("NOTIFY_SOCKET"), QFile::decodeName(notifyPath));
        environment.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("100000"));
        environment.insert(QStringLiteral("JOURNAL_STREAM"),
                           QStringLiteral("%1:%2").arg(stream.st_dev).arg(stream.st_ino));
        program.setProcessEnvironment(environment);
        const int logFd = log.handle();
        program.setChildProcessModifier([logFd] { ::dup2(logFd, STDERR_FILENO); });
        program.start(QStringLiteral(HORALINE_BINARY), {QStringLiteral("--headless")});
        QVERIFY(program.waitForStarted(10000));

        QByteArrayList said;
        const auto listen = [&said, notify](int ms) {
            QElapsedTimer waited;
            waited.start();
            while (waited.elapsed() < ms) {
                char datagram[512];
                const ssize_t size = ::recv(notify, datagram, sizeof datagram, 0);
                if (size > 0)
                    said.append(QByteArray(datagram, int(size)));
                else
                    QTest::qWait(10);
            }
        };
        listen(1500);
        // A reload of settings it cannot run on is refused, and the manager is told so.
        WriteSettingsText(QByteArray(settings).replace("9600", "9601"));
        ::kill(pid_t(program.processId()), SIGHUP);
        listen(500);
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        listen(100);
        QVERIFY2(said.contains("RELOADING=1")
                     && said.contains("STATUS=settings refused at reload (1 problem(s), see the log): the relay runs "
                                      "on as it was")
                     && said.contains("READY=1") && said.contains("STATUS=COM240 doesn't exist !")
                     && said.count("WATCHDOG=1") >= 3 && said.indexOf("STOPPING=1") > said.indexOf("READY=1"),
                 said.join(' ').constData());

        // Each line with its priority and no time of its own; Qt's own words never among them.
        log.seek(0);
        const QString text = QString::fromLocal8Bit(log.readAll());
        QVERIFY2(
            text.contains(QStringLiteral("<6>horaline.relay: Horaline " HORALINE_VERSION " starts without a window"))
                && text.contains(QStringLiteral("<4>horaline.serial: COM240 doesn't exist ! (/nonexistent/line): "
                                                "No such file or directory (errno 2) - trying COM240 again")),
            qPrintable(text));
        for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            QVERIFY2(line.contains(QRegularExpression(QStringLiteral("^<[3-6]>horaline\\.[a-z]+: "))),
                     qPrintable(line));

        // A manager that does not read, its queue soon full of a watchdog fed every millisecond: the relay
        // never waits for it, and ends when asked.
        QProcess stalled;
        environment.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("2000"));
        stalled.setProcessEnvironment(environment);
        WriteSettingsText(settings);
        stalled.start(QStringLiteral(HORALINE_BINARY), {QStringLiteral("--headless")});
        QVERIFY(stalled.waitForStarted(10000));
        // Asked to end only once it runs (a loaded machine may take its time to start), then left a while
        // with the queue filling.
        QByteArray started;
        QTRY_VERIFY_WITH_TIMEOUT((started += stalled.readAllStandardError()).contains("restart at launch"), 30000);
        QTest::qWait(1500);
        QVERIFY(stalled.state() == QProcess::Running);
        ::kill(pid_t(stalled.processId()), SIGTERM);
        QVERIFY(stalled.waitForFinished(10000));
        QCOMPARE(stalled.exitCode(), 0);
        ::close(notify);
    }

    void droppedLinesAreCountedAndSaid()
    {
        int log[2] = {-1, -1};
        QVERIFY(::pipe2(log, O_CLOEXEC) == 0 && FillPipe(log[1]));
        const int savedStderr = ::dup(STDERR_FILENO);
        ::dup2(log[1], STDERR_FILENO);
        const QtMessageHandler testHandler = qInstallMessageHandler(nullptr);
        InstallLogWriter();
        // None of these may wait for the pipe.
        for (int i = 0; i < 1000; ++i)
            qCWarning(lcRelay) << "line" << i;
        // Read now, until the log has had its say.
        QByteArray text;
        QElapsedTimer waited;
        QElapsedTimer quiet;
        waited.start();
        quiet.start();
        ::fcntl(log[0], F_SETFL, O_NONBLOCK);
        while (waited.elapsed() < 10000 && !(text.contains("dropped") && quiet.elapsed() > 300)) {
            char buffer[65536];
            const ssize_t count = ::read(log[0], buffer, sizeof buffer);
            if (count > 0) {
                text.append(buffer, count);
                quiet.start();
            } else {
                QTest::qWait(10);
            }
        }
        qInstallMessageHandler(testHandler);
        ::dup2(savedStderr, STDERR_FILENO);
        ::close(savedStderr);
        ::close(log[0]);
        ::close(log[1]);
        // Each line was either written or counted, and the counts were said.
        const QString said = QString::fromLatin1(text);
        qsizetype dropped = 0;
        for (const QRegularExpressionMatch& count :
             QRegularExpression(QStringLiteral("(\\d+) log lines dropped: the log took nothing for a while\n"))
                 .globalMatch(said))
            dropped += count.captured(1).toLongLong();
        const qsizetype written = said.count(QRegularExpression(QStringLiteral("horaline.relay: line \\d+\n")));
        QVERIFY2(dropped > 0 && written + dropped == 1000,
                 qPrintable(QStringLiteral("%1 + %2").arg(written).arg(dropped)));
    }

    void missingStandardDescriptorsAreNotTakenByOthers()
    {
        PtyPair line;
        WriteServerSettings(line);
        QProcess program;
        program.setChildProcessModifier([] {
            for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
                ::close(fd);
        });
        StartWithoutDisplay(program, {});
        QVERIFY(program.waitForStarted(10000));
        const QString stderrPath = QStringLiteral("/proc/%1/fd/2").arg(program.processId());
        QTRY_COMPARE_WITH_TIMEOUT(QFile::symLinkTarget(stderrPath), QStringLiteral("/dev/null"), 10000);
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
    }

    void unrunnableSettingsEndWithExitStatus78_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("said");
        const QByteArray line = "InComName=COM3\nInComSpeed=9600\n";
        QTest::newRow("no file") << QByteArray() << "Horaline.ini does not exist: write the settings there first";
        QTest::newRow("zeros") << QByteArray(4096, '\0') << "Horaline.ini was damaged and is kept as";
        QTest::newRow("nothing to run") << "[Settaggi]\nProgRun=0\n" + line
                                        << "[Settaggi] ProgRun=0: nothing to run; write ProgRun=1";
        QTest::newRow("no port") << QByteArray("[Settaggi]\nProgRun=1\nInComSpeed=9600\n")
                                 << "[Settaggi] InComName (not set) names no serial port: write the COM name";
        QTest::newRow("no device") << QByteArray("[Settaggi]\nProgRun=1\nInComName=COM200\nInComSpeed=9600\n")
                                   << "InComName=COM200 has no device: write one under [Ports], e.g. COM200=";
        QTest::newRow("unlisted speed") << QByteArray("[Settaggi]\nProgRun=1\nProgMode=0\nOutComName=COM3\n"
                                                      "OutComSpeed=115200\n")
                                        << "[Settaggi] OutComSpeed=115200 is no speed: write one of 300,";
        QTest::newRow("standby after 0")
            << "[Settaggi]\nProgRun=1\n" + line + "[Standby]\nAfter=0\n"
            << "[Standby] After=0 is no number of seconds from 1 to 60: write e.g. After=3";
        QTest::newRow("standby is the primary")
            << QByteArray("[Settaggi]\nProgRun=1\nProgMode=0\nServerName=clock1\nServerPort=6531\n"
                          "[Standby]\nServerName=CLOCK1\nServerPort=6531\n")
            << "[Standby] ServerName=CLOCK1 with ServerPort=6531 is the primary's own server: name another";
        // Every key given, so that nothing is added to the file: a regular file stands behind COM3.
        QTest::newRow("a line that is no serial port") << "[Ports]\nCOM3=" + QFile::encodeName(SettingsPath())
                + "\n\n[Settaggi]\nInComName=COM3\nInComSpeed=9600\nOutComName=COM4\nOutComSpeed=9600\n"
                  "ServerName=localhost\nServerPort="
                + QByteArray::number(FreePort()) + "\nProgMode=1\nProgRun=1\n"
                                                       << "is a file, no serial line";
        QTest::newRow("port no number") << "[Settaggi]\nProgRun=1\nServerPort=abc\n" + line
                                        << "[Settaggi] ServerPort=abc is no port number: write one from 1 to 60000";
    }

    void unrunnableSettingsEndWithExitStatus78()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QString, said);
        if (!settings.isEmpty())
            QVERIFY(WriteSettingsText(settings));
        QProcess program;
        StartWithoutDisplay(program, {});
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 78);
        const QString log = QString::fromLocal8Bit(program.readAllStandardError());
        QVERIFY2(log.contains(QStringLiteral("error horaline.settings: ") + SettingsPath()), qPrintable(log));
        QVERIFY2(log.contains(said), qPrintable(log));
        // The file stays as the operator wrote it; a damaged one only moves aside.
        QFile file(SettingsPath());
        const bool setAside = settings.contains('\0');
        QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), setAside ? QByteArray() : settings);
    }

    void aBoxIsLoggedAndAnsweredAtOnce()
    {
        QTcpServer squatter;
        QVERIFY(squatter.listen(QHostAddress::AnyIPv4, 0));
        RelayUnderTest settings(1, 241, squatter.serverPort());
        UnattendedView nobody(1);
        RelayController relay(&nobody);
        QTest::ignoreMessage(
            QtWarningMsg,
            QRegularExpression(QStringLiteral("^box Horaline error: Error <98> listening on port \\d+: .*in use")));
        relay.Start(settings.Config);
        // Answered by itself, the box held nothing up: the serial side runs and the port is tried again.
        QCOMPARE(relay.Status(), QStringLiteral("Started Server mode !"));
        QCOMPARE(relay.RunFlag, 1);
        relay.Stop();
    }
};

HORALINE_TEST_MAIN(TestHeadless)
#include "tst_headless.moc"
