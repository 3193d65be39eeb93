#include "config/SettingsLists.h"
#include "serial/SerialDevice.h"
#include "settings/SettingsPath.h"
#include "support/BoxRecorder.h"
#include "support/FreePort.h"
#include "support/PtyPair.h"
#include "support/TestMain.h"
#include "ui/CRelayDlg.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>
#include <sys/file.h>
#include <sys/ioctl.h>

namespace {

constexpr int Com = 200;
const QString ComName = QStringLiteral("COM200");

// Whether another program could take the line now: the program must have let it go.
bool LineIsFree(const PtyPair& line)
{
    const int fd = ::open(QFile::encodeName(line.SlavePath).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

void SaveSelection(int mode, const QString& speed)
{
    SettingsFile file;
    file.Write(QStringLiteral("InComName"), ComName);
    file.Write(QStringLiteral("OutComName"), ComName);
    file.Write(QStringLiteral("InComSpeed"), speed);
    file.Write(QStringLiteral("OutComSpeed"), speed);
    file.Write(QStringLiteral("ProgMode"), mode);
    file.Write(QStringLiteral("ServerPort"), int(FreePort()));
}

} // namespace

class TestSerialPort : public QObject
{
    Q_OBJECT

private:
    BoxRecorder Boxes;
    std::unique_ptr<PtyPair> Line;
    std::unique_ptr<CRelayDlg> Window;

    void Launch(int mode = 1, const QString& speed = QStringLiteral("9600"))
    {
        SaveSelection(mode, speed);
        Window = std::make_unique<CRelayDlg>();
        Window->SetPrompter(Boxes.Prompter());
        Window->Create();
    }

    const RelayControls& Ui() const { return Window->Controls(); }
    QTemporaryDir LockFolder;

    // Client mode with its display line open and the relay running, the buffer holding 12:34:56.
    void OpenDisplayLine()
    {
        Launch(0);
        QVERIFY(Window->DoDataExchange(true));
        Window->Relay().Config.OutComName = ComName;
        Window->Relay().Config.OutComSpeed = QStringLiteral("9600");
        Window->Relay().Config.Ports = LoadComDeviceMap();
        QCOMPARE(Window->Relay().OpenOutputPort(), 1);
        Window->Relay().RunFlag = 1;
        StoreReceivedText(Window->Relay().ClockBuffer, "12:34:56");
    }

    QString Clock() const { return Ui().Clock->text(); }

private slots:
    // The /dev/null of one test is no shared hardware: its lock goes to a folder of the test's own.
    void initTestCase() { SetLockFolders({LockFolder.path()}); }

    void init()
    {
        QDir(QFileInfo(SettingsPath()).absolutePath()).removeRecursively();
        Boxes = BoxRecorder();
        Line = std::make_unique<PtyPair>();
        QVERIFY(Line->IsOpen());
        Line->MapTo(Com);
    }

    void cleanup()
    {
        Window.reset();
        Line.reset();
    }

    void mappedLinesAreListed()
    {
        PtyPair first;
        PtyPair second;
        first.MapTo(1);
        second.MapTo(2);
        Line->MapTo(10);
        {
            SettingsFile file;
            file.Write(QStringLiteral("InComName"), QStringLiteral("COM1"));
            file.Write(QStringLiteral("OutComName"), QStringLiteral("COM2"));
        }
        Window = std::make_unique<CRelayDlg>();
        Window->SetPrompter(Boxes.Prompter());
        Window->Create();
        QStringList names;
        for (int i = 0; i < Ui().InComName->count(); ++i)
            names.append(Ui().InComName->itemText(i));
        QCOMPARE(names.mid(0, 4), QStringList({"<Port>", "COM1", "COM10", "COM2"}));
        QVERIFY(names.contains(ComName));
        // The saved COM1 selects COM1 itself, not the COM10 that the search from the third entry meets first.
        QCOMPARE(Ui().InComName->currentText(), QStringLiteral("COM1"));
        QCOMPARE(Ui().OutComName->currentText(), QStringLiteral("COM2"));
        QCOMPARE(Ui().InComSpeed->currentText(), QStringLiteral("<Speed>"));
    }

    void aWrongSavedNameOpensNoOtherPort_data()
    {
        QTest::addColumn<QString>("saved");
        QTest::newRow("empty") << QString("");
        QTest::newRow("COM0") << QStringLiteral("COM0");
        QTest::newRow("COM256") << QStringLiteral("COM256");
        QTest::newRow("a path") << QStringLiteral("COM1/../x");
    }

    void aWrongSavedNameOpensNoOtherPort()
    {
        QFETCH(QString, saved);
        PtyPair other;
        other.MapTo(12);
        SaveSelection(1, QStringLiteral("9600"));
        SettingsFile().Write(QStringLiteral("InComName"), saved);
        Window = std::make_unique<CRelayDlg>();
        Window->SetPrompter(Boxes.Prompter());
        Window->Create();
        QCOMPARE(Ui().InComName->currentText(), saved);
        Ui().Start->click();
        QCOMPARE(Boxes.Texts(), QStringList {"Select a valid Port in Settings!"});
        QVERIFY(LineIsFree(*Line) && LineIsFree(other));
        QCOMPARE(SettingsFile().ReadString(QStringLiteral("InComName"), QStringLiteral("-")), saved);
    }

    void framesReachTheClockField()
    {
        Launch();
        QCOMPARE(Ui().InComName->currentText(), ComName);
        Ui().Start->click();
        QCOMPARE(Boxes.Texts(), QStringList());
        QCOMPARE(Ui().Start->text(), QStringLiteral("STOP"));
        QCOMPARE(Ui().Status->text(), QStringLiteral("Started Server mode !"));

        QVERIFY(Line->Write(QByteArray("\x02"
                                       "123456\x03")));
        QTRY_COMPARE(Clock(), QStringLiteral("12:34:56"));
        QVERIFY(Line->Write(QByteArray("9x\r\n\x02"
                                       " 90507")));
        QTRY_COMPARE(Clock(), QStringLiteral("09:05:07"));
        QVERIFY(Line->Write(QByteArray("\x02"
                                       "12\x02"
                                       "345")));
        QTRY_COMPARE(Clock(),
                     QStringLiteral("12:\x02"
                                    "3:45"));
        // A frame split across writes is still one frame.
        QVERIFY(Line->Write(QByteArray("\x02"
                                       "23")));
        QTest::qWait(50);
        QVERIFY(Line->Write(QByteArray("5959")));
        QTRY_COMPARE(Clock(), QStringLiteral("23:59:59"));
        QCOMPARE(Ui().Status->text(), QStringLiteral(" Clients disconnected !"));
    }

    void bytesBeforeStartAreDropped()
    {
        Launch();
        QVERIFY(Line->Write(QByteArray("\x02"
                                       "111111")));
        Ui().Start->click();
        QTest::qWait(200);
        QCOMPARE(Clock(), QStringLiteral("- -:- -:- -"));
        QVERIFY(Line->Write(QByteArray("\x02"
                                       "222222")));
        QTRY_COMPARE(Clock(), QStringLiteral("22:22:22"));
    }

    void stopWithASilentSourceLetsTheLineGo()
    {
        Launch();
        Ui().Start->click();
        QVERIFY(!LineIsFree(*Line));
        Ui().Start->click();
        QCOMPARE(Ui().Status->text(), QStringLiteral("Server stopped !"));
        QCOMPARE(Clock(), QStringLiteral("- -:- -:- -"));
        QCOMPARE(Window->Relay().RunFlag, 0);
        QCOMPARE(Window->Relay().SerialHandle(), -1);
        QVERIFY(LineIsFree(*Line));
        // A frame sent after the stop shows nowhere.
        QVERIFY(Line->Write(QByteArray("\x02"
                                       "101010")));
        QTest::qWait(100);
        QCOMPARE(Clock(), QStringLiteral("- -:- -:- -"));
    }

    void aVanishedLineIsReportedAndStopStartRecovers()
    {
        Launch();
        Ui().Start->click();
        QVERIFY(Line->Write(QByteArray("\x02"
                                       "010203")));
        QTRY_COMPARE(Clock(), QStringLiteral("01:02:03"));
        Line->CloseMaster();
        QTRY_COMPARE(Ui().Status->text(), QStringLiteral("Error 5 reading COM200 !"));
        QVERIFY(Ui().Start->isChecked());
        QCOMPARE(Window->Relay().RunFlag, 1);
        QCOMPARE(Clock(), QStringLiteral("01:02:03"));

        Ui().Start->click();
        PtyPair replugged;
        replugged.MapTo(Com);
        Ui().Start->click();
        QCOMPARE(Ui().Status->text(), QStringLiteral("Started Server mode !"));
        QVERIFY(replugged.Write(QByteArray("\x02"
                                           "040506")));
        QTRY_COMPARE(Clock(), QStringLiteral("04:05:06"));
        Ui().Start->click();
    }

    void openFailures_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        QTest::addColumn<unsigned>("icon");
        QTest::newRow("busy input") << 1 << "COM200 is busy !"
                                    << "Tickview error:" << unsigned(MB_ICONSTOP);
        QTest::newRow("busy output") << 0 << "COM200 is busy !"
                                     << "Horaline error:" << unsigned(MB_ICONSTOP);
    }

    void openFailures()
    {
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(QString, title);
        QFETCH(unsigned, icon);
        const int holder = ::open(QFile::encodeName(Line->SlavePath).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0);
        Launch(mode);
        Ui().Start->click();
        ::close(holder);
        QCOMPARE(Boxes.Texts(), QStringList {text});
        QCOMPARE(Boxes.Boxes[0].title, title);
        QCOMPARE(Boxes.Boxes[0].type, icon);
        // The server side listens before it opens its line, and says so.
        QCOMPARE(Ui().Status->text(), mode == 0 ? text : QStringLiteral(" Waiting for Clients ..."));
        QVERIFY(!Ui().Start->isChecked());
        QCOMPARE(Window->Relay().SerialHandle(), -1);
    }

    void secondWindowFindsTheLineBusy()
    {
        Launch();
        Ui().Start->click();
        BoxRecorder otherBoxes;
        CRelayDlg other;
        other.SetPrompter(otherBoxes.Prompter());
        other.Create();
        other.Controls().Start->click();
        QCOMPARE(otherBoxes.Texts().size(), 2);
        QVERIFY(otherBoxes.Texts()[0].startsWith(QStringLiteral("Error <%1> listening on port ").arg(EADDRINUSE)));
        QCOMPARE(otherBoxes.Texts()[1], QStringLiteral("COM200 is busy !"));
        QVERIFY(!other.Controls().Start->isChecked());
        // Busy by the lock alone: on a pseudo-terminal the exclusive flag would outlive a relay killed.
        int exclusive = 1;
        QVERIFY(::ioctl(Window->Relay().SerialHandle(), TIOCGEXCL, &exclusive) == 0);
        QCOMPARE(exclusive, 0);
    }

    void aDeviceGoneSinceStartUpDoesNotExist()
    {
        Launch();
        Line.reset();
        Ui().Start->click();
        QCOMPARE(Boxes.Texts(), QStringList {"COM200 doesn't exist !"});
        QCOMPARE(Boxes.Boxes[0].title, QStringLiteral("Tickview error:"));
        QVERIFY(!Ui().Start->isChecked());
    }

    void aMappedDeviceThatIsNoSerialLine()
    {
        {
            SettingsFile ports(QStringLiteral("Ports"));
            ports.Write(QStringLiteral("COM200"), QStringLiteral("/dev/null"));
        }
        Launch();
        Ui().Start->click();
        QCOMPARE(Boxes.Texts(), QStringList {"Error 25 reading COM200 state !"});
        QCOMPARE(Window->Relay().SerialHandle(), -1);
    }

    void speedPlaceholderIsRefusedAfterTheOpen_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        QTest::newRow("input") << 1 << "Select Speed!"
                               << "Please ...";
        QTest::newRow("output") << 0 << "Select COM200 speed !"
                                << "Please:";
    }

    void speedPlaceholderIsRefusedAfterTheOpen()
    {
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(QString, title);
        Launch(mode, QStringLiteral("<Speed>"));
        Ui().Start->click();
        QCOMPARE(Boxes.Texts(), QStringList {text});
        QCOMPARE(Boxes.Boxes[0].title, title);
        QCOMPARE(Boxes.Boxes[0].type, unsigned(MB_ICONEXCLAMATION));
        QVERIFY(LineIsFree(*Line));
        QCOMPARE(Window->Relay().SerialHandle(), -1);
    }

    void lineSettingsAfterAnOpen()
    {
        termios before {};
        {
            const int slave = ::open(QFile::encodeName(Line->SlavePath).constData(), O_RDWR | O_NOCTTY);
            QVERIFY(slave >= 0);
            QCOMPARE(::tcgetattr(slave, &before), 0);
            before.c_cflag |= CRTSCTS | PARENB | CSTOPB;
            before.c_iflag |= IXON | ICRNL;
            QCOMPARE(::tcsetattr(slave, TCSANOW, &before), 0);
            ::close(slave);
        }
        Launch(1, QStringLiteral("19200"));
        Ui().Start->click();
        termios line {};
        QCOMPARE(::tcgetattr(Window->Relay().SerialHandle(), &line), 0);
        QCOMPARE(::cfgetispeed(&line), speed_t(B19200));
        QCOMPARE(::cfgetospeed(&line), speed_t(B19200));
        QCOMPARE(line.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(line.c_cflag & (PARENB | CSTOPB), tcflag_t(0));
        QCOMPARE(line.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        QCOMPARE(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t(0));
        QCOMPARE(line.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP), tcflag_t(0));
        QCOMPARE(line.c_oflag & OPOST, tcflag_t(0));
        // The port's own flow control stays as it was.
        QCOMPARE(line.c_cflag & CRTSCTS, tcflag_t(CRTSCTS));
        QCOMPARE(line.c_iflag & IXON, tcflag_t(IXON));
    }

    void anUnlistedSpeedIsKeptAndRefused()
    {
        const auto lineSpeed = [this] {
            const int slave = ::open(QFile::encodeName(Line->SlavePath).constData(), O_RDWR | O_NOCTTY);
            termios line {};
            ::tcgetattr(slave, &line);
            return std::pair {slave, line};
        };
        {
            auto [slave, line] = lineSpeed();
            ::cfsetspeed(&line, B4800);
            ::tcsetattr(slave, TCSANOW, &line);
            ::close(slave);
        }
        Launch(1, QStringLiteral("115200"));
        QCOMPARE(Ui().InComSpeed->currentText(), QStringLiteral("115200"));
        Ui().Start->click();
        // Never run at a speed left over from another program: the line is refused, as with no speed.
        QCOMPARE(Boxes.Texts(), QStringList {"Select Speed!"});
        QCOMPARE(Window->Relay().SerialHandle(), -1);
        auto [slave, line] = lineSpeed();
        ::close(slave);
        QCOMPARE(::cfgetospeed(&line), speed_t(B4800));
        QCOMPARE(SettingsFile().ReadString(QStringLiteral("InComSpeed"), QString()), QStringLiteral("115200"));
    }

    void clientFramesReachTheDisplayLine()
    {
        OpenDisplayLine();
        if (QTest::currentTestFailed())
            return;
        Window->Relay().DistributeClock();
        QCOMPARE(Line->Read(10),
                 QByteArray("\x02"
                            "123456\x03\x00\x00",
                            10));
        QCOMPARE(Ui().Status->text(), QStringLiteral("COM200 is transmitting"));

        // Not running: the frame is built, nothing is written and the status stays.
        Window->Relay().RunFlag = 0;
        StoreReceivedText(Window->Relay().ClockBuffer, "23:59:58");
        Window->Relay().DistributeClock();
        QCOMPARE(Line->Read(1, 200), QByteArray());
        QCOMPARE(QByteArray(Window->Relay().OutputFrame.data(), 10),
                 QByteArray("\x02"
                            "235958\x03\x00\x00",
                            10));
    }

    void aHeldBackLineGivesUpAndRecovers()
    {
        OpenDisplayLine();
        if (QTest::currentTestFailed())
            return;
        // Nobody reads the line: once its buffers are full, a write gives up instead of hanging.
        for (int i = 0; i < 100000 && !Ui().Status->text().startsWith(QLatin1String("Error")); ++i)
            Window->Relay().DistributeClock();
        QCOMPARE(Ui().Status->text(), QStringLiteral("Error 110 writing to COM200 !"));
        QByteArray shown = Line->Read(1 << 20, 300);
        Window->Relay().DistributeClock();
        QCOMPARE(Ui().Status->text(), QStringLiteral("COM200 is transmitting"));
        shown += Line->Read(1 << 20, 300);
        // The frame the line cut short was finished before the next began: the display saw only whole ones.
        QCOMPARE(shown.size() % 10, 0);
        for (qsizetype at = 0; at < shown.size(); at += 10)
            QCOMPARE(shown.mid(at, 10),
                     QByteArray("\x02"
                                "123456\x03\x00\x00",
                                10));
        Window->Relay().StopClient();
    }
};

HORALINE_TEST_MAIN(TestSerialPort)
#include "tst_serialport.moc"
