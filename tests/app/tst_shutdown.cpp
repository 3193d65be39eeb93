#include "app/CRelayApp.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsPath.h"
#include "support/BoxRecorder.h"
#include "support/FreePort.h"
#include "support/TestMain.h"
#include "support/WindowFixture.h"
#include "ui/AboutBox.h"
#include "ui/CRelayDlg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTcpServer>
#include <QTimer>
#include <csignal>

namespace {

CRelayDlg* RunningWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<CRelayDlg*>(widget); window != nullptr && window->isVisible())
            return window;
    }
    return nullptr;
}

// Runs the action once the main window of InitInstance is up, trying for a bounded time.
void WhenWindowRuns(std::function<void(CRelayDlg*)> action, int tries = 200)
{
    QTimer::singleShot(10, [=] {
        if (CRelayDlg* window = RunningWindow())
            action(window);
        else if (tries > 0)
            WhenWindowRuns(action, tries - 1);
        else
            QApplication::exit(1);
    });
}

// Whether the process has installed a handler for the signal, read from the kernel's view of it.
bool CatchesSignal(qint64 pid, int signalNumber)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signalNumber - 1)) & 1;
    }
    return false;
}

} // namespace

class TestShutdown : public QObject
{
    Q_OBJECT

private slots:
    // InitInstance names the application after the test program; the program under test is Horaline.
    void init() { QCoreApplication::setApplicationName(QStringLiteral("Horaline")); }

    void terminationSignalsEndTheWindowWithoutAsking_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }

    void terminationSignalsEndTheWindowWithoutAsking()
    {
        QFETCH(int, signalNumber);
        bool windowSeen = false;
        WhenWindowRuns([&](CRelayDlg*) {
            windowSeen = true;
            std::raise(signalNumber);
        });
        CRelayApp app;
        QVERIFY(!app.InitInstance());
        QVERIFY(windowSeen);
        QCOMPARE(RunningWindow(), nullptr);
    }

    void aSignalAlsoClosesAnOpenAboutBox()
    {
        bool aboutSeen = false;
        WhenWindowRuns([&](CRelayDlg* window) {
            QTimer::singleShot(50, [&] {
                aboutSeen = qobject_cast<CAboutBox*>(QApplication::activeModalWidget()) != nullptr;
                std::raise(SIGTERM);
            });
            window->Controls().About->click();
        });
        CRelayApp app;
        QVERIFY(!app.InitInstance());
        QVERIFY(aboutSeen);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }

    void destructionStopsARunningRelayFirst()
    {
        BoxRecorder boxes;
        CRelayDlg window;
        window.SetPrompter(boxes.Prompter());
        window.Create();
        // A relay that counts as running is stopped by the shutdown, with the server's own texts.
        window.Relay().RunFlag = 1;
        window.Controls().Start->setChecked(true);
        window.Controls().Start->setText(QStringLiteral("STOP"));
        window.EndSession();
        QVERIFY(!window.isVisible());
        QCOMPARE(window.Relay().RunFlag, 0);
        QVERIFY(!window.Controls().Start->isChecked());
        QCOMPARE(window.Controls().Start->text(), QStringLiteral("START"));
        QCOMPARE(window.Controls().Status->text(), QStringLiteral("Server stopped !"));
        QCOMPARE(window.Controls().Clock->text(), QStringLiteral("- -:- -:- -"));
        QVERIFY(boxes.Boxes.isEmpty());
    }

    void closingTheWindowTellsEveryClient_data()
    {
        QTest::addColumn<bool>("running");
        QTest::newRow("running") << true;
        QTest::newRow("a listener left by a failed start") << false;
    }

    void closingTheWindowTellsEveryClient()
    {
        QFETCH(bool, running);
        QDir(QFileInfo(SettingsPath()).absolutePath()).removeRecursively();
        WindowUnderTest relay(1, 200, FreePort());
        if (!running)
            relay.Ui().InComName->setCurrentIndex(0);
        relay.Start();
        QCOMPARE(relay.Window->Relay().RunFlag, running ? 1 : 0);
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, relay.Port);
        QVERIFY(peer.waitForConnected(5000));
        QTRY_COMPARE(relay.Ui().Status->text(), QStringLiteral("1 Clients connected !"));
        relay.Window->EndSession();
        QCOMPARE(ReadUntil(peer, 8), QByteArray("Srv lost"));
        QCOMPARE(SettingsFile().ReadInt(QStringLiteral("ProgRun"), -1), running ? 1 : 0);
    }

    void anEndDuringABoxOpensNoOther()
    {
        QFile::remove(SettingsPath());
        QTcpServer squatter;
        QVERIFY(squatter.listen(QHostAddress::AnyIPv4, 0));
        CRelayDlg window;
        int boxes = 0;
        // The first box is open when the signal comes; the port that is missing next must not ask again.
        window.SetPrompter([&](QWidget*, const QString&, const QString&, unsigned) {
            ++boxes;
            window.EndSession();
            return int(IDOK);
        });
        window.Create();
        window.Controls().ListenPort->setText(QString::number(squatter.serverPort()));
        window.Controls().Start->click();
        QCOMPARE(boxes, 1);
        QVERIFY(!window.isVisible());
        QCOMPARE(window.Relay().RunFlag, 0);
        QCOMPARE(window.Relay().SerialHandle(), -1);
        QCOMPARE(window.Relay().Clients.ListeningFlag, 0);
    }

    void aSecondWindowBringsTheFirstForwardAndEnds()
    {
        QFile::remove(SettingsPath());
        QProcess first;
        first.start(QStringLiteral(HORALINE_BINARY), {});
        QVERIFY(first.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(CatchesSignal(first.processId(), SIGTERM), 20000);
        QProcess second;
        second.start(QStringLiteral(HORALINE_BINARY), {});
        QVERIFY(second.waitForFinished(20000));
        const QString said = QString::fromLocal8Bit(second.readAllStandardError());
        QVERIFY2(
            second.exitCode() == 0
                && said.contains(QStringLiteral("(pid %1): its window is brought to the front").arg(first.processId())),
            qPrintable(said));
        QCOMPARE(first.state(), QProcess::Running);
        // A window whose relay is stopped answers a status query as not relaying, not as none running.
        QProcess query;
        query.start(QStringLiteral(HORALINE_BINARY), {QStringLiteral("--status")});
        QVERIFY(query.waitForFinished(20000));
        const QByteArray report = query.readAllStandardOutput();
        QVERIFY2(query.exitCode() == 2 && report.contains(": not relaying"), report.constData());
        ::kill(pid_t(first.processId()), SIGTERM);
        QVERIFY(first.waitForFinished(20000));
    }

    void theProgramEndsCleanlyOnSigterm_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<int>("storedRun");
        QTest::addColumn<int>("storedPort");
        QTest::newRow("first launch") << QByteArray() << 0 << 6530;
        // The restart fails at the port and leaves its box open when the signal comes.
        const int port = FreePort();
        QTest::newRow("box open at a failed restart")
            << QByteArray("[Settaggi]\nProgRun=1\nServerPort=" + QByteArray::number(port) + "\n") << 1 << port;
    }

    void theProgramEndsCleanlyOnSigterm()
    {
        QFETCH(QByteArray, settings);
        QFETCH(int, storedRun);
        QFETCH(int, storedPort);
        QFile::remove(SettingsPath());
        if (!settings.isEmpty())
            QVERIFY(WriteSettingsText(settings));
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(HORALINE_BINARY), {});
        QVERIFY(program.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(CatchesSignal(program.processId(), SIGTERM), 20000);
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QSettings stored(SettingsPath(), QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("Settaggi/ProgRun")).toInt(), storedRun);
        QCOMPARE(stored.value(QStringLiteral("Settaggi/ServerPort")).toInt(), storedPort);
    }
};

HORALINE_TEST_MAIN(TestShutdown)
#include "tst_shutdown.moc"
