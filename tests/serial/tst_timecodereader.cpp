#include "relay/ClockEvents.h"
#include "serial/SerialDevice.h"
#include "serial/TimeCodeReader.h"
#include "support/PtyPair.h"

#include <QCoreApplication>
#include <QTest>
#include <thread>

namespace {

// Plays the window: keeps every event the reader posts.
class Collector : public QObject
{
public:
    bool event(QEvent* event) override
    {
        TakeOverIn(this);
        if (event->type() == WM_CLOCKFRAME) {
            const auto* frame = static_cast<ClockFrameEvent*>(event);
            Frames.append(QByteArray(frame->Code.data(), int(frame->Code.size())));
            Runs.append(frame->Run);
            return true;
        }
        if (event->type() == WM_READERROR) {
            Errors.append(static_cast<ReadErrorEvent*>(event)->Error);
            return true;
        }
        return QObject::event(event);
    }

    QList<QByteArray> Frames;
    QList<int> Runs;
    QList<int> Errors;
};

// The slave end opened and set up as the program does it.
int OpenRaw(const PtyPair& line)
{
    const SerialOpenResult opened = OpenSerialDevice(line.SlavePath);
    termios settings {};
    ::tcgetattr(opened.fd, &settings);
    ConfigureLine(settings, SpeedFromText(QStringLiteral("38400")));
    ::tcsetattr(opened.fd, TCSANOW, &settings);
    return opened.fd;
}

} // namespace

class TestTimeCodeReader : public QObject
{
    Q_OBJECT

private slots:
    void framesArriveWholeWithTheirRun()
    {
        PtyPair line;
        const int fd = OpenRaw(line);
        Collector window;
        std::atomic<int> run {1};
        TimeCodeReader reader;
        reader.Start(fd, &run, &window, 7);
        QVERIFY(line.Write(QByteArray("\x02"
                                      "123456\x03"
                                      "noise\x02"
                                      "12\x02"
                                      "345")));
        QTRY_COMPARE(window.Frames.size(), 2);
        QCOMPARE(window.Frames[0], QByteArray("123456"));
        QCOMPARE(window.Frames[1],
                 QByteArray("12\x02"
                            "345"));
        QCOMPARE(window.Runs, QList<int>({7, 7}));
        run = 0;
        reader.Stop();
        CloseSerialDevice(fd, line.SlavePath);
    }

    void aStoppedReaderPostsNothingAndARestartIsClean()
    {
        PtyPair line;
        const int fd = OpenRaw(line);
        Collector window;
        std::atomic<int> run {1};
        TimeCodeReader reader;
        reader.Start(fd, &run, &window, 1);
        run = 0;
        reader.Stop();
        QVERIFY(line.Write(QByteArray("\x02"
                                      "000001")));
        QTest::qWait(50);
        QVERIFY(window.Frames.isEmpty());

        // Restarted at once: the purge drops what came while stopped, the new run tags what follows.
        run = 1;
        reader.Start(fd, &run, &window, 2);
        QVERIFY(line.Write(QByteArray("\x02"
                                      "000002")));
        QTRY_COMPARE(window.Frames, QList<QByteArray>({"000002"}));
        QCOMPARE(window.Runs, QList<int>({2}));
        run = 0;
        reader.Stop();
        CloseSerialDevice(fd, line.SlavePath);
    }

    void aVanishedLineIsReportedOnce()
    {
        PtyPair line;
        const int fd = OpenRaw(line);
        Collector window;
        std::atomic<int> run {1};
        TimeCodeReader reader;
        reader.Start(fd, &run, &window, 3);
        line.CloseMaster();
        QTRY_COMPARE(window.Errors, QList<int>({EIO}));
        QTest::qWait(150);
        QCOMPARE(window.Errors.size(), 1);
        run = 0;
        reader.Stop();
        CloseSerialDevice(fd, line.SlavePath);
    }

    void aStreamWrittenFromAnotherThreadIsNotLost()
    {
        PtyPair line;
        const int fd = OpenRaw(line);
        Collector window;
        std::atomic<int> run {1};
        TimeCodeReader reader;
        reader.Start(fd, &run, &window, 4);
        constexpr int Count = 2000;
        std::thread source([&] {
            for (int i = 0; i < Count; ++i) {
                const QByteArray frame = "\x02" + QByteArray::number(i).rightJustified(6, '0') + "\x03";
                if (!line.Write(frame))
                    return;
            }
        });
        QTRY_COMPARE_WITH_TIMEOUT(window.Frames.size(), Count, 20000);
        source.join();
        for (int i = 0; i < Count; ++i)
            QCOMPARE(window.Frames[i], QByteArray::number(i).rightJustified(6, '0'));
        run = 0;
        reader.Stop();
        CloseSerialDevice(fd, line.SlavePath);
    }
};

QTEST_GUILESS_MAIN(TestTimeCodeReader)
#include "tst_timecodereader.moc"
