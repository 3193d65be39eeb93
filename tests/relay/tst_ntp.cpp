#include "outputs/ChronyFeed.h"
#include "outputs/TimeCodeInstant.h"
#include "relay/LogThrottle.h"
#include "service/WebMetrics.h"
#include "sources/OwnClockSource.h"
#include "support/RelayFixture.h"
#include "support/TestMain.h"

#include <QDateTime>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using namespace std::chrono;

WallTime Utc(const char* isoTime)
{
    return WallTime(milliseconds(QDateTime::fromString(QLatin1String(isoTime), Qt::ISODate).toMSecsSinceEpoch()));
}

// The instant a code names near a moment, as the ISO text of its UTC time; "none" where there is none.
QString Instant(const char* code, const char* zone, const char* nearUtc)
{
    const CodeInstant instant = InstantOfCode(*SecondOfDay(code), QTimeZone(zone), Utc(nearUtc));
    if (instant.Result != CodeInstant::Kind::Found)
        return QStringLiteral("none");
    return QDateTime::fromMSecsSinceEpoch(duration_cast<milliseconds>(instant.At.time_since_epoch()).count(), Qt::UTC)
        .toString(Qt::ISODate);
}

// chrony's side of its SOCK reference clock: a datagram socket bound where [NTP] Socket names.
struct RefclockSocket
{
    explicit RefclockSocket(const QString& path)
    {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof(address.sun_path));
        Descriptor = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (::bind(Descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
            qWarning("cannot bind %s", qPrintable(path));
    }
    ~RefclockSocket() { ::close(Descriptor); }

    // The next datagram, if one comes within a second; the relay's events go on meanwhile.
    QByteArray Next()
    {
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents();
            pollfd waiting {Descriptor, POLLIN, 0};
            if (::poll(&waiting, 1, 50) == 1) {
                QByteArray datagram(64, '\0');
                datagram.resize(::recv(Descriptor, datagram.data(), size_t(datagram.size()), 0));
                return datagram;
            }
        }
        return {};
    }

    int Descriptor = -1;
};

// The frame of a time code of this second in UTC, moved by the seconds given.
QByteArray CodeOfNow(int secondsAhead = 0)
{
    return "\x02" + QDateTime::currentDateTimeUtc().addSecs(secondsAhead).toString(QStringLiteral("hhmmss")).toLatin1();
}

// chrony's struct sock_sample, as it reads one.
struct SockSample
{
    timeval time;
    double offset;
    int pulse, leap, pad, magic;
};

SockSample Decoded(const QByteArray& datagram)
{
    SockSample sample {};
    std::memcpy(&sample, datagram.constData(), std::min(sizeof(sample), size_t(datagram.size())));
    return sample;
}

void WriteNtp(const QString& socket)
{
    SettingsFile ntp(QStringLiteral("NTP"));
    ntp.Write(QStringLiteral("Socket"), socket);
    ntp.Write(QStringLiteral("TimeZone"), QStringLiteral("UTC"));
}

} // namespace

class TestNtp : public QObject
{
    Q_OBJECT

private slots:
    void init() { ForgetSettings(); }
    void cleanup() { ReadClockSyncWith({}); }

    // A code names a time of day: the date that puts it nearest this computer's clock, either reading
    // of an hour that repeats, none in an hour that is skipped; and what it took to come down the line.
    void codesBecomeInstants()
    {
        QCOMPARE(Instant("130000", "Europe/Rome", "2026-03-10T12:00:00.400Z"), QStringLiteral("2026-03-10T12:00:00Z"));
        // Midnight both ways: the code a second past it is tomorrow's, the one a second before is yesterday's.
        QCOMPARE(Instant("000001", "UTC", "2026-03-10T23:59:59Z"), QStringLiteral("2026-03-11T00:00:01Z"));
        QCOMPARE(Instant("235959", "UTC", "2026-03-11T00:00:01Z"), QStringLiteral("2026-03-10T23:59:59Z"));
        // 02:30 comes twice in Rome on 25 October 2026: at 00:30 and at 01:30 UTC.
        QCOMPARE(Instant("023000", "Europe/Rome", "2026-10-25T00:30:01Z"), QStringLiteral("2026-10-25T00:30:00Z"));
        QCOMPARE(Instant("023000", "Europe/Rome", "2026-10-25T01:30:01Z"), QStringLiteral("2026-10-25T01:30:00Z"));
        // and never on 29 March 2026.
        QCOMPARE(Instant("023000", "Europe/Rome", "2026-03-29T01:00:00Z"), QStringLiteral("none"));
        QVERIFY(!SecondOfDay("235960"));

        QCOMPARE(qRound(FrameSeconds(9600) * 1e5), 729);
        QCOMPARE(qRound(FrameSeconds(38400) * 1e5), 182);
        QCOMPARE(FrameSeconds(9600, 7, true, 2), 7.0 * 11 / 9600);

        QCOMPARE(LargestOffsetS, 2.0);
        QVERIFY(FarOffsetText(3601.3).endsWith(QLatin1String("time zone or summer time of the time code and of "
                                                             "this computer differ")));
        QVERIFY(FarOffsetText(-1800.5).contains(QLatin1String("1800.5 s behind")));
        QVERIFY(!FarOffsetText(42.0).contains(QLatin1String("time zone")));

        AgreementRun run;
        for (int i = 0; i < 9; ++i)
            run.Add(3600.0 + i * 0.002);
        QCOMPARE(run.Add(3600.02), 10);
        QCOMPARE(run.Add(3601.0), 1);
    }

    // Each code of the line in use is one sample at chrony's socket, stamped when it was read; a code far
    // from this computer's clock or no time is withheld, a socket gone is said, and every view tells it.
    void theLineFeedsChrony()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("refclock.sock"));
        auto chrony = std::make_unique<RefclockSocket>(path);
        WriteNtp(path);
        RelayUnderTest relay(1, 240, FreePort());
        relay.Start();
        QCOMPARE(relay.Controller.RunFlag, 1);

        const QDateTime now = QDateTime::currentDateTimeUtc();
        QVERIFY(relay.Line.Write("\x02" + now.toString(QStringLiteral("hhmmss")).toLatin1()));
        const QByteArray datagram = chrony->Next();
        QCOMPARE(datagram.size(), 40);
        const SockSample sample = Decoded(datagram);
        QCOMPARE(sample.magic, 0x534f434b);
        QCOMPARE(sample.pulse, 0);
        QCOMPARE(sample.leap, 0);
        const qint64 readAt = qint64(sample.time.tv_sec) * 1000 + sample.time.tv_usec / 1000;
        QVERIFY(readAt >= now.toMSecsSinceEpoch() - 1 && readAt <= QDateTime::currentMSecsSinceEpoch());
        // The code names the start of its second, and its last byte came 7.29 ms after the frame began.
        const double offset = double(now.toSecsSinceEpoch()) - (sample.time.tv_sec + sample.time.tv_usec / 1e6);
        QVERIFY2(std::fabs(sample.offset - (offset + FrameSeconds(9600))) < 0.001,
                 qPrintable(QString::number(sample.offset)));

        // An hour off, no time, a code that waited: nothing goes, each counted, the hour said as a zone's.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("time zone or summer time")));
        const auto withheld = [&relay](Withheld why) {
            return relay.Controller.StatusReport().Feed->Withheld[size_t(why)];
        };
        QVERIFY(relay.Line.Write(CodeOfNow(3600)));
        QTRY_COMPARE(withheld(Withheld::Far), quint64(1));
        QVERIFY(relay.Line.Write(QByteArray("\x02") + "256000"));
        QTRY_COMPARE(withheld(Withheld::NoTime), quint64(1));
        // Two codes read at once: the reader was not waiting, and neither came when it was read. A code
        // with its terminator in the same read did.
        QVERIFY(relay.Line.Write(CodeOfNow() + CodeOfNow()));
        QTRY_COMPARE(withheld(Withheld::Backlog), quint64(2));
        QVERIFY(chrony->Next().isEmpty());
        QVERIFY(relay.Line.Write(CodeOfNow() + "\r\n"));
        const QByteArray last = chrony->Next();
        QCOMPARE(last.size(), 40);

        // chrony gone: what the socket says is told once, and nothing waits for it.
        chrony.reset();
        QFile::remove(path);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^chrony is not fed at .*: No such file")));
        QVERIFY(relay.Line.Write(CodeOfNow()));
        QTRY_COMPARE(withheld(Withheld::Unsent), quint64(1));
        QVERIFY(relay.Line.Write(CodeOfNow()));
        QTRY_COMPARE(withheld(Withheld::Unsent), quint64(2));

        // A socket that takes nothing stands beside whatever the status line says, until it takes again.
        const QString unsent = QStringLiteral("chrony is not fed at %1: No such file or directory").arg(path);
        QCOMPARE(relay.Controller.StandingNow().Faults, QStringList {unsent});
        QCOMPARE(relay.Controller.StandingNow().Headline, relay.Status().trimmed() + QStringLiteral(" - ") + unsent);

        // Counts run from the relay's start: a reload that sets the feed up anew goes on from them.
        RelayConfig rezoned = relay.Config;
        rezoned.Ntp.TimeZone = QStringLiteral("Europe/Rome");
        relay.Controller.Reload(rezoned);
        const RelayReport report = relay.Controller.StatusReport();
        QCOMPARE(report.Feed->Sent, quint64(2));
        QCOMPARE(report.Feed->Withheld[size_t(Withheld::Backlog)], quint64(2));
        const QJsonObject json = ReportJson(report);
        QCOMPARE(json[QStringLiteral("ntp")][QStringLiteral("socket")].toString(), path);
        QCOMPARE(ReportJson(ReportFrom(json)), json);
        const QByteArray metrics = MetricsText(report);
        QVERIFY(metrics.contains("\nhoraline_ntp_samples_total 2\n"));
        QVERIFY(metrics.contains("\nhoraline_ntp_samples_withheld_total{reason=\"far\"} 1\n"));
        QVERIFY(metrics.contains(QByteArray("\nhoraline_ntp_last_offset_seconds ")
                                 + QByteArray::number(Decoded(last).offset, 'g', 15)));
    }

    // A code is one sample of the moment its last byte came: the bytes read after it took their time on
    // the line before the read returned. Spaces a display shows as zeros are no time to feed.
    void aCodeIsASampleOfTheMomentItCame()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("refclock.sock"));
        RefclockSocket chrony(path);
        struct Unheard final : OutputListener
        {
            void OnOutputStatus(const QString&) override { }
            void OnOutputFault(const QString&) override { }
            void OnOutputEvent(OutputEvent) override { }
            int OnOutputBox(const QString&, const QString&, unsigned) override { return 0; }
            bool OnOutputLogAllows(const QLoggingCategory&, const QString&, const QString&) override { return true; }
            void OnOutputSaid(QtMsgType, const QString&) override { }
            void OnClientsAllowed(const ClientsAllowed&) override { }
        } unheard;
        ChronyFeed feed(unheard, FeedPlan {path, QStringLiteral("UTC"), false, QString(), {9600, 0}});
        const auto put = [&feed](const QByteArray& code, const char* readAt, bool last = true, int trailing = 0) {
            feed.Put({SampleOf(code, SourceKind::Line, 0, Utc(readAt), last, trailing)});
        };
        put("120000", "2026-03-10T12:00:00.250Z", true, 2);
        const SockSample sample = Decoded(chrony.Next());
        const double cameAtS = 0.25 - CharactersSeconds(2, 9600);
        const qint64 cameAtUs
            = (Utc("2026-03-10T12:00:00Z").time_since_epoch() / microseconds(1)) + qRound(cameAtS * 1e6);
        QVERIFY2(std::llabs(qint64(sample.time.tv_sec) * 1000000 + sample.time.tv_usec - cameAtUs) <= 1,
                 qPrintable(QString::number(sample.time.tv_usec)));
        QVERIFY2(std::fabs(sample.offset - (-cameAtS + FrameSeconds(9600))) < 1e-6,
                 qPrintable(QString::number(sample.offset, 'g', 9)));

        put("  0000", "2026-03-10T00:00:00.250Z");
        put("120001", "2026-03-10T12:00:01.250Z", false);
        QCOMPARE(feed.Report().Withheld[size_t(Withheld::NoTime)], quint64(1));
        QCOMPARE(feed.Report().Withheld[size_t(Withheld::Backlog)], quint64(1));
        QCOMPARE(feed.Report().Sent, quint64(1));
    }

    // Where the master clock is the only truth, a code an hour off is sent once ten in a row agree.
    void anAuthoritativeClockIsFedOnceItAgrees()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("refclock.sock"));
        RefclockSocket chrony(path);
        WriteNtp(path);
        SettingsFile(QStringLiteral("NTP")).Write(QStringLiteral("Authoritative"), 1);
        RelayUnderTest relay(1, 246, FreePort());
        relay.Start();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("time zone or summer time")));
        // One code over and over: codes of now, written at whatever moment of their second, would not agree.
        const QByteArray code = CodeOfNow(3600);
        for (quint64 i = 1; i < 10; ++i) {
            QVERIFY(relay.Line.Write(code));
            QTRY_COMPARE(relay.Controller.StatusReport().Feed->Withheld[size_t(Withheld::Far)], i);
        }
        QTest::ignoreMessage(
            QtWarningMsg,
            QRegularExpression(QStringLiteral("^chrony is fed time codes 3[56]\\d\\d\\.\\d s ahead of "
                                              "this computer's clock, as \\[NTP\\] Authoritative=1 asks$")));
        QVERIFY(relay.Line.Write(code));
        const SockSample sample = Decoded(chrony.Next());
        // An hour ahead, less the part of its second gone and the time the ten writes took.
        QVERIFY2(sample.offset > 3590 && sample.offset < 3600.01, qPrintable(QString::number(sample.offset)));
        // Fed as asked, but no longer what this computer's clock says: degraded while it lasts, and said.
        const RelayReport report = relay.Controller.StatusReport();
        QCOMPARE(report.Health, HealthState::Degraded);
        const QString headline = StandingOf(report).Headline;
        QVERIFY2(headline.contains(QLatin1String(" - chrony is fed time codes 3")), qPrintable(headline));
    }

    // A client's values may be this computer's own time come back: NTP is never fed from them.
    void aClientFeedsNoChrony()
    {
        WriteNtp(QStringLiteral("/run/chrony.horaline.sock"));
        RelayUnderTest relay(0, 241, FreePort());
        relay.Start();
        QCOMPARE(relay.Controller.RunFlag, 0);
        QCOMPARE(relay.Boxes.Boxes.size(), 1);
        QVERIFY(relay.Boxes.Boxes[0].text.contains(QLatin1String("NTP would be fed its own time")));
    }

    // This computer's clock as the primary: each second once to a server's clients, with no input line, and
    // to a client's display line, with no server; whether the kernel keeps it is told at each change and
    // makes the relay degraded, never silent; a standby beside it is refused.
    void thisComputersClockDrivesDisplays()
    {
        double maxErrorS = 16;
        ReadClockSyncWith([&maxErrorS] { return ClockSync {maxErrorS}; });
        SettingsFile(QStringLiteral("Source")).Write(QStringLiteral("Primary"), QStringLiteral("clock"));
        // Its line names no device: it would fail to open, were it opened.
        RelayUnderTest server(1, 243, FreePort(), 0, QStringLiteral("/dev/nonexistent-line"));
        QTest::ignoreMessage(
            QtInfoMsg,
            qPrintable(QStringLiteral("START - server: this computer's clock, listening on %1").arg(server.Port)));
        QTest::ignoreMessage(QtWarningMsg, "this computer's clock is not synchronised (maximum error 16 s)");
        server.Start();
        QCOMPARE(server.Controller.RunFlag, 1);
        QCOMPARE(server.Status(), QStringLiteral("this computer's clock is not synchronised (maximum error 16 s)"));
        QTcpSocket display;
        display.connectToHost(QHostAddress::LocalHost, server.Port);
        const QByteArray two = ReadUntil(display, 16, 3000);
        QCOMPARE(two.size(), 16);
        QVERIFY2(InOrder({two.left(8), two.mid(8)}), two.constData());
        const int behind
            = (QTime::currentTime().msecsSinceStartOfDay() / 1000 - *SecondOfDay(two.mid(8)) + 86400) % 86400;
        QVERIFY2(behind <= 1, two.constData());
        // The status line says who connected; that the clock is not synchronised stands beside it.
        QCOMPARE(server.Controller.StandingNow().Headline,
                 server.Status().trimmed()
                     + QStringLiteral(" - this computer's clock is not synchronised (maximum error 16 s)"));
        const RelayReport off = server.Controller.StatusReport();
        QVERIFY(off.Clock && !off.Clock->Synchronised && off.Clock->MaxErrorS == 16);
        QCOMPARE(off.Health, HealthState::Degraded);
        QCOMPARE(off.Faults, 1);

        maxErrorS = 0.004;
        QTRY_COMPARE(server.Status(),
                     QStringLiteral("this computer's clock is synchronised again (maximum error 0.004 s)"));
        const RelayReport on = server.Controller.StatusReport();
        QCOMPARE(on.Health, HealthState::Relaying);
        QVERIFY(MetricsText(on).contains("\nhoraline_clock_synchronised 1\n"));
        server.Start();

        // A maximum error of exactly MaxError is not under it.
        maxErrorS = 0.5;
        RelayUnderTest client(0, 244, FreePort());
        QTest::ignoreMessage(QtInfoMsg,
                             QRegularExpression(QStringLiteral("^START - client: this computer's clock, COM244 = ")));
        QTest::ignoreMessage(QtWarningMsg, "this computer's clock is not synchronised (maximum error 0.5 s)");
        client.Start();
        QCOMPARE(client.Controller.RunFlag, 1);
        // Its server is nowhere: its display runs on this computer's clock alone.
        const QByteArray frame = client.Line.Read(10, 3000);
        QVERIFY2(frame.size() == 10 && frame[0] == '\x02' && frame[7] == '\x03' && SecondOfDay(frame.mid(1, 6)),
                 frame.toHex().constData());
        QCOMPARE(client.Controller.StatusReport().Health, HealthState::Degraded);
        client.Start();

        SettingsFile(QStringLiteral("Standby")).Write(QStringLiteral("OwnClock"), 1);
        RelayUnderTest spare(1, 245, FreePort());
        spare.Start();
        QCOMPARE(spare.Controller.RunFlag, 0);
        QVERIFY(spare.Boxes.Texts().join(' ').contains(QLatin1String("a standby would stand in for nothing")));
    }

    // This computer's clock never sends a second twice or one behind: stepped back, it is waited out until
    // it passes the last second sent; stepped back further than a source set back is waited for, it is
    // followed at once.
    void aClockSteppedBackIsWaitedOut()
    {
        ClockSeconds seconds(std::chrono::seconds(10));
        QStringList sent;
        for (const char* at :
             {"12:00:00.002", "12:00:01.002", "12:00:02.002", "12:00:01.802", "12:00:02.002", "12:00:03.002",
              "12:00:02.002", "12:00:03.002", "12:00:04.002", "12:00:30.002", "12:00:05.002"}) {
            const ClockSeconds::Turn turn
                = seconds.Take(Utc(qPrintable(QStringLiteral("2026-03-10T%1Z").arg(QLatin1String(at)))));
            sent.append(turn.Send ? QDateTime::fromSecsSinceEpoch(turn.Send->time_since_epoch().count(), Qt::UTC)
                                        .toString(QStringLiteral("hhmmss"))
                                  : QStringLiteral("-"));
            if (turn.SteppedBack.count() != 0)
                sent.last() += QStringLiteral(" back %1").arg(turn.SteppedBack.count());
        }
        QCOMPARE(sent.join(' '), QStringLiteral("120000 120001 120002 - - 120003 - - 120004 120030 120005 back 25"));
    }

    // A reload between the line and this computer's clock is a change of source: the displays stay and
    // get the new source's values; a new MaxError judges the running clock. A clock whose error wavers
    // about MaxError is told on the status line at each change, in the log only as the throttle allows.
    void aReloadChangesTheSourceUnderItsDisplays()
    {
        static int clockLines = 0;
        static QtMessageHandler before = nullptr;
        before = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (text.startsWith(QLatin1String("this computer's clock is")))
                ++clockLines;
            before(type, context, text);
        });
        int asked = 0;
        ReadClockSyncWith([&asked] { return ClockSync {++asked % 2 == 0 ? 0.4 : 0.6}; });
        RelayUnderTest relay(1, 247, FreePort(), 1);
        QTcpSocket display;
        display.connectToHost(QHostAddress::LocalHost, relay.Port);
        QTRY_COMPARE(relay.Controller.Clients.ClientList.size(), 1);
        QVERIFY(relay.Line.Write("\x02"
                                 "101010"));
        QByteArray seen = ReadUntil(display, 8);
        QCOMPARE(seen, QByteArray("10:10:10"));

        int changes = 0;
        QObject::connect(&relay.Controller, &RelayController::StatusChanged, &relay.Controller,
                         [&changes](const QString& text) { changes += text.startsWith(QLatin1String("this")); });
        SettingsFile source(QStringLiteral("Source"));
        source.Write(QStringLiteral("Primary"), QStringLiteral("clock"));
        relay.Controller.Reload(LoadRelaySettings({}).config);
        QTRY_VERIFY_WITH_TIMEOUT(changes >= 7, 10000);
        seen += ReadUntil(display, seen.size() + 8);
        QVERIFY2(seen.size() >= 48 && seen.size() % 8 == 0 && !seen.contains("Srv lost"), seen.constData());
        QVERIFY2(clockLines <= LogThrottle::Burst, qPrintable(QString::number(clockLines)));
        qInstallMessageHandler(before);

        ReadClockSyncWith([] { return ClockSync {0.6}; });
        source.Write(QStringLiteral("MaxError"), QStringLiteral("0.7"));
        relay.Controller.Reload(LoadRelaySettings({}).config);
        QTRY_VERIFY(relay.Controller.StatusReport().Clock->Synchronised);

        source.Write(QStringLiteral("Primary"), QStringLiteral("line"));
        relay.Controller.Reload(LoadRelaySettings({}).config);
        QVERIFY(!relay.Controller.StatusReport().Clock);
        QVERIFY(relay.Line.Write("\x02"
                                 "101011"));
        QTRY_VERIFY((seen += display.readAll()).endsWith("10:10:11"));
        QCOMPARE(relay.Controller.Clients.ClientList.size(), 1);
        QVERIFY(!seen.contains("Srv lost"));
    }

    // chrony itself (it never sets the clock with -x, and listens on no NTP port) takes the samples.
    void chronyTakesTheSamples()
    {
        const QString chronyd = QStandardPaths::findExecutable(QStringLiteral("chronyd"), {"/usr/sbin", "/sbin"});
        if (chronyd.isEmpty() || ::geteuid() != 0)
            QSKIP("chronyd is not installed here, or cannot run as this user");
        QTemporaryDir folder;
        QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString path = folder.filePath(QStringLiteral("refclock.sock"));
        const QString command = folder.filePath(QStringLiteral("chronyd.sock"));
        QFile conf(folder.filePath(QStringLiteral("chrony.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("refclock SOCK %1 refid HORA poll 0\npidfile %2\nbindcmdaddress %3\ncmdport 0\n"
                                  "port 0\n")
                       .arg(path, folder.filePath(QStringLiteral("chronyd.pid")), command)
                       .toUtf8());
        conf.close();
        QProcess daemon;
        daemon.start(chronyd, {"-x", "-d", "-u", "root", "-f", conf.fileName()});
        QVERIFY(daemon.waitForStarted());
        QTRY_VERIFY(QFileInfo::exists(path));

        WriteNtp(path);
        RelayUnderTest relay(1, 242, FreePort());
        relay.Start();
        QString sources;
        for (int i = 0; i < 8 && !sources.startsWith(QLatin1String("#,")); ++i) {
            QVERIFY(relay.Line.Write(CodeOfNow()));
            QTest::qWait(1000);
            QProcess chronyc;
            chronyc.start(QStringLiteral("chronyc"), {"-h", command, "-n", "-c", "sources"});
            chronyc.waitForFinished();
            sources = QString::fromUtf8(chronyc.readAllStandardOutput()).trimmed();
            // Reach, an octal register of the last polls, is 0 until a sample is in.
            if (sources.section(QLatin1Char(','), 5, 5) == QLatin1String("0"))
                sources.clear();
        }
        daemon.terminate();
        daemon.waitForFinished();
        QVERIFY2(sources.startsWith(QLatin1String("#,")) && sources.section(QLatin1Char(','), 2, 2) == "HORA",
                 qPrintable(sources));
        QVERIFY(relay.Controller.StatusReport().Feed->Sent > 0);
    }
};

HORALINE_GUILESS_TEST_MAIN(TestNtp)
#include "tst_ntp.moc"
