#include "sources/OwnClockSource.h"
#include "support/RelayFixture.h"
#include "support/TestMain.h"

#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTime>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

using Peer = std::unique_ptr<QTcpSocket>;

Peer Connect(quint16 port)
{
    auto peer = std::make_unique<QTcpSocket>();
    peer->connectToHost(QHostAddress::LocalHost, port);
    if (!peer->waitForConnected(5000))
        qWarning("could not connect to port %u", unsigned(port));
    return peer;
}

// Whether the server has closed the connection, once what it sent has been read.
bool ClosedByServer(QTcpSocket& peer)
{
    for (int i = 0; i < 100 && peer.state() == QAbstractSocket::ConnectedState; ++i) {
        peer.waitForReadyRead(20);
        QCoreApplication::processEvents();
    }
    return peer.state() != QAbstractSocket::ConnectedState;
}

} // namespace

class TestClockServer : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RelayUnderTest> Relay;
    QString Status() const { return Relay->Status(); }

    void StartServer()
    {
        Relay = std::make_unique<RelayUnderTest>(1, 200, FreePort());
        Relay->Start();
        QCOMPARE(Relay->Controller.RunFlag, 1);
    }

    void SendTime(const QByteArray& digits)
    {
        QVERIFY(Relay->Line.Write("\x02" + digits));
        QByteArray padded = digits;
        padded.replace(' ', '0');
        const QString shown = QString::fromLatin1(padded.left(2) + ':' + padded.mid(2, 2) + ':' + padded.mid(4, 2));
        QTRY_COMPARE(Relay->Clock(), shown);
    }

    // What a client receives over a while, each line sending the time of now twice a second or nothing.
    QList<QByteArray> Relayed(const PtyPair* primary, const PtyPair* standby, QTcpSocket& peer, int ms)
    {
        QList<QByteArray> received;
        QByteArray pending;
        QElapsedTimer timer;
        timer.start();
        for (qint64 next = 0; timer.elapsed() < ms;) {
            if (timer.elapsed() >= next) {
                for (const PtyPair* line : {primary, standby}) {
                    if (line != nullptr)
                        line->Write("\x02" + TimeNow(QStringLiteral("hhmmss")));
                }
                next += 500;
            }
            QTest::qWait(20);
            pending += peer.readAll();
            for (; pending.size() >= 8; pending.remove(0, 8))
                received.append(pending.left(8));
        }
        return received;
    }

private slots:
    void init() { ForgetSettings(); }
    void cleanup() { Relay.reset(); }

    void fiveAreAdmittedTheSixthIsRejected()
    {
        StartServer();
        std::vector<Peer> peers;
        for (int n = 1; n <= 5; ++n) {
            peers.push_back(Connect(Relay->Port));
            const QString expected = n == 5 ? QStringLiteral("5 Clients connected (MAX) !")
                                            : QStringLiteral("%1 Clients connected !").arg(n);
            QTRY_COMPARE(Status(), expected);
        }
        Peer sixth = Connect(Relay->Port);
        QCOMPARE(ReadUntil(*sixth, 8), QByteArray("Rejected"));
        QVERIFY(ClosedByServer(*sixth));
        QCOMPARE(Relay->Controller.Clients.ClientList.size(), 5);
        QCOMPARE(Relay->Controller.StatusReport().Counts[size_t(Counter::ClientsRefused)], quint64(1));
        QCOMPARE(Status(), QStringLiteral("5 Clients connected (MAX) !"));
        QCOMPARE(Relay->Controller.Clients.ClientsFlag, 1);
        QVERIFY(Relay->Boxes.Boxes.isEmpty());
        // A display that vanished without a word is found within about a minute: 30 s idle, 3 probes of 10 s.
        const int fd = int(Relay->Controller.Clients.ClientList.first()->Descriptor());
        const auto option = [fd](int level, int name) {
            int value = 0;
            socklen_t size = sizeof value;
            return ::getsockopt(fd, level, name, &value, &size) == 0 ? value : -1;
        };
        QCOMPARE(option(SOL_SOCKET, SO_KEEPALIVE), 1);
        QCOMPARE(option(IPPROTO_TCP, TCP_KEEPIDLE), 30);
        QCOMPARE(option(IPPROTO_TCP, TCP_KEEPINTVL), 10);
        QCOMPARE(option(IPPROTO_TCP, TCP_KEEPCNT), 3);
    }

    void everyAdmissionResendsTheCurrentValue()
    {
        StartServer();
        Peer first = Connect(Relay->Port);
        QTRY_COMPARE(Status(), QStringLiteral("1 Clients connected !"));
        // Before any time code there is nothing to send.
        QCOMPARE(ReadUntil(*first, 1, 200), QByteArray());
        SendTime("123456");
        QCOMPARE(ReadUntil(*first, 8), QByteArray("12:34:56"));
        Peer second = Connect(Relay->Port);
        QCOMPARE(ReadUntil(*second, 8), QByteArray("12:34:56"));
        QCOMPARE(ReadUntil(*first, 8), QByteArray("12:34:56"));
        SendTime(" 90507");
        QCOMPARE(ReadUntil(*first, 8), QByteArray("09:05:07"));
        QCOMPARE(ReadUntil(*second, 8), QByteArray("09:05:07"));
        // The same value twice is sent twice.
        SendTime("090508");
        SendTime("090508");
        QCOMPARE(ReadUntil(*first, 16), QByteArray("09:05:0809:05:08"));
        QCOMPARE(Status(), QStringLiteral("2 Clients connected !"));
        // Once the source is silent the last value is no longer the time: nobody is sent it again.
        QTest::qWait(2200);
        Peer late = Connect(Relay->Port);
        QTRY_COMPARE(Status(), QStringLiteral("3 Clients connected !"));
        QCOMPARE(ReadUntil(*late, 1, 300), QByteArray());
        QCOMPARE(ReadUntil(*first, 1, 0), QByteArray());
    }

    void stopTellsEveryClient()
    {
        StartServer();
        std::vector<Peer> peers;
        for (int n = 1; n <= 3; ++n)
            peers.push_back(Connect(Relay->Port));
        QTRY_COMPARE(Status(), QStringLiteral("3 Clients connected !"));
        Relay->Start();
        QCOMPARE(Status(), QStringLiteral("Server stopped !"));
        for (Peer& peer : peers) {
            QCOMPARE(ReadUntil(*peer, 8), QByteArray("Srv lost"));
            QVERIFY(ClosedByServer(*peer));
        }
        QCOMPARE(Relay->Controller.Clients.ListeningFlag, 0);
        QCOMPARE(Relay->Controller.Clients.ClientsFlag, 0);
        Peer late = Connect(Relay->Port);
        QVERIFY(late->state() != QAbstractSocket::ConnectedState);
    }

    void closingClientsAreCounted()
    {
        StartServer();
        Peer a = Connect(Relay->Port);
        Peer b = Connect(Relay->Port);
        Peer c = Connect(Relay->Port);
        QTRY_COMPARE(Status(), QStringLiteral("3 Clients connected !"));
        b->disconnectFromHost();
        QTRY_COMPARE(Status(), QStringLiteral("2 Clients connected !"));
        // A reset is a close too: a vanished display must not hold one of the five places.
        a->setSocketOption(QAbstractSocket::KeepAliveOption, 0);
        const linger reset {1, 0};
        ::setsockopt(int(a->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        a->abort();
        QTRY_COMPARE(Status(), QStringLiteral("1 Clients connected !"));
        c->disconnectFromHost();
        QTRY_COMPARE(Status(), QStringLiteral(" Clients disconnected !"));
        QCOMPARE(Relay->Controller.Clients.ClientsFlag, 0);
        QVERIFY(Relay->Controller.Clients.ClientList.isEmpty());
        SendTime("010101");
        QCOMPARE(Status(), QStringLiteral(" Clients disconnected !"));
    }

    void aClientThatTalksChangesNothing()
    {
        StartServer();
        Peer chatty = Connect(Relay->Port);
        Peer quiet = Connect(Relay->Port);
        QTRY_COMPARE(Status(), QStringLiteral("2 Clients connected !"));
        const QByteArray noise(64 * 1024, 'x');
        for (int i = 0; i < 16; ++i)
            chatty->write(noise);
        chatty->flush();
        SendTime("111111");
        QCOMPARE(ReadUntil(*quiet, 8), QByteArray("11:11:11"));
        QCOMPARE(ReadUntil(*chatty, 8), QByteArray("11:11:11"));
        QTest::qWait(100);
        QVERIFY(Relay->Boxes.Boxes.isEmpty());
        QCOMPARE(Status(), QStringLiteral("2 Clients connected !"));
        // What it sent waits in the system: the program holds no more of it than a few bytes.
        for (CLinkSocket* client : std::as_const(Relay->Controller.Clients.ClientList))
            QVERIFY(client->BytesAvailable() <= 64);
    }

    void aClientThatNeverReadsStaysBounded()
    {
        StartServer();
        // A display that stopped reading, with the smallest receive buffer the system allows.
        const int stuck = ::socket(AF_INET, SOCK_STREAM, 0);
        const int small = 1024;
        ::setsockopt(stuck, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(Relay->Port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::connect(stuck, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        Peer reader = Connect(Relay->Port);
        QTRY_COMPARE(Status(), QStringLiteral("2 Clients connected !"));

        RelayController& controller = Relay->Controller;
        StoreTimeCode(controller.ClockBuffer, {'1', '2', '3', '4', '5', '6'});
        constexpr int Values = 40000;
        QByteArray received;
        for (int i = 0; i < Values; ++i) {
            controller.DistributeClock();
            if (i % 200 == 0) {
                QCoreApplication::processEvents();
                received += reader->readAll();
            }
        }
        received += ReadUntil(*reader, Values * 8 - int(received.size()));
        QCOMPARE(received.size(), Values * 8);
        for (CLinkSocket* client : std::as_const(controller.Clients.ClientList))
            QVERIFY(client->Unsent() <= 4096 + 8);

        // Taking nothing for the time allowed, it gives its place up; the display that reads keeps its own.
        controller.Clients.ClientStallLimitMs = 300;
        QTRY_VERIFY_WITH_TIMEOUT((controller.DistributeClock(), controller.Clients.ClientList.size() == 1), 5000);
        QCOMPARE(Status(), QStringLiteral("1 Clients connected !"));
        reader->readAll();
        controller.DistributeClock();
        QVERIFY(ReadUntil(*reader, 8).endsWith("12:34:56"));
        ::close(stuck);
    }

    void aBusyPortIsReportedAndTriedAgain()
    {
        QTcpServer squatter;
        QVERIFY(squatter.listen(QHostAddress::AnyIPv4, 0));
        Relay = std::make_unique<RelayUnderTest>(1, 200, squatter.serverPort());
        Relay->Start();
        const QString port = QString::number(squatter.serverPort());
        QCOMPARE(
            Relay->Boxes.Texts(),
            QStringList {
                QStringLiteral("Error <%1> listening on port %2:\nAddress already in use").arg(EADDRINUSE).arg(port)});
        QCOMPARE(Relay->Boxes.Boxes[0].title, QStringLiteral("Horaline error:"));
        QCOMPARE(Relay->Boxes.Boxes[0].type, unsigned(MB_ICONSTOP));
        QCOMPARE(Relay->Controller.Clients.ListeningFlag, 0);
        // The serial side still runs, and the port is tried again while it does.
        QCOMPARE(Status(), QStringLiteral("Started Server mode !"));
        QCOMPARE(Relay->Controller.RunFlag, 1);
        squatter.close();
        QTRY_COMPARE_WITH_TIMEOUT(Relay->Controller.Clients.ListeningFlag, 1, 5000);

        Relay->Start();
        Relay->Start();
        QCOMPARE(Relay->Boxes.Boxes.size(), 1);
        QCOMPARE(Relay->Controller.Clients.ListeningFlag, 1);
        Peer peer = Connect(Relay->Port);
        QTRY_COMPARE(Status(), QStringLiteral("1 Clients connected !"));
    }

    void strangersAreTurnedAwayWithoutTakingAPlace()
    {
        SettingsFile(QStringLiteral("Clients")).Write(QStringLiteral("Allow"), QStringLiteral("10.1.2.0/24, bogus"));
        StartServer();
        Peer stranger = Connect(Relay->Port);
        QCOMPARE(ReadUntil(*stranger, 8), QByteArray("Rejected"));
        QVERIFY(ClosedByServer(*stranger));
        QVERIFY(Relay->Controller.Clients.ClientList.isEmpty());

        // Allowed at the next start, loopback takes its place; the same listener takes IPv6 as well.
        Relay->Start();
        SettingsFile(QStringLiteral("Clients"))
            .Write(QStringLiteral("Allow"), QStringLiteral("10.1.2.0/24, 127.0.0.1, ::1"));
        Relay->Start();
        Peer display = Connect(Relay->Port);
        QTRY_COMPARE(Relay->Controller.Clients.ClientList.size(), 1);
        QTcpSocket display6;
        display6.connectToHost(QHostAddress::LocalHostIPv6, Relay->Port);
        QVERIFY(display6.waitForConnected(5000));
        QTRY_COMPARE(Relay->Controller.Clients.ClientList.size(), 2);
        QCOMPARE(Relay->Controller.Clients.ClientList.first()->PeerText(),
                 QStringLiteral("127.0.0.1:%1").arg(display->localPort()));
        QCOMPARE(Relay->Controller.Clients.ClientList.last()->PeerText(),
                 QStringLiteral("[::1]:%1").arg(display6.localPort()));

        const AllowList list = AllowList::Parse({QStringLiteral(" 192.168.1.0/24"), QStringLiteral("10.0.0.7 "),
                                                 QStringLiteral("2001:db8::/32"), QStringLiteral("300.1.1.1")});
        QVERIFY(list.Admits(QHostAddress(QStringLiteral("192.168.1.77"))));
        QVERIFY(list.Admits(QHostAddress(QStringLiteral("::ffff:10.0.0.7"))));
        QVERIFY(list.Admits(QHostAddress(QStringLiteral("2001:db8:5::1"))));
        QVERIFY(!list.Admits(QHostAddress(QStringLiteral("10.0.0.8"))));
        QVERIFY(!list.Admits(QHostAddress(QStringLiteral("::1"))));
        QVERIFY(AllowList::Parse({}).Admits(QHostAddress(QStringLiteral("203.0.113.5"))));
        QVERIFY(!AllowList::Parse({QStringLiteral("bogus")}).Admits(QHostAddress(QStringLiteral("203.0.113.5"))));
        // An entry written as a dual-stack socket shows an IPv4 peer matches that peer.
        const AllowList mapped
            = AllowList::Parse({QStringLiteral("::ffff:127.0.0.1"), QStringLiteral("::ffff:10.0.0.0/104")});
        QVERIFY(mapped.Admits(QHostAddress(QStringLiteral("127.0.0.1"))));
        QVERIFY(mapped.Admits(QHostAddress(QStringLiteral("::ffff:10.9.8.7"))));
        QVERIFY(!mapped.Admits(QHostAddress(QStringLiteral("11.0.0.1"))));
        QVERIFY(!AllowList::Parse({QStringLiteral("::/128")}).Admits(QHostAddress(QStringLiteral("0.0.0.0"))));
    }

    void theListenerOutlivesAFailedStart()
    {
        Relay = std::make_unique<RelayUnderTest>(1, 200, FreePort());
        Relay->Line.CloseMaster();
        PtyPair gone;
        Relay->Config.InComName = QStringLiteral("<Port>");
        Relay->Start();
        QCOMPARE(Relay->Boxes.Texts(), QStringList {"Select a valid Port in Settings!"});
        QCOMPARE(Relay->Controller.RunFlag, 0);
        QCOMPARE(Relay->Controller.Clients.ListeningFlag, 1);
        QCOMPARE(Status(), QStringLiteral(" Waiting for Clients ..."));
        Peer peer = Connect(Relay->Port);
        QTRY_COMPARE(Status(), QStringLiteral("1 Clients connected !"));
        Relay->Start();
        QCOMPARE(Status(), QStringLiteral(" Ready !"));
        // The listener's end still tells the client.
        Relay->Controller.SetListening(false);
        QCOMPARE(ReadUntil(*peer, 8), QByteArray("Srv lost"));
        QVERIFY(ClosedByServer(*peer));
    }

    void aStandbyLineTakesOverAndHandsBack()
    {
        PtyPair spare;
        spare.MapTo(231);
        // This machine's clock, whatever the kernel says of it, is synchronised here.
        ReadClockSyncWith([] { return ClockSync {0.001}; });
        {
            SettingsFile standby(QStringLiteral("Standby"));
            standby.Write(QStringLiteral("InComName"), QStringLiteral("COM231"));
            standby.Write(QStringLiteral("InComSpeed"), QStringLiteral("9600"));
            standby.Write(QStringLiteral("After"), 2);
            standby.Write(QStringLiteral("OwnClock"), 1);
        }
        // A standby that is the primary's own line under another name stands in for nothing.
        Relay = std::make_unique<RelayUnderTest>(1, 200, FreePort());
        Relay->Line.MapTo(232);
        Relay->Config.Standby.InComName = QStringLiteral("COM232");
        Relay->Start();
        QCOMPARE(Relay->Controller.RunFlag, 0);
        QVERIFY(Relay->Boxes.Texts().value(0).startsWith(
            QStringLiteral("[Standby] InComName=COM232 is the primary's own line COM200: name another line")));
        Relay->Config = LoadRelaySettings({}).config;
        Relay->Start();
        QCOMPARE(Relay->Controller.RunFlag, 1);
        const Peer peer = Connect(Relay->Port);
        PtyPair& primary = Relay->Line;
        const RelayController& controller = Relay->Controller;
        QList<QByteArray> shown;

        // Both speak: the primary in use. It falls silent: the standby's values after After.
        shown += Relayed(&primary, &spare, *peer, 2000);
        QCOMPARE(StandbyField(controller, QStringLiteral("inUse")), QStringLiteral("primary"));
        shown += Relayed(nullptr, &spare, *peer, 3500);
        QCOMPARE(StandbyField(controller, QStringLiteral("inUse")), QStringLiteral("standby"));
        QCOMPARE(Status(), QStringLiteral("Standby COM231 in use !"));
        QCOMPARE(controller.StatusReport().Health, HealthState::Degraded);

        // The primary is back: the standby's still, as the primary is not yet steady (its 10 s are the
        // switch's test). The standby line dies: the primary at once, and the dead standby is said.
        shown += Relayed(&primary, &spare, *peer, 1500);
        QCOMPARE(StandbyField(controller, QStringLiteral("inUse")), QStringLiteral("standby"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^standby COM231 lost: ")));
        spare.CloseMaster();
        const qsizetype before = shown.size();
        shown += Relayed(&primary, nullptr, *peer, 1500);
        QVERIFY(shown.size() > before);
        QCOMPARE(StandbyField(controller, QStringLiteral("inUse")), QStringLiteral("primary"));
        QCOMPARE(Status(), QStringLiteral("COM200 in use again !"));
        QCOMPARE(StandbyField(controller, QStringLiteral("state")), QStringLiteral("lost"));
        QCOMPARE(controller.StatusReport().Health, HealthState::Degraded);

        // The primary's adapter is pulled: this computer's time at once, not After later.
        primary.CloseMaster();
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QStringLiteral("No source: sending this computer's time !"), 3000);
        const QList<QByteArray> own = Relayed(nullptr, nullptr, *peer, 2500);
        QVERIFY(own.size() >= 2);
        QVERIFY(qAbs(QTime::fromString(QString::fromLatin1(own.last()), QStringLiteral("hh:mm:ss"))
                         .secsTo(QTime::currentTime()))
                <= 1);
        shown += own;
        // Through every switch each second reached the client once, in order.
        QVERIFY2(InOrder(shown), shown.join(' ').constData());
        QCOMPARE(controller.Clients.ClientList.size(), 1);
    }

    void socketErrorTexts()
    {
        QCOMPARE(SocketErrorText(10024), QStringLiteral("No more file descriptors are available."));
        QCOMPARE(SocketErrorText(10055),
                 QStringLiteral("No buffer space is available.\n The socket cannot be created"));
        QCOMPARE(SocketErrorText(10093),
                 QStringLiteral("A successful 'AfxSocketInit' must occur\nbefore using 'Create'."));
        QCOMPARE(SocketErrorText(10035), QStringLiteral("unknown"));
        QCOMPARE(SocketErrorText(10022), QStringLiteral("unknown"));
        QCOMPARE(SocketFailureText(EMFILE), QStringLiteral("No more file descriptors are available."));
        QCOMPARE(SocketFailureText(EADDRINUSE), QStringLiteral("Address already in use"));
    }
};

HORALINE_GUILESS_TEST_MAIN(TestClockServer)
#include "tst_clockserver.moc"
