#include "support/RelayFixture.h"
#include "support/TestMain.h"

#include <QLabel>
#include <QProcess>
#include <csignal>

namespace {

// The real program as a service manager or an SSH session starts it: no display of any kind.
void StartWithoutDisplay(QProcess& program, const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(HORALINE_BINARY), arguments);
}

} // namespace

class TestHeadless : public QObject
{
    Q_OBJECT

private slots:
    void init() { ForgetSettings(); }

    void answersWithoutADisplay()
    {
        QProcess version;
        StartWithoutDisplay(version, {QStringLiteral("--version")});
        QVERIFY(version.waitForFinished(10000));
        QCOMPARE(version.exitCode(), 0);
        QCOMPARE(version.readAllStandardOutput(), QByteArray("Horaline 1.0.8\n"));

        QProcess wrong;
        StartWithoutDisplay(wrong, {QStringLiteral("--no-such-option")});
        QVERIFY(wrong.waitForFinished(10000));
        QCOMPARE(wrong.exitCode(), 2);
        QVERIFY(wrong.readAllStandardError().contains("Unknown option 'no-such-option'"));
    }

    void relaysLogsAndEndsInOrderOnSigterm()
    {
        PtyPair line;
        line.MapTo(240);
        const quint16 port = FreePort();
        {
            SettingsFile file;
            file.Write(QStringLiteral("InComName"), QStringLiteral("COM240"));
            file.Write(QStringLiteral("InComSpeed"), QStringLiteral("9600"));
            file.Write(QStringLiteral("ServerPort"), int(port));
            file.Write(QStringLiteral("ProgMode"), 1);
            file.Write(QStringLiteral("ProgRun"), 1);
        }
        QProcess program;
        StartWithoutDisplay(program, {});
        QVERIFY(program.waitForStarted(10000));

        QTcpSocket peer;
        QElapsedTimer waited;
        waited.start();
        do {
            peer.abort();
            peer.connectToHost(QHostAddress::LocalHost, port);
        } while (!peer.waitForConnected(200) && waited.elapsed() < 20000);
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
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(SettingsFile().ReadInt(QStringLiteral("ProgRun"), -1), 1);

        const QString log = QString::fromLocal8Bit(program.readAllStandardError());
        QVERIFY2(log.contains(QRegularExpression(QStringLiteral(
                     "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} info horaline.relay: restart at launch in "
                     "server mode, COM240 at 9600"))),
                 qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral("horaline.net: client 127.0.0.1:%1 admitted").arg(peerPort)),
                 qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral("horaline.relay: signal 15 received")), qPrintable(log));
        // One line per event, never one per value.
        QVERIFY2(!log.contains(QStringLiteral("10:11:12")), qPrintable(log));
    }

    void aBoxIsLoggedAndAnsweredAtOnce()
    {
        QTcpServer squatter;
        QVERIFY(squatter.listen(QHostAddress::AnyIPv4, 0));
        RelayUnderTest relay(1, 241, squatter.serverPort());
        relay.Window->SetUnattended();
        QTest::ignoreMessage(
            QtWarningMsg,
            QRegularExpression(QStringLiteral("^box Horaline error: Error <98> listening on port \\d+: .*in use")));
        relay.Start();
        // Answered by itself, the box held nothing up: the serial side runs and the port is tried again.
        QCOMPARE(relay.Ui().Status->text(), QStringLiteral("Started Server mode !"));
        QCOMPARE(relay.Window->RunFlag, 1);
        QVERIFY(relay.Boxes.Boxes.isEmpty());
    }
};

HORALINE_TEST_MAIN(TestHeadless)
#include "tst_headless.moc"
