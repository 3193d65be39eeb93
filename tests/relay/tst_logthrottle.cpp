#include "relay/LogThrottle.h"

#include <QLoggingCategory>
#include <QTest>

class TestLogThrottle : public QObject
{
    Q_OBJECT

private slots:
    void aStormOfLogLinesIsSummedUpOnceAMinute()
    {
        const QLoggingCategory net("test.net");
        const QString refused = QStringLiteral("connections refused");
        LogThrottle throttle;
        int written = 0;
        for (int i = 0; i < LogThrottle::Burst + 412; ++i)
            written += throttle.Admit(net, refused, QStringLiteral("10.0.0.9"), i * 100) ? 1 : 0;
        QCOMPARE(written, LogThrottle::Burst);
        // Each kind has lines of its own; nothing is summed up before its minute ends.
        QVERIFY(throttle.Admit(net, QStringLiteral("clients admitted"), QStringLiteral("10.0.0.9"), 50000));
        QVERIFY(throttle.TakeSummaries(59999).isEmpty());
        QList<LogThrottle::Summary> summaries = throttle.TakeSummaries(60000);
        QCOMPARE(summaries.size(), 1);
        QCOMPARE(summaries[0].category, &net);
        QCOMPARE(summaries[0].line, QStringLiteral("412 connections refused from 10.0.0.9 in the last minute"));

        // The next minute starts afresh; a storm from many addresses does not list them.
        for (int i = 0; i < LogThrottle::Burst + 2; ++i)
            written += throttle.Admit(net, refused, QStringLiteral("10.0.0.%1").arg(i), 70000) ? 1 : 0;
        QCOMPARE(written, 2 * LogThrottle::Burst);
        summaries = throttle.TakeSummaries(130000);
        QCOMPARE(summaries.size(), 1);
        QCOMPARE(summaries[0].line, QStringLiteral("2 connections refused from several addresses in the last minute"));
        QVERIFY(throttle.Idle());
    }
};

QTEST_APPLESS_MAIN(TestLogThrottle)
#include "tst_logthrottle.moc"
