#include "support/RelayFixture.h"
#include "support/TestMain.h"

#include <QJsonObject>
#include <QLabel>
#include <QTcpServer>
#include <QTemporaryDir>

namespace {

constexpr int Com = 230;
const QString ComName = QStringLiteral("COM230");

// A /dev/serial/by-id/ style link: pointed at a new pseudo-terminal, it is an adapter plugged in again
// under a new node.
struct AdapterLink
{
    void PointTo(const PtyPair& line) const
    {
        QFile::remove(Path);
        QVERIFY(QFile::link(line.SlavePath, Path));
    }

    QTemporaryDir Folder;
    QString Path = Folder.filePath(QStringLiteral("usb-Clock_Adapter-if00-port0"));
};

QByteArray InputFrame(const char* digits)
{
    return QByteArray("\x02") + digits;
}

QByteArray DisplayFrame(const char* digits)
{
    return QByteArray("\x02") + digits + QByteArray("\x03\x00\x00", 3);
}

// The test's own server, at a port of its own, that the client-mode relay looks for.
struct TestServer
{
    QTcpSocket* NextClient(int timeoutMs = 5000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!Listener.hasPendingConnections() && timer.elapsed() < timeoutMs)
            QTest::qWait(20);
        return Listener.nextPendingConnection();
    }

    quint16 Port = FreePort();
    QTcpServer Listener;
};

} // namespace

// The lines and the servers lost, as a monitor reads them.
QPair<int, int> Losses(RelayUnderTest& relay)
{
    const auto& counts = relay.Controller.StatusReport().Counts;
    return {int(counts[size_t(Counter::LineLosses)]), int(counts[size_t(Counter::ServerLosses)])};
}

class TestRecovery : public QObject
{
    Q_OBJECT

private slots:
    void init() { ForgetSettings(); }

    void aRepluggedInputLineIsReadAgain()
    {
        AdapterLink link;
        PtyPair first;
        link.PointTo(first);
        RelayUnderTest relay(1, Com, FreePort(), 0, link.Path);
        relay.Start();
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, relay.Port);
        QVERIFY(peer.waitForConnected(5000));
        QVERIFY(first.Write(InputFrame("101010")));
        QCOMPARE(ReadUntil(peer, 8), QByteArray("10:10:10"));

        // The new line exists before the old one goes, so that no retry ever meets one half made.
        PtyPair second;
        first.CloseMaster();
        QTRY_COMPARE(relay.Status(), QStringLiteral("Error 5 reading COM230 !"));
        link.PointTo(second);
        QTRY_COMPARE_WITH_TIMEOUT(relay.Status(), QStringLiteral("Started Server mode !"), 5000);
        QVERIFY(second.Write(InputFrame("111111")));
        // The same connection, never dropped meanwhile, gets the values again.
        QCOMPARE(ReadUntil(peer, 8), QByteArray("11:11:11"));
        QCOMPARE(relay.Controller.Clients.ClientList.size(), 1);
        QCOMPARE(relay.Controller.RunFlag, 1);
        QVERIFY(relay.Boxes.Boxes.isEmpty());
        QCOMPARE(Losses(relay), qMakePair(1, 0));
    }

    void aReloadMovesTheLineAndKeepsItsDisplays()
    {
        AdapterLink link;
        PtyPair first;
        link.PointTo(first);
        RelayUnderTest relay(1, Com, FreePort(), 1, link.Path);
        QTcpSocket display4;
        QTcpSocket display6;
        display4.connectToHost(QHostAddress::LocalHost, relay.Port);
        display6.connectToHost(QHostAddress::LocalHostIPv6, relay.Port);
        QVERIFY(display4.waitForConnected(5000) && display6.waitForConnected(5000));
        QTRY_COMPARE(relay.Controller.Clients.ClientList.size(), 2);

        // The adapter moved to another device, and only the settings say so; then to another link, said
        // as [Ports] writes it.
        PtyPair second;
        link.PointTo(second);
        QTest::ignoreMessage(QtInfoMsg,
                             QRegularExpression(QStringLiteral("^settings read again: \\[Ports\\] COM230=%1 leads to "
                                                               "/dev/pts/\\d+ -> /dev/pts/\\d+$")
                                                    .arg(QRegularExpression::escape(link.Path))));
        relay.Controller.Reload(LoadRelaySettings({}).config);
        QVERIFY(second.Write(InputFrame("121212")));
        QCOMPARE(ReadUntil(display4, 8), QByteArray("12:12:12"));
        QCOMPARE(ReadUntil(display6, 8), QByteArray("12:12:12"));
        AdapterLink moved;
        PtyPair third;
        moved.PointTo(third);
        SettingsFile(QStringLiteral("Ports")).Write(QStringLiteral("COM%1").arg(Com), moved.Path);
        QTest::ignoreMessage(
            QtInfoMsg,
            qPrintable(QStringLiteral("settings read again: [Ports] COM230 %1 -> %2").arg(link.Path, moved.Path)));
        relay.Controller.Reload(LoadRelaySettings({}).config);
        QVERIFY(third.Write(InputFrame("121213")));
        QCOMPARE(ReadUntil(display4, 8), QByteArray("12:12:13"));
        QCOMPARE(ReadUntil(display6, 8), QByteArray("12:12:13"));

        // The file alone says another device, with no reload: a line lost meanwhile is sought where the
        // relay read [Ports] to lead, and found there when its adapter is back.
        SettingsFile(QStringLiteral("Ports")).Write(QStringLiteral("COM%1").arg(Com), QStringLiteral("/dev/null"));
        third.CloseMaster();
        QTRY_COMPARE(relay.Controller.StatusReport().Line.State, QStringLiteral("lost"));
        PtyPair fourth;
        moved.PointTo(fourth);
        QTRY_COMPARE_WITH_TIMEOUT(relay.Controller.StatusReport().Line.State, QStringLiteral("open"),
                                  SerialLine::ReopenMs * 3);
        QVERIFY(fourth.Write(InputFrame("121214")));
        QCOMPARE(ReadUntil(display4, 8), QByteArray("12:12:14"));
        QCOMPARE(ReadUntil(display6, 8), QByteArray("12:12:14"));
        SettingsFile(QStringLiteral("Ports")).Write(QStringLiteral("COM%1").arg(Com), moved.Path);

        // A list that leaves one of them out closes that one alone, with the word for it.
        SettingsFile(QStringLiteral("Clients")).Write(QStringLiteral("Allow"), QStringLiteral("::1"));
        relay.Controller.Reload(LoadRelaySettings({}).config);
        QCOMPARE(ReadUntil(display4, 8), QByteArray("Rejected"));
        QVERIFY(fourth.Write(InputFrame("131313")));
        QCOMPARE(ReadUntil(display6, 8), QByteArray("13:13:13"));
        QCOMPARE(relay.Controller.Clients.ClientList.size(), 1);
        // The list holds for those who come later too.
        QTcpSocket late4;
        late4.connectToHost(QHostAddress::LocalHost, relay.Port);
        QVERIFY(late4.waitForConnected(5000));
        QCOMPARE(ReadUntil(late4, 8), QByteArray("Rejected"));
        QCOMPARE(relay.Controller.Clients.ClientList.size(), 1);

        // A standby added by a reload is opened beside the primary, which runs on in use.
        PtyPair spare;
        spare.MapTo(Com + 1);
        {
            SettingsFile standby(QStringLiteral("Standby"));
            standby.Write(QStringLiteral("InComName"), QStringLiteral("COM%1").arg(Com + 1));
            standby.Write(QStringLiteral("InComSpeed"), QStringLiteral("9600"));
        }
        relay.Controller.Reload(LoadRelaySettings({}).config);
        QVERIFY(spare.Write(InputFrame("141414")));
        QTRY_COMPARE(StandbyField(relay.Controller, QStringLiteral("state")), QStringLiteral("alive"));
        QVERIFY(fourth.Write(InputFrame("141415")));
        QCOMPARE(ReadUntil(display6, 8), QByteArray("14:14:15"));
        QCOMPARE(StandbyField(relay.Controller, QStringLiteral("inUse")), QStringLiteral("primary"));
        QVERIFY(relay.Boxes.Boxes.isEmpty());
    }

    void aRepluggedOutputLineDropsWhatCameMeanwhile()
    {
        AdapterLink link;
        PtyPair first;
        link.PointTo(first);
        TestServer server;
        QVERIFY(server.Listener.listen(QHostAddress::LocalHost, server.Port));
        RelayUnderTest relay(0, Com, server.Port, 0, link.Path);
        relay.Start();
        QTcpSocket* client = server.NextClient();
        QVERIFY(client != nullptr);
        client->write("10:10:10");
        QCOMPARE(first.Read(10), DisplayFrame("101010"));

        first.CloseMaster();
        client->write("11:11:11");
        QTRY_COMPARE(relay.Status(), QStringLiteral("Error 5 writing to COM230 !"));
        client->write("12:12:12");
        QTest::qWait(100);
        PtyPair second;
        link.PointTo(second);
        QTRY_COMPARE_WITH_TIMEOUT(relay.Status(), QStringLiteral("Connected to Server"), 5000);
        client->write("13:13:13");
        // Only the time of now reaches the display, never one held from while the line was away.
        QCOMPARE(second.Read(20, 1000), DisplayFrame("131313"));
        QVERIFY(relay.Boxes.Boxes.isEmpty());
    }

    void aRestartedServerIsFoundAgain()
    {
        TestServer server;
        QVERIFY(server.Listener.listen(QHostAddress::LocalHost, server.Port));
        RelayUnderTest relay(0, Com, server.Port);
        relay.Start();
        QTcpSocket* client = server.NextClient();
        QVERIFY(client != nullptr);
        QTRY_COMPARE(relay.Status(), QStringLiteral("Connected to Server"));

        // Once with its last words, once with a reset and no word at all.
        for (const QByteArray& lastWords : {QByteArray("Srv lost"), QByteArray()}) {
            server.Listener.close();
            client->write(lastWords);
            client->flush();
            client->abort();
            QTRY_COMPARE(relay.Status(), QStringLiteral("Server lost"));
            QTest::qWait(1500);
            QVERIFY(server.Listener.listen(QHostAddress::LocalHost, server.Port));
            client = server.NextClient();
            QVERIFY(client != nullptr);
            QTRY_COMPARE(relay.Status(), QStringLiteral("Connected to Server"));
            client->write("14:14:14");
            QCOMPARE(relay.Line.Read(10), DisplayFrame("141414"));
        }
        QCOMPARE(Losses(relay), qMakePair(0, 2));

        // A connected server that sends nothing is told, and its next value puts the status back.
        QTest::ignoreMessage(QtWarningMsg, "no time code from 127.0.0.1 for 5 s");
        QTRY_COMPARE_WITH_TIMEOUT(relay.Status(), QStringLiteral("No time code from 127.0.0.1 !"), 8000);
        client->write("15:15:15");
        QTRY_COMPARE(relay.Status(), QStringLiteral("COM230 is transmitting"));

        // A full server is not asked again at once.
        client->write("Rejected");
        QTRY_COMPARE(relay.Status(), QStringLiteral("Rejected by the Server"));
        QCOMPARE(server.NextClient(3000), nullptr);
        QCOMPARE(relay.Controller.RunFlag, 1);
        QVERIFY(relay.Boxes.Boxes.isEmpty());
    }

    void aLaunchWaitsForItsLineAndItsPort()
    {
        // What a retry meets every 2 s is said once, with the retry, and not again until it changes.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("^COM230 doesn't exist !$")));
        auto squatter = std::make_unique<QTcpServer>();
        QVERIFY(squatter->listen(QHostAddress::AnyIPv4, 0));
        AdapterLink link;
        RelayUnderTest relay(1, Com, squatter->serverPort(), 1, link.Path);
        // The relay counts as running, and says what it waits for.
        QCOMPARE(relay.Status(), QStringLiteral("COM230 doesn't exist !"));
        QCOMPARE(relay.Controller.RunFlag, 1);
        QCOMPARE(relay.Controller.Clients.ListeningFlag, 0);

        // The line appears and the port frees once a retry has met them away: both are found by themselves.
        QTest::qWait(2500);
        squatter.reset();
        PtyPair line;
        link.PointTo(line);
        QTRY_VERIFY_WITH_TIMEOUT(relay.Controller.Clients.ListeningFlag == 1 && relay.Controller.SerialHandle() >= 0,
                                 5000);
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, relay.Port);
        QVERIFY(peer.waitForConnected(5000));
        QTRY_COMPARE(relay.Status(), QStringLiteral("1 Clients connected !"));
        QVERIFY(line.Write(InputFrame("161616")));
        QCOMPARE(ReadUntil(peer, 8), QByteArray("16:16:16"));

        // A source that falls silent is told, and its next frame puts back what the status said.
        QTRY_COMPARE_WITH_TIMEOUT(relay.Status(), QStringLiteral("No time code on COM230 !"), 8000);
        QVERIFY(line.Write(InputFrame("171717")));
        QCOMPARE(ReadUntil(peer, 8), QByteArray("17:17:17"));
        QCOMPARE(relay.Status(), QStringLiteral("1 Clients connected !"));
        QVERIFY(relay.Boxes.Boxes.isEmpty());

        // STOP lets the line go again.
        relay.Start();
        QCOMPARE(relay.Controller.SerialHandle(), -1);
    }
};

HORALINE_GUILESS_TEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
