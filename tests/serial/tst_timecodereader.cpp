#include "serial/ReaderEvents.h"
#include "serial/SerialDevice.h"
#include "serial/TimeCodeReader.h"
#include "support/PtyPair.h"

#include <QCoreApplication>
#include <QTest>
#include <chrono>
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
            Frames.append(QByteArray(frame->Read.Code.data(), int(frame->Read.Code.size())));
            Reads.append(frame->Read);
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
    QList<ReadFrame> Reads;
    QList<int> Runs;
    QList<int> Errors;
};

// A line opened and set up as the program does it, with a reader on it for the given run.
struct ReadingLine
{
    explicit ReadingLine(int runNumber)
    {
        fd = OpenSerialDevice(line.SlavePath).fd;
        termios settings {};
        ::tcgetattr(fd, &settings);
        ConfigureLine(settings, SpeedFromText(QStringLiteral("38400")));
        ::tcsetattr(fd, TCSANOW, &settings);
        reader.Start(fd, &run, &window, runNumber);
    }
    ~ReadingLine() { }

    PtyPair line;
    int fd = -1;
    Collector window;
    std::atomic<int> run {1};
    TimeCodeReader reader;
};

} // namespace

class TestTimeCodeReader : public QObject
{
    Q_OBJECT

private slots:
    void framesArriveWholeWithTheirRun()
    {
        ReadingLine test(7);
        // A master that ends its frame with a terminator, in one read: the frame is the last thing read,
        // the terminator's bytes told, so that its time on the line can be taken off.
        QVERIFY(test.line.Write(QByteArray("\x02"
                                           "123456\r\n")));
        // Handed over while the relay is busy: the moments are still those of the read, taken in the
        // reader.
        const auto written = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        QTRY_COMPARE(test.window.Frames.size(), 1);
        const ReadFrame& fresh = test.window.Reads[0];
        QVERIFY(fresh.At - written < std::chrono::milliseconds(300));
        const auto age = std::chrono::steady_clock::now() - fresh.At;
        const auto wallAge = std::chrono::system_clock::now() - fresh.WallAt;
        QVERIFY(std::chrono::abs(wallAge - age) < std::chrono::milliseconds(100));
        QVERIFY(fresh.Last);
        QCOMPARE(fresh.Trailing, 2);

        // Three frames in one read, as a reader that was not waiting meets them: none is the last thing
        // read, not even the one that ended the read. Nor is a frame with a frame's worth of bytes after it.
        QVERIFY(test.line.Write(QByteArray("\x02"
                                           "123457\x03"
                                           "noise\x02"
                                           "12\x02"
                                           "345\x02"
                                           "000000")));
        QTRY_COMPARE(test.window.Frames.size(), 4);
        QVERIFY(test.line.Write(QByteArray("\x02"
                                           "111111"
                                           "-------")));
        QTRY_COMPARE(test.window.Frames.size(), 5);
        QCOMPARE(test.window.Frames.mid(1),
                 QList<QByteArray>({"123457",
                                    "12\x02"
                                    "345",
                                    "000000", "111111"}));
        QCOMPARE(test.window.Runs, QList<int>({7, 7, 7, 7, 7}));
        for (const ReadFrame& waited : test.window.Reads.mid(1))
            QVERIFY(!waited.Last);
    }

    void aStoppedReaderPostsNothingAndARestartIsClean()
    {
        ReadingLine test(1);
        test.run = 0;
        test.reader.Stop();
        QVERIFY(test.line.Write(QByteArray("\x02"
                                           "000001")));
        QTest::qWait(50);
        QVERIFY(test.window.Frames.isEmpty());

        // Restarted at once: the purge drops what came while stopped, the new run tags what follows.
        test.run = 1;
        test.reader.Start(test.fd, &test.run, &test.window, 2);
        QVERIFY(test.line.Write(QByteArray("\x02"
                                           "000002")));
        QTRY_COMPARE(test.window.Frames, QList<QByteArray>({"000002"}));
        QCOMPARE(test.window.Runs, QList<int>({2}));
    }

    void aFloodIsBoundedAndItsNewestFrameArrives()
    {
        FrameBacklog backlog(2);
        const ReadFrame first {{'0', '0', '0', '0', '0', '1'}, {}, {}};
        const ReadFrame second {{'0', '0', '0', '0', '0', '2'}, {}, {}};
        const ReadFrame third {{'0', '0', '0', '0', '0', '3'}, {}, {}};
        const ReadFrame fourth {{'0', '0', '0', '0', '0', '4'}, {}, {}};
        const auto release = [&backlog]() -> std::optional<TimeCode> {
            const std::optional<ReadFrame> newest = backlog.Release();
            return newest ? std::optional<TimeCode>(newest->Code) : std::nullopt;
        };
        QVERIFY(backlog.Admit(first));
        QVERIFY(backlog.Admit(second));
        // Full: the next frames are held back, only the newest of them kept.
        QVERIFY(!backlog.Admit(third));
        QVERIFY(!backlog.Admit(fourth));
        QCOMPARE(release(), std::nullopt);
        QCOMPARE(release(), std::optional<TimeCode>(fourth.Code));
        // Room again: frames pass, and a frame handed over supersedes one held back.
        QVERIFY(backlog.Admit(first));
        QVERIFY(backlog.Admit(second));
        QVERIFY(!backlog.Admit(third));
        QVERIFY(release() == std::nullopt && backlog.Admit(fourth));
        QCOMPARE(release(), std::nullopt);
        QCOMPARE(release(), std::nullopt);
    }

    void aVanishedLineIsReportedOnce()
    {
        ReadingLine test(3);
        test.line.CloseMaster();
        QTRY_COMPARE(test.window.Errors, QList<int>({EIO}));
        QTest::qWait(150);
        QCOMPARE(test.window.Errors.size(), 1);
    }

    void aStreamWrittenFromAnotherThreadIsNotLost()
    {
        ReadingLine test(4);
        constexpr int Count = 2000;
        std::thread source([&] {
            for (int i = 0; i < Count; ++i) {
                const QByteArray frame = "\x02" + QByteArray::number(i).rightJustified(6, '0') + "\x03";
                if (!test.line.Write(frame))
                    return;
            }
        });
        QTRY_COMPARE_WITH_TIMEOUT(test.window.Frames.size(), Count, 20000);
        source.join();
        for (int i = 0; i < Count; ++i)
            QCOMPARE(test.window.Frames[i], QByteArray::number(i).rightJustified(6, '0'));
    }
};

QTEST_GUILESS_MAIN(TestTimeCodeReader)
#include "tst_timecodereader.moc"
