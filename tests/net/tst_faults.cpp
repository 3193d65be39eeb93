#include "support/RelayFixture.h"
#include "support/TestMain.h"

#include <QLabel>
#include <QTimer>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

using Peer = std::unique_ptr<QTcpSocket>;

Peer Connect(quint16 port)
{
    auto peer = std::make_unique<QTcpSocket>();
    peer->connectToHost(QHostAddress::LocalHost, port);
    peer->waitForConnected(5000);
    return peer;
}

QByteArray Message(int n)
{
    const QByteArray digits = QByteArray::number(n).rightJustified(6, '0');
    return digits.left(2) + ':' + digits.mid(2, 2) + ':' + digits.mid(4, 2);
}

} // namespace

// Everything that goes wrong around a running server at once; afterwards its books must match the
// connections really open, and every client still reading must still get every value.
class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void init() { ForgetSettings(); }

    void theServerKeepsItsBooksThroughFaults()
    {
        RelayUnderTest relay(1, 220, FreePort());
        relay.Start();
        RelayController& controller = relay.Controller;

        // The input line vanishes and comes back under a new name.
        relay.Line.CloseMaster();
        QTRY_COMPARE(relay.Status(), QStringLiteral("Error 5 reading COM220 !"));
        relay.Start();
        PtyPair line;
        line.MapTo(220);
        relay.Start();
        QCOMPARE(controller.RunFlag, 1);

        int next = 1;
        QTimer source;
        QObject::connect(&source, &QTimer::timeout,
                         [&] { line.Write("\x02" + QByteArray::number(next++).rightJustified(6, '0')); });
        source.start(5);

        Peer a = Connect(relay.Port);
        Peer b = Connect(relay.Port);
        Peer c = Connect(relay.Port);
        Peer leaving = Connect(relay.Port);
        QTRY_COMPARE(controller.Clients.ClientList.size(), 4);
        leaving->disconnectFromHost();
        Peer reset = Connect(relay.Port);
        QTRY_COMPARE(controller.Clients.ClientList.size(), 4);
        const linger abortive {1, 0};
        ::setsockopt(int(reset->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        reset->abort();
        QTRY_COMPARE(controller.Clients.ClientList.size(), 3);

        Peer flooding = Connect(relay.Port);
        const QByteArray noise(256 * 1024, 'z');
        flooding->write(noise);
        const int stuck = ::socket(AF_INET, SOCK_STREAM, 0);
        const int small = 1024;
        ::setsockopt(stuck, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(relay.Port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::connect(stuck, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        QTRY_COMPARE(controller.Clients.ClientList.size(), 5);
        Peer sixth = Connect(relay.Port);
        Peer seventh = Connect(relay.Port);
        QCOMPARE(ReadUntil(*sixth, 8).right(8), QByteArray("Rejected"));
        QCOMPARE(ReadUntil(*seventh, 8).right(8), QByteArray("Rejected"));
        QTest::qWait(300);

        // One leaves in good order: the count shown must be the connections really open.
        c->disconnectFromHost();
        QTRY_COMPARE(relay.Status(), QStringLiteral("4 Clients connected !"));
        QCOMPARE(controller.Clients.ClientList.size(), 4);
        QCOMPARE(controller.Clients.ClientsFlag, 1);
        QCOMPARE(controller.Clients.ListeningFlag, 1);
        QVERIFY(relay.Boxes.Boxes.isEmpty());

        // From here on every value reaches every client that reads.
        source.stop();
        QTest::qWait(100);
        for (QTcpSocket* peer : {a.get(), b.get(), flooding.get()})
            ReadUntil(*peer, 1 << 20, 300);
        const int first = next;
        for (int i = 0; i < 20; ++i) {
            line.Write("\x02" + QByteArray::number(next++).rightJustified(6, '0'));
            QTest::qWait(10);
        }
        QByteArray expected;
        for (int n = first; n < next; ++n)
            expected += Message(n);
        for (QTcpSocket* peer : {a.get(), b.get(), flooding.get()})
            QCOMPARE(ReadUntil(*peer, int(expected.size())), expected);
        ::close(stuck);
        relay.Start();
    }
};

HORALINE_GUILESS_TEST_MAIN(TestFaults)
#include "tst_faults.moc"
