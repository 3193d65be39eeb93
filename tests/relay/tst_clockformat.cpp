#include "relay/ClockFormat.h"
#include "relay/LogThrottle.h"
#include "relay/SourceSwitch.h"

#include <QLoggingCategory>
#include <QTest>
#include <QTime>

namespace {

ClockChars Received(const QByteArray& bytes, ClockChars buffer = {})
{
    StoreReceivedText(buffer, bytes);
    return buffer;
}

QByteArray Frame(const OutputBytes& frame)
{
    return QByteArray(frame.data(), int(frame.size()));
}

QList<QByteArray> Synchronise(const QByteArray& stream)
{
    FrameSync sync;
    QList<QByteArray> codes;
    for (char byte : stream) {
        if (const auto code = sync.Feed(byte))
            codes.append(QByteArray(code->data(), int(code->size())));
    }
    return codes;
}

// A value as an input line sends it: six digits HHMMSS of a second of the day.
QByteArray Time(int second)
{
    return QTime::fromMSecsSinceStartOfDay(second * 1000).toString(QStringLiteral("hhmmss")).toLatin1();
}

} // namespace

class TestClockFormat : public QObject
{
    Q_OBJECT

private slots:
    void synchronisation_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QList<QByteArray>>("codes");
        QTest::newRow("one frame") << QByteArray("\x02"
                                                 "123456")
                                   << QList<QByteArray> {"123456"};
        QTest::newRow("noise before the first STX") << QByteArray("9:\x03"
                                                                  "abc\x02"
                                                                  "123456")
                                                    << QList<QByteArray> {"123456"};
        QTest::newRow("trailing ETX and noise skipped") << QByteArray("\x02"
                                                                      "123456\x03\r\nxx\x02"
                                                                      "123457\x03")
                                                        << QList<QByteArray> {"123456", "123457"};
        QTest::newRow("STX among the digits is a digit") << QByteArray("\x02"
                                                                       "12\x02"
                                                                       "456"
                                                                       "\x02"
                                                                       "000001")
                                                         << QList<QByteArray> {QByteArray("12\x02"
                                                                                          "456"),
                                                                               "000001"};
        QTest::newRow("incomplete frame at the end") << QByteArray("\x02"
                                                                   "12345")
                                                     << QList<QByteArray> {};
        QTest::newRow("no STX at all") << QByteArray("123456123456") << QList<QByteArray> {};
    }

    void synchronisation()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QList<QByteArray>, codes);
        QCOMPARE(Synchronise(stream), codes);
    }

    void storedTimeCodeIsTerminatedAfterSixCharacters()
    {
        ClockChars buffer = Received("AB:CD:EF:GH");
        StoreTimeCode(buffer, {'1', '2', '3', '4', '5', '6'});
        QCOMPARE(QByteArray(buffer.data()), QByteArray("123456"));
    }

    void displayAndNetworkTexts_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("plain") << QByteArray("123456") << QByteArray("12:34:56");
        QTest::newRow("space padded hour") << QByteArray(" 90507") << QByteArray("09:05:07");
        QTest::newRow("every field padded") << QByteArray(" 1 2 3") << QByteArray("01:02:03");
        QTest::newRow("non-digits pass unchanged") << QByteArray("AB1234") << QByteArray("AB:12:34");
    }

    void displayAndNetworkTexts()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, shown);
        ClockChars buffer {};
        StoreTimeCode(buffer, {input[0], input[1], input[2], input[3], input[4], input[5]});
        ReplaceSpaces(buffer);
        QCOMPARE(FormatClockText(buffer), shown);
        QCOMPARE(FormatNetMessage(buffer), shown);
        QCOMPARE(FormatNetMessage(buffer).size(), NetMessageSize);
    }

    void spaceReplacementStopsAtEightCharacters()
    {
        ClockChars buffer = Received("1 3 5 7 9 B");
        ReplaceSpaces(buffer);
        QCOMPARE(QByteArray(buffer.data()), QByteArray("103050709 B"));
    }

    void outputFrameOfAClockMessage()
    {
        const QByteArray expected("\x02"
                                  "123456\x03\x00\x00",
                                  10);
        QCOMPARE(Frame(FormatOutputFrame(Received("12:34:56"))), expected);
    }

    void receivedTextIsCutAtElevenBytes()
    {
        const ClockChars buffer = Received("12:34:5612:34:57");
        QCOMPARE(QByteArray(buffer.data()), QByteArray("12:34:5612:"));
    }

    void sixteenBytesAsElevenThenFive()
    {
        const QByteArray arrived("12:34:5612:34:57");
        ClockChars buffer = Received(arrived.left(ReceiveLimit));
        QCOMPARE(Frame(FormatOutputFrame(buffer)),
                 QByteArray("\x02"
                            "123456\x03\x00\x00",
                            10));
        // The second text is short: positions 6 and 7 still hold what the first text left there.
        buffer = Received(arrived.mid(ReceiveLimit), buffer);
        QCOMPARE(QByteArray(buffer.data()), QByteArray("34:57"));
        QCOMPARE(Frame(FormatOutputFrame(buffer)),
                 QByteArray("\x02"
                            "34575"
                            "6\x03\x00\x00",
                            10));
    }

    void shortTextTakesTerminatorAndLeftovers()
    {
        ClockChars buffer = Received("12:34:56");
        buffer = Received("99", buffer);
        QCOMPARE(Frame(FormatOutputFrame(buffer)),
                 QByteArray("\x02"
                            "9934"
                            "56\x03\x00\x00",
                            10));
        buffer = Received("1", Received("12:3"));
        QCOMPARE(Frame(FormatOutputFrame(buffer)),
                 QByteArray("\x02"
                            "1\x00"
                            "3\x00\x00\x00\x03\x00\x00",
                            10));
    }

    void classification_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("kind");
        QTest::newRow("rejected") << QByteArray("Rejected") << int(ReceivedKind::Rejected);
        QTest::newRow("server lost") << QByteArray("Srv lost") << int(ReceivedKind::ServerLost);
        QTest::newRow("clock") << QByteArray("12:34:56") << int(ReceivedKind::Clock);
        QTest::newRow("case matters") << QByteArray("REJECTED") << int(ReceivedKind::Clock);
        QTest::newRow("shorter") << QByteArray("Srv los") << int(ReceivedKind::Clock);
        QTest::newRow("word with more bytes") << QByteArray("Srv lost12:") << int(ReceivedKind::Clock);
        QTest::newRow("word after a clock") << QByteArray("56Rejected") << int(ReceivedKind::Clock);
    }

    void classification()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, kind);
        // Leftovers of a longer earlier text beyond the terminator must not change the verdict.
        const ClockChars buffer = Received(text, Received("XXXXXXXXXXX"));
        QCOMPARE(int(ClassifyReceivedText(buffer)), kind);
    }

    void controlTextEndsAtFirstZero()
    {
        const char text[] = {'A', 'B', '\0', 'C'};
        QCOMPARE(ControlText(text, sizeof text), QStringLiteral("AB"));
        const char unterminated[] = {'1', '2', '3'};
        QCOMPARE(ControlText(unterminated, sizeof unterminated), QStringLiteral("123"));
        const char latin1[] = {'\xB0', 'C', '\0'};
        QCOMPARE(ControlText(latin1, sizeof latin1), QStringLiteral("\u00B0C"));
    }

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

    void theSourceInUseFollowsWhoSpeaks()
    {
        SourceSwitch sw(3000, true, true);
        sw.Restart(0);
        // Both speak, the standby 300 ms after the primary: only the primary's values go out.
        for (int n = 0; n <= 5; ++n) {
            QCOMPARE(sw.Offer(Source::Primary, Time(100 + n), n * 1000), Time(100 + n));
            QCOMPARE(sw.Offer(Source::Standby, Time(100 + n), n * 1000 + 300), std::nullopt);
        }
        // The primary falls silent: the standby takes over the moment the silence reaches After, with the
        // value it holds if that is newer than the last one relayed.
        QCOMPARE(sw.Offer(Source::Standby, Time(106), 6300), std::nullopt);
        QCOMPARE(sw.Offer(Source::Standby, Time(107), 7300), std::nullopt);
        QCOMPARE(sw.NextCheck(7300), 8001);
        QCOMPARE(sw.Update(8000), std::nullopt);
        QCOMPARE(sw.Update(8001), Time(107));
        QCOMPARE(sw.InUse(), Source::Standby);
        // The primary is back, once and then after a break: the standby's still, until the primary has
        // sent for 10 s without one.
        QCOMPARE(sw.Offer(Source::Primary, Time(108), 8500), std::nullopt);
        for (int n = 9; n < 21; ++n) {
            if (n >= 11)
                QCOMPARE(sw.Offer(Source::Primary, Time(100 + n), n * 1000), std::nullopt);
            QCOMPARE(sw.Offer(Source::Standby, Time(100 + n), n * 1000 + 300), Time(100 + n));
        }
        QCOMPARE(sw.Offer(Source::Primary, Time(121), 21000), Time(121));
        QCOMPARE(sw.Offer(Source::Standby, Time(121), 21300), std::nullopt);
        // Both gone: this computer's clock at once; the first value of a source ends it.
        sw.Lost(Source::Standby, 21500);
        QCOMPARE(sw.InUse(), Source::Primary);
        QCOMPARE(sw.Lost(Source::Primary, 21600), std::nullopt);
        QCOMPARE(sw.InUse(), Source::OwnClock);
        QCOMPARE(sw.Offer(Source::OwnClock, Time(122), 22002), Time(122));
        QCOMPARE(sw.Offer(Source::Standby, Time(123), 23000), Time(123));
        QCOMPARE(sw.InUse(), Source::Standby);
        QCOMPARE(sw.Offer(Source::OwnClock, Time(124), 24002), std::nullopt);
    }

    void aLostSourceHandsOverAtOnce()
    {
        SourceSwitch sw(10000, true, false);
        sw.Restart(0);
        QCOMPARE(sw.Offer(Source::Primary, Time(0), 0), Time(0));
        QCOMPARE(sw.Offer(Source::Standby, Time(0), 500), std::nullopt);
        // Lost, not silent: no waiting for After. The standby's held second was shown already.
        QCOMPARE(sw.Lost(Source::Primary, 1100), std::nullopt);
        QCOMPARE(sw.InUse(), Source::Standby);
        QCOMPARE(sw.Offer(Source::Standby, Time(1), 1500), Time(1));
        // The primary is back but not steady when the standby goes: the primary at once, not nothing.
        QCOMPARE(sw.Offer(Source::Primary, Time(2), 2000), std::nullopt);
        QCOMPARE(sw.Offer(Source::Standby, Time(2), 2500), Time(2));
        QCOMPARE(sw.Lost(Source::Standby, 2700), std::nullopt);
        QCOMPARE(sw.InUse(), Source::Primary);
        QCOMPARE(sw.Offer(Source::Primary, Time(3), 3000), Time(3));
        // What the standby holds is handed over while it is at most a second old, never later.
        QCOMPARE(sw.Offer(Source::Standby, Time(4), 4000), std::nullopt);
        QCOMPARE(sw.Lost(Source::Primary, 5001), std::nullopt);
        QCOMPARE(sw.Offer(Source::Primary, Time(6), 6000), std::nullopt);
        QCOMPARE(sw.Offer(Source::Standby, Time(6), 6000), Time(6));
        QCOMPARE(sw.Offer(Source::Primary, Time(7), 7000), std::nullopt);
        QCOMPARE(sw.Lost(Source::Standby, 7900), Time(7));

        // Silence counts from the start, or once a client's server had its first attempt and a second.
        SourceSwitch line(2000, true, false);
        line.Restart(0);
        QCOMPARE(line.NextCheck(0), 2001);
        line.Restart(0, 3000);
        QCOMPARE(line.NextCheck(0), 5001);
    }

    void theDisplaysNeverSeeASecondTwiceOrBehind()
    {
        // The primary sends 50 ms after each second, the standby 300 ms after; the primary drops 150 ms
        // after a second turns. Midnight is a step forward.
        SourceSwitch sw(3000, true, false);
        sw.Restart(0);
        QList<QByteArray> shown;
        const auto show = [&shown](const std::optional<QByteArray>& value) {
            if (value)
                shown.append(*value);
        };
        const int last = 24 * 3600 - 1;
        for (int n = 0; n < 4; ++n) {
            show(sw.Offer(Source::Primary, Time((last + n) % 86400), n * 1000 + 50));
            show(sw.Offer(Source::Standby, Time((last + n) % 86400), n * 1000 + 300));
        }
        show(sw.Lost(Source::Primary, 3150));
        show(sw.Offer(Source::Standby, Time(3), 4300));
        QCOMPARE(shown, (QList<QByteArray> {Time(last), Time(0), Time(1), Time(2), Time(3)}));

        // This computer's clock in use, the primary returns within the same second: once only.
        SourceSwitch own(2000, false, true);
        own.Restart(0);
        QCOMPARE(own.Offer(Source::Primary, Time(100), 0), Time(100));
        QCOMPARE(own.Update(2001), std::nullopt);
        QCOMPARE(own.Offer(Source::OwnClock, Time(102), 2002), Time(102));
        QCOMPARE(own.Offer(Source::Primary, Time(102), 2051), std::nullopt);
        QCOMPARE(own.InUse(), Source::Primary);
        // A clock set back is followed only once it has insisted for 10 s; a text that is no time passes.
        QCOMPARE(own.Offer(Source::Primary, Time(50), 3000), std::nullopt);
        QCOMPARE(own.Offer(Source::Primary, Time(59), 12000), std::nullopt);
        QCOMPARE(own.Offer(Source::Primary, Time(60), 12002), Time(60));
        QCOMPARE(own.Offer(Source::Primary, "ab:cd:ef", 13000), QByteArray("ab:cd:ef"));

        // Exactly 12 h either way is behind; a second less is ahead.
        SourceSwitch half(2000, true, false);
        half.Restart(0);
        QCOMPARE(half.Offer(Source::Primary, Time(0), 0), Time(0));
        QCOMPARE(half.Offer(Source::Primary, Time(12 * 3600), 1000), std::nullopt);
        QCOMPARE(half.Offer(Source::Primary, Time(12 * 3600 - 1), 2000), Time(12 * 3600 - 1));

        // The autumn change: 02:59:59, then 02:00:00 at once, as Rome's zone tells at its moment; a step
        // back of another size, or later, is still held.
        const QTimeZone rome("Europe/Rome");
        const QDateTime change(QDate(2026, 10, 25), QTime(1, 0), Qt::UTC);
        ZoneSteps steps(rome);
        QCOMPARE(steps.BackAt(change.addMSecs(2), SourceSwitch::BreakMs), 3600);
        QCOMPARE(steps.BackAt(change.addMSecs(-1500), SourceSwitch::BreakMs), 3600);
        QCOMPARE(steps.BackAt(change.addSecs(3), SourceSwitch::BreakMs), 0);
        QCOMPARE(steps.BackAt(QDateTime(QDate(2026, 3, 29), QTime(1, 0), Qt::UTC), SourceSwitch::BreakMs), 0);
        SourceSwitch autumn(2000, true, false);
        autumn.Restart(0);
        QCOMPARE(autumn.Offer(Source::Primary, Time(3 * 3600 - 1), 1000), Time(3 * 3600 - 1));
        autumn.ZoneSteppedBack(3600, 2000);
        QCOMPARE(autumn.Offer(Source::Primary, Time(2 * 3600), 2000), Time(2 * 3600));
        QCOMPARE(autumn.Offer(Source::Primary, Time(2 * 3600 + 1), 3000), Time(2 * 3600 + 1));
        autumn.ZoneSteppedBack(3600, 3500);
        QCOMPARE(autumn.Offer(Source::Primary, Time(2 * 3600 - 1800), 4000), std::nullopt);
        QCOMPARE(autumn.Offer(Source::Primary, Time(3600 + 3), 6000), std::nullopt);

        // A relay of one source passes each value as its source sends it, twice or behind.
        SourceSwitch alone(3000, false, false);
        alone.Restart(0);
        for (const int second : {5, 5, 4})
            QCOMPARE(alone.Offer(Source::Primary, Time(second), 0), Time(second));
        QCOMPARE(SecondOfDay("23:59:59"), 86399);
        QCOMPARE(SecondOfDay(" 90507"), 9 * 3600 + 5 * 60 + 7);
        QCOMPARE(SecondOfDay("246000"), std::nullopt);
    }
};

QTEST_APPLESS_MAIN(TestClockFormat)
#include "tst_clockformat.moc"
