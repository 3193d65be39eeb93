#include "sources/OwnClockSource.h"
#include "support/RelayFixture.h"
#include "support/TestMain.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTime>

namespace {

const QByteArray Frame123456("\x02"
                             "123456\x03\x00\x00",
                             10);

} // namespace

class TestClockClient : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RelayUnderTest> Relay;
    QTcpServer Server;
    QString Status() const { return Relay->Status(); }

    // A client started against this test's server, which is not listening yet.
    void StartClient(const QString& serverName = QStringLiteral("127.0.0.1"))
    {
        Relay = std::make_unique<RelayUnderTest>(0, 201, FreePort());
        Relay->Config.ServerName = serverName;
        Relay->Start();
        QCOMPARE(Relay->Controller.RunFlag, 1);
        QCOMPARE(Status(), QStringLiteral("Connecting to Server ..."));
    }

    // The client's attempts come from its timer, so the wait keeps the event loop running.
    QTcpSocket* AcceptedPeer()
    {
        if (!Server.isListening() && !Server.listen(QHostAddress::LocalHost, Relay->Port))
            return nullptr;
        QElapsedTimer timer;
        timer.start();
        while (!Server.hasPendingConnections() && timer.elapsed() < 10000)
            QTest::qWait(20);
        return Server.nextPendingConnection();
    }

    // What the display line shows over a while, each server sending the time of now twice a second or
    // nothing.
    QList<QByteArray> Displayed(QTcpSocket* primary, QTcpSocket* standby, int ms)
    {
        QList<QByteArray> shown;
        QElapsedTimer timer;
        timer.start();
        for (qint64 next = 0; timer.elapsed() < ms;) {
            if (timer.elapsed() >= next) {
                for (QTcpSocket* server : {primary, standby}) {
                    if (server != nullptr)
                        server->write(TimeNow(QStringLiteral("hh:mm:ss")));
                }
                next += 500;
            }
            const QByteArray frame = Relay->Line.Read(10, 20);
            if (frame.size() == 10)
                shown.append(frame.mid(1, 6));
        }
        return shown;
    }

private slots:
    void init() { ForgetSettings(); }
    void cleanup()
    {
        Relay.reset();
        Server.close();
    }

    void connectsFromTheSecondTick()
    {
        StartClient();
        // The first tick only arms the timer.
        QTest::qWait(1300);
        QCOMPARE(Status(), QStringLiteral("Connecting to Server ..."));
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QStringLiteral("waiting Server 127.0.0.1 on port %1").arg(Relay->Port),
                                  3000);
        // A server that comes late is still found.
        QTest::qWait(1100);
        QVERIFY(AcceptedPeer() != nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QStringLiteral("Connected to Server"), 5000);
        QCOMPARE(Relay->Controller.ConnectTimerId(), 0);
        QVERIFY(Relay->Boxes.Boxes.isEmpty());
    }

    void clockTextsReachTheDisplayLine()
    {
        StartClient();
        QTcpSocket* server = AcceptedPeer();
        QVERIFY(server != nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QStringLiteral("Connected to Server"), 5000);
        server->write("12:34:56");
        QCOMPARE(Relay->Line.Read(10), Frame123456);
        QCOMPARE(Relay->Clock(), QStringLiteral("12:34:56"));
        QCOMPARE(Status(), QStringLiteral("COM201 is transmitting"));

        // A reload to another server leaves this one and displays the other's values.
        QTcpServer other;
        QVERIFY(other.listen(QHostAddress::LocalHost, 0));
        RelayConfig moved = Relay->Config;
        moved.ClientPort = other.serverPort();
        Relay->Controller.Reload(moved);
        QTRY_VERIFY_WITH_TIMEOUT(other.hasPendingConnections(), 5000);
        other.nextPendingConnection()->write("21:43:59");
        QCOMPARE(Relay->Line.Read(10),
                 QByteArray("\x02"
                            "214359\x03\x00\x00",
                            10));
        QTRY_COMPARE(server->state(), QAbstractSocket::UnconnectedState);
    }

    void onlyWholeMessagesReachTheDisplay()
    {
        StartClient();
        QTcpSocket* server = AcceptedPeer();
        QVERIFY(server != nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QStringLiteral("Connected to Server"), 5000);
        const auto frame = [](const char* digits) {
            return QByteArray("\x02") + digits + QByteArray("\x03\x00\x00", 3);
        };
        const auto deliver = [server](const QByteArray& bytes) {
            server->write(bytes);
            server->flush();
            QTest::qWait(50);
        };
        // Split, trickled a byte at a time, then after bytes that fit no message: joined again.
        deliver("12:3");
        deliver("4:56");
        for (char byte : QByteArray("12:34:57"))
            deliver(QByteArray(1, byte));
        deliver("\x01\x02xyz1");
        deliver("2:34:58");
        QCOMPARE(Relay->Line.Read(30), frame("123456") + frame("123457") + frame("123458"));
        // Several at once: only the newest counts, so the display never steps back.
        deliver("12:34:5912:35:0012:35:01");
        QCOMPARE(Relay->Line.Read(20, 500), frame("123501"));
        QTRY_COMPARE(Relay->Clock(), QStringLiteral("12:35:01"));
        // The server's last words are heard even when they come with a value.
        deliver("12:35:02Srv lost");
        QCOMPARE(Relay->Line.Read(20, 500), frame("123502"));
        QTRY_COMPARE(Status(), QStringLiteral("Server lost"));
        QCOMPARE(Relay->Clock(), QStringLiteral("Srv lost"));
    }

    void controlWordsAreNamed_data()
    {
        QTest::addColumn<QByteArray>("word");
        QTest::addColumn<QString>("status");
        QTest::newRow("rejected") << QByteArray("Rejected") << "Rejected by the Server";
        QTest::newRow("server lost") << QByteArray("Srv lost") << "Server lost";
    }

    void controlWordsAreNamed()
    {
        QFETCH(QByteArray, word);
        QFETCH(QString, status);
        StartClient();
        QTcpSocket* server = AcceptedPeer();
        QVERIFY(server != nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QStringLiteral("Connected to Server"), 5000);
        // The word comes in two pieces, its first behind a value.
        server->write("12:34:56" + word.left(3));
        server->flush();
        QCOMPARE(Relay->Line.Read(10), Frame123456);
        server->write(word.mid(3));
        server->disconnectFromHost();
        QTRY_COMPARE(Relay->Clock(), QString::fromLatin1(word));
        QCOMPARE(Status(), status);
        // A control word is no time for the display.
        QCOMPARE(Relay->Line.Read(1, 200), QByteArray());
        QCOMPARE(Relay->Controller.RunFlag, 1);
    }

    void aStandbyServerTakesOverAndHandsBack()
    {
        QTcpServer standbyServer;
        QVERIFY(standbyServer.listen(QHostAddress::Any, 0));
        // This machine's clock, whatever the kernel says of it, is synchronised here.
        ReadClockSyncWith([] { return ClockSync {0.001}; });
        {
            SettingsFile standby(QStringLiteral("Standby"));
            standby.Write(QStringLiteral("ServerName"), QStringLiteral("localhost"));
            standby.Write(QStringLiteral("ServerPort"), int(standbyServer.serverPort()));
            standby.Write(QStringLiteral("After"), 2);
            standby.Write(QStringLiteral("OwnClock"), 1);
        }
        StartClient();
        QTcpSocket* primary = AcceptedPeer();
        QTRY_VERIFY_WITH_TIMEOUT(standbyServer.hasPendingConnections(), 5000);
        QVERIFY(primary != nullptr);
        QTcpSocket* standby = standbyServer.nextPendingConnection();
        const RelayController& controller = Relay->Controller;
        QList<QByteArray> shown;

        // Both speak: the primary in use. It falls silent: the standby's values after After.
        shown += Displayed(primary, standby, 2000);
        QCOMPARE(StandbyField(controller, QStringLiteral("inUse")), QStringLiteral("primary"));
        shown += Displayed(nullptr, standby, 3500);
        QCOMPARE(StandbyField(controller, QStringLiteral("inUse")), QStringLiteral("standby"));
        QCOMPARE(Status(), QStringLiteral("Standby localhost in use !"));

        // The primary is back: the standby's still, as the primary is not yet steady (its 10 s are the
        // switch's test). The standby drops: the primary at once; the standby is sought again.
        shown += Displayed(primary, standby, 1500);
        QCOMPARE(StandbyField(controller, QStringLiteral("inUse")), QStringLiteral("standby"));
        QTest::ignoreMessage(QtWarningMsg, "standby localhost lost");
        standby->abort();
        QTRY_COMPARE_WITH_TIMEOUT(StandbyField(controller, QStringLiteral("inUse")), QStringLiteral("primary"), 3000);
        shown += Displayed(primary, nullptr, 1000);
        QCOMPARE(Status(), QStringLiteral("COM201 is transmitting"));
        QTRY_VERIFY_WITH_TIMEOUT(standbyServer.hasPendingConnections(), 5000);
        standby = standbyServer.nextPendingConnection();
        shown += Displayed(primary, standby, 1000);

        // The primary's connection drops: the standby at once, not After later.
        primary->abort();
        QTRY_COMPARE_WITH_TIMEOUT(StandbyField(controller, QStringLiteral("inUse")), QStringLiteral("standby"), 3000);
        shown += Displayed(nullptr, standby, 1000);
        // It comes back, and the standby dies before the primary is steady: the primary at once.
        primary = AcceptedPeer();
        QVERIFY(primary != nullptr);
        shown += Displayed(primary, standby, 2000);
        QTest::ignoreMessage(QtWarningMsg, "standby localhost lost");
        standby->abort();
        QTRY_COMPARE_WITH_TIMEOUT(StandbyField(controller, QStringLiteral("inUse")), QStringLiteral("primary"), 3000);
        const qsizetype before = shown.size();
        shown += Displayed(primary, nullptr, 1500);
        QVERIFY(shown.size() > before);

        // Nobody speaks: this computer's time, until the first value of a source.
        const QList<QByteArray> own = Displayed(nullptr, nullptr, 6000);
        QVERIFY(!own.isEmpty());
        QVERIFY(qAbs(QTime::fromString(QString::fromLatin1(own.last()), QStringLiteral("hhmmss"))
                         .secsTo(QTime::currentTime()))
                <= 1);
        QCOMPARE(Status(), QStringLiteral("No source: sending this computer's time !"));
        shown += own;
        shown += Displayed(primary, nullptr, 1500);
        QCOMPARE(StandbyField(controller, QStringLiteral("inUse")), QStringLiteral("primary"));
        // Through every switch each second reached the display once, in order.
        QVERIFY2(InOrder(shown), shown.join(' ').constData());
    }

    void anUnresolvableNameIsWaitedForQuietly()
    {
        StartClient(QStringLiteral("no-such-host.invalid"));
        const QString waiting = QStringLiteral("waiting Server no-such-host.invalid on port %1").arg(Relay->Port);
        QTRY_COMPARE_WITH_TIMEOUT(Status(), waiting, 4000);
        QTest::qWait(1200);
        QCOMPARE(Status(), waiting);
        QVERIFY(Relay->Boxes.Boxes.isEmpty());
        QCOMPARE(Relay->Controller.RunFlag, 1);
    }

    void stopWhileWaitingStartsOverUnarmed()
    {
        StartClient();
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QStringLiteral("waiting Server 127.0.0.1 on port %1").arg(Relay->Port),
                                  4000);
        Relay->Start();
        QCOMPARE(Status(), QStringLiteral("Client stopped !"));
        QCOMPARE(Relay->Controller.ConnectTimerId(), 0);
        QCOMPARE(Relay->Controller.SerialHandle(), -1);
        QTest::qWait(1200);
        QCOMPARE(Status(), QStringLiteral("Client stopped !"));
        Relay->Start();
        QCOMPARE(Status(), QStringLiteral("Connecting to Server ..."));
        QTest::qWait(1300);
        QCOMPARE(Status(), QStringLiteral("Connecting to Server ..."));
    }
};

HORALINE_GUILESS_TEST_MAIN(TestClockClient)
#include "tst_clockclient.moc"
