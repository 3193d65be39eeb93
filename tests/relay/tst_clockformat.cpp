#include "serial/ClockFormat.h"

#include <QTest>

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

    void aSecondOfTheDayIsReadFromEitherForm()
    {
        QCOMPARE(SecondOfDay("23:59:59"), 86399);
        QCOMPARE(SecondOfDay(" 90507"), 9 * 3600 + 5 * 60 + 7);
        QCOMPARE(SecondOfDay("246000"), std::nullopt);
    }
};

QTEST_APPLESS_MAIN(TestClockFormat)
#include "tst_clockformat.moc"
