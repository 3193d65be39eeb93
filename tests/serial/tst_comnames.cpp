#include "serial/Boxes.h"
#include "serial/ComNames.h"
#include "serial/PortMessages.h"
#include "serial/SerialDevice.h"
#include "support/PtyPair.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

class TestComNames : public QObject
{
    Q_OBJECT

private slots:
    void names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number");
        QTest::newRow("first") << "COM1" << 1;
        QTest::newRow("last") << "COM255" << 255;
        QTest::newRow("lower case") << "com7" << 7;
        QTest::newRow("zero") << "COM0" << -1;
        QTest::newRow("past the last") << "COM256" << -1;
        QTest::newRow("leading zero") << "COM01" << -1;
        QTest::newRow("placeholder") << "<Port>" << -1;
        QTest::newRow("default") << "<Name>" << -1;
        QTest::newRow("device path") << "/dev/ttyS0" << -1;
        QTest::newRow("trailing text") << "COM1 " << -1;
    }

    void names()
    {
        QFETCH(QString, name);
        QFETCH(int, number);
        QCOMPARE(ParseComName(name).value_or(-1), number);
    }

    void defaultDevices()
    {
        QCOMPARE(DefaultComDevice(1), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(DefaultComDevice(32), QStringLiteral("/dev/ttyS31"));
        QCOMPARE(DefaultComDevice(33), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(DefaultComDevice(64), QStringLiteral("/dev/ttyUSB31"));
        QCOMPARE(DefaultComDevice(65), QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(DefaultComDevice(96), QStringLiteral("/dev/ttyACM31"));
        QCOMPARE(DefaultComDevice(97), QString());
        QCOMPARE(DefaultComDevice(255), QString());
        const ComDeviceMap explicitDevices {{3, QStringLiteral("/dev/serial/by-id/usb-FTDI")}, {200, "/dev/ttyAMA0"}};
        QCOMPARE(ComDevice(3, explicitDevices), QStringLiteral("/dev/serial/by-id/usb-FTDI"));
        QCOMPARE(ComDevice(200, explicitDevices), QStringLiteral("/dev/ttyAMA0"));
        QCOMPARE(ComDevice(4, explicitDevices), QStringLiteral("/dev/ttyS3"));
    }

    void presenceNeedsACharacterDevice()
    {
        QVERIFY(IsComDevicePresent(QStringLiteral("/dev/null")));
        QVERIFY(!IsComDevicePresent(QStringLiteral("/dev/no-such-line")));
        QVERIFY(!IsComDevicePresent(QStringLiteral("/etc/hostname")));
        QVERIFY(!IsComDevicePresent(QString()));
    }

    void listOrderAndSelection()
    {
        QStringList names {"COM2", "COM10", "<Port>", "COM1", "com3"};
        SortPortNames(names);
        QCOMPARE(names, QStringList({"<Port>", "COM1", "COM10", "COM2", "com3"}));
        // An entry that is the text itself wins over one that only begins with it.
        QCOMPARE(SelectStringIndex(names, QStringLiteral("COM1"), 1), 1);
        QCOMPARE(SelectStringIndex(names, QStringLiteral("COM"), 1), 2);
        QCOMPARE(SelectStringIndex(names, QStringLiteral("COM2"), 1), 3);
        QCOMPARE(SelectStringIndex(names, QStringLiteral("Com3"), 1), 4);
        QCOMPARE(SelectStringIndex(names, QStringLiteral("<Name>"), 1), -1);
        // The search wraps round: the first two entries are looked at last.
        QCOMPARE(SelectStringIndex(names, QStringLiteral("<Po"), 1), 0);
        QCOMPARE(SelectStringIndex({"<Port>", "COM1"}, QStringLiteral("COM1"), 1), 1);
        const QStringList speeds {"<Speed>", "300", "1200", "2400", "4800", "9600", "19200", "38400"};
        QCOMPARE(SelectStringIndex(speeds, QStringLiteral("9600"), 1), 5);
        QCOMPARE(SelectStringIndex(speeds, QStringLiteral("<Speed>"), 1), 0);
        QCOMPARE(SelectStringIndex(speeds, QStringLiteral("57600"), 1), -1);
    }

    void speeds()
    {
        QCOMPARE(SpeedFromText(QStringLiteral("300")).value_or(B0), speed_t(B300));
        QCOMPARE(SpeedFromText(QStringLiteral("38400")).value_or(B0), speed_t(B38400));
        QVERIFY(!SpeedFromText(QStringLiteral("<Speed>")));
        QVERIFY(!SpeedFromText(QStringLiteral("9600 ")));
        QVERIFY(!SpeedFromText(QStringLiteral("115200")));
    }

    void failureMessages()
    {
        const auto text = [](PortSide side, PortFailure failure, int error = 0) {
            const PortMessage m = PortFailureMessage(side, failure, error, QStringLiteral("COM4"));
            return m.text + QLatin1Char('|') + m.title + QLatin1Char('|') + QString::number(IconOf(m.severity), 16);
        };
        QCOMPARE(text(PortSide::Input, PortFailure::InvalidName), "Select a valid Port in Settings!|Please ...|40");
        QCOMPARE(text(PortSide::Output, PortFailure::InvalidName), "Select a valid Port in Settings !|Please ...|40");
        QCOMPARE(text(PortSide::Input, PortFailure::Missing), "COM4 doesn't exist !|Tickview error:|10");
        QCOMPARE(text(PortSide::Output, PortFailure::Busy), "COM4 is busy !|Horaline error:|10");
        QCOMPARE(text(PortSide::Input, PortFailure::Open, 13), "Error 13 accessing COM4 !|Tickview error:|10");
        QCOMPARE(text(PortSide::Output, PortFailure::ReadState, 25),
                 "Error 25 reading COM4 state !|Horaline error:|10");
        QCOMPARE(text(PortSide::Input, PortFailure::NoSpeed), "Select Speed!|Please ...|30");
        QCOMPARE(text(PortSide::Output, PortFailure::NoSpeed), "Select COM4 speed !|Please:|30");
        QCOMPARE(text(PortSide::Input, PortFailure::SetState, 22), "Error 22 setting COM4 state !|Tickview error:|10");
        QCOMPARE(OpenFailure(ENOENT), PortFailure::Missing);
        QCOMPARE(OpenFailure(ENXIO), PortFailure::Missing);
        QCOMPARE(OpenFailure(EBUSY), PortFailure::Busy);
        QCOMPARE(OpenFailure(EACCES), PortFailure::Open);
    }

    // EACCES and EPERM say what mends them where the relay runs, naming the device's owner, group and
    // mode and the user: join the device's serial group; give a device of another group the dialout
    // group by a udev rule, never the user that group; in the group already, allow the device where a
    // service's policy keeps it out.
    void accessHintsNameTheGroupOrThePolicy()
    {
        QTemporaryDir folder;
        const QString device = folder.filePath(QStringLiteral("ttyX"));
        QFile file(device);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup));
        const QString user = QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name);
        const QString own = QString::fromLocal8Bit(::getgrgid(::getegid())->gr_name);
        QVERIFY2(PortFaultLogText(QStringLiteral("COM3 cannot be opened"), device, EPERM)
                     .endsWith(QStringLiteral("%1 is %2:%3, mode 0660 and this process is in the %3 group already: "
                                              "something else keeps it out, as a service's device policy does "
                                              "(systemctl edit horaline@NAME: DeviceAllow=char-<kind> rw)")
                                   .arg(device, user, own)),
                 qPrintable(PortFaultLogText(QString(), device, EPERM)));
        // A pseudo-terminal's owner and mode are its maker's: no udev rule matches one.
        const PtyPair pty;
        const QString made = PortFaultLogText(QString(), pty.SlavePath, EACCES);
        QVERIFY2(made.contains(QStringLiteral("a pseudo-terminal, whose owner and mode are those the program that made "
                                              "it gave it"))
                     && !made.contains(QStringLiteral("KERNEL==")),
                 qPrintable(made));
        // getgrnam answers in one buffer: each group's id is taken before the next is asked.
        const group* dialout = ::getgrnam("dialout");
        const gid_t dialoutId = dialout != nullptr ? dialout->gr_gid : gid_t(-1);
        const group* other = ::getgrnam("nogroup");
        if (::geteuid() != 0 || other == nullptr || dialoutId == gid_t(-1))
            QSKIP("needs root to give the file other groups");
        const gid_t otherId = other->gr_gid;
        QVERIFY(::chown(QFile::encodeName(device).constData(), uid_t(-1), dialoutId) == 0);
        QVERIFY2(
            PortFaultLogText(QString(), device, EACCES)
                .endsWith(QStringLiteral(": the user root needs the dialout group: sudo adduser root dialout, then "
                                         "log in again or restart the service")),
            qPrintable(PortFaultLogText(QString(), device, EACCES)));
        QVERIFY(::chown(QFile::encodeName(device).constData(), uid_t(-1), otherId) == 0);
        const QString hint = PortFaultLogText(QString(), device, EACCES);
        QVERIFY2(hint.contains(QStringLiteral("%1 is root:nogroup, mode 0660, a group no service should join: give "
                                              "the device the dialout group with a udev rule, e.g. SUBSYSTEM==\"tty\", "
                                              "KERNEL==\"ttyX\", GROUP=\"dialout\"")
                                   .arg(device))
                     && !hint.contains(QStringLiteral("adduser root nogroup"))
                     && !hint.contains(QStringLiteral("<user>")),
                 qPrintable(hint));
    }

    void uucpLocks()
    {
        QTemporaryDir folder;
        const QString lock = UucpLockFile(folder.path(), QStringLiteral("/dev/ttyUSB7"));
        QCOMPARE(lock, folder.path() + QStringLiteral("/LCK..ttyUSB7"));
        const auto writeLock = [&](const QByteArray& content) {
            QFile file(lock);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(content);
        };
        QVERIFY(!IsLockedByLiveProcess(lock));
        // A live process other than ours holds it; init (pid 1) always lives.
        writeLock("         1\n");
        QVERIFY(IsLockedByLiveProcess(lock));
        writeLock(QByteArray::number(qint64(::getpid())).rightJustified(10, ' ') + '\n');
        QVERIFY(!IsLockedByLiveProcess(lock));
        writeLock("    999999999\n");
        QVERIFY(!IsLockedByLiveProcess(lock));
        writeLock("garbage");
        QVERIFY(!IsLockedByLiveProcess(lock));

        // A device that is no pseudo-terminal is locked while open, and the lock goes with it.
        SetLockFolders({folder.path()});
        const QString nullLock = UucpLockFile(folder.path(), QStringLiteral("/dev/null"));
        const SerialOpenResult opened = OpenSerialDevice(QStringLiteral("/dev/null"));
        QVERIFY(opened.fd >= 0);
        QVERIFY(QFile::exists(nullLock));
        CloseSerialDevice(opened.fd, QStringLiteral("/dev/null"));
        QVERIFY(!QFile::exists(nullLock));
    }
};

QTEST_APPLESS_MAIN(TestComNames)
#include "tst_comnames.moc"
