#include <QProcess>
#include <QTest>

// The source and the monitor together, as an operator tests a cable with them.
class TestTimeCodeTool : public QObject
{
    Q_OBJECT

private slots:
    void sourceCountsUpAcrossMidnight()
    {
        QProcess source;
        source.start(QStringLiteral(TIMECODE_TOOL), {"pty", "--start", "23:59:58", "--rate", "20", "--count", "40"});
        QVERIFY(source.waitForReadyRead(10000));
        const QString line = QString::fromLocal8Bit(source.readLine()).trimmed();
        QVERIFY(line.startsWith(QLatin1String("/dev/pts/")));

        QProcess monitor;
        monitor.start(QStringLiteral(TIMECODE_TOOL), {"read", line, "--count", "3"});
        QVERIFY(monitor.waitForFinished(10000));
        QCOMPARE(monitor.exitCode(), 0);
        const QByteArray seen = monitor.readAllStandardOutput();
        // The monitor may join after the first frames; whatever it sees counts up by one second.
        const QList<QByteArray> frames = seen.trimmed().split('\n');
        QCOMPARE(frames.size(), 3);
        QList<QByteArray> expected {"23:59:58", "23:59:59"};
        for (int second = 0; second < 38; ++second)
            expected.append("00:00:" + QByteArray::number(second).rightJustified(2, '0'));
        const qsizetype first = expected.indexOf(frames[0]);
        QVERIFY2(first >= 0 && first <= 37, seen.constData());
        QCOMPARE(frames, expected.mid(first, 3));
        QVERIFY(source.waitForFinished(10000));
        QCOMPARE(source.exitCode(), 0);
    }

    void badArgumentsAreRefusedPlainly()
    {
        QProcess tool;
        tool.start(QStringLiteral(TIMECODE_TOOL), {"write", "/dev/null", "--start", "25:00:00"});
        QVERIFY(tool.waitForFinished(10000));
        QCOMPARE(tool.exitCode(), 1);
        QVERIFY(tool.readAllStandardError().contains("--start HH:MM:SS"));

        tool.start(QStringLiteral(TIMECODE_TOOL), {"read", "/dev/no-such-line"});
        QVERIFY(tool.waitForFinished(10000));
        QCOMPARE(tool.exitCode(), 1);
        QVERIFY(tool.readAllStandardError().contains("cannot open /dev/no-such-line"));

        tool.start(QStringLiteral(TIMECODE_TOOL), {"write", "/dev/null"});
        QVERIFY(tool.waitForFinished(10000));
        QCOMPARE(tool.exitCode(), 1);
        QVERIFY(tool.readAllStandardError().contains("/dev/null is no serial line"));
    }
};

QTEST_GUILESS_MAIN(TestTimeCodeTool)
#include "tst_timecodetool.moc"
