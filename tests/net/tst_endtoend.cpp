#include "support/RelayFixture.h"
#include "support/TestMain.h"

#include <QLabel>

// A time code on one relay's serial line reaches the display line of another, over TCP.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void init() { ForgetSettings(); }

    void serialToNetworkToSerial()
    {
        RelayUnderTest server(1, 210, FreePort());
        server.Start();
        QCOMPARE(server.Status(), QStringLiteral("Started Server mode !"));
        RelayUnderTest client(0, 211, server.Port);
        client.Start();
        QTRY_COMPARE_WITH_TIMEOUT(client.Status(), QStringLiteral("Connected to Server"), 6000);
        QTRY_COMPARE(server.Status(), QStringLiteral("1 Clients connected !"));

        QVERIFY(server.Line.Write(QByteArray("\x05"
                                             "\x02"
                                             "123456\x03")));
        QCOMPARE(client.Line.Read(10),
                 QByteArray("\x02"
                            "123456\x03\x00\x00",
                            10));
        QCOMPARE(server.Clock(), QStringLiteral("12:34:56"));
        QCOMPARE(client.Clock(), QStringLiteral("12:34:56"));
        QCOMPARE(client.Status(), QStringLiteral("COM211 is transmitting"));
        QVERIFY(server.Line.Write(QByteArray("\x02"
                                             " 00001")));
        QCOMPARE(client.Line.Read(10),
                 QByteArray("\x02"
                            "000001\x03\x00\x00",
                            10));

        server.Start();
        QTRY_COMPARE(client.Status(), QStringLiteral("Server lost"));
        QTRY_COMPARE(client.Clock(), QStringLiteral("Srv lost"));
        QVERIFY(server.Boxes.Boxes.isEmpty());
        QVERIFY(client.Boxes.Boxes.isEmpty());
    }
};

HORALINE_GUILESS_TEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
