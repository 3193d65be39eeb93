#include "relay/PortEntry.h"
#include "ui/DialogUnits.h"

#include <QTest>

class TestWindowRules : public QObject
{
    Q_OBJECT

private slots:
    void portEntries_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("value");
        QTest::newRow("default") << "6530" << int(PortEntry::Valid) << 6530;
        QTest::newRow("lowest") << "0" << int(PortEntry::Valid) << 0;
        QTest::newRow("highest") << "60000" << int(PortEntry::Valid) << 60000;
        QTest::newRow("spaces around") << "  42 \t" << int(PortEntry::Valid) << 42;
        QTest::newRow("plus sign") << "+7" << int(PortEntry::Valid) << 7;
        QTest::newRow("leading zeros") << "0080" << int(PortEntry::Valid) << 80;
        QTest::newRow("empty") << "" << int(PortEntry::NotAnInteger) << 0;
        QTest::newRow("blank") << "   " << int(PortEntry::NotAnInteger) << 0;
        QTest::newRow("sign alone") << "-" << int(PortEntry::NotAnInteger) << 0;
        QTest::newRow("trailing letters") << "12a" << int(PortEntry::NotAnInteger) << 0;
        QTest::newRow("hexadecimal") << "0x50" << int(PortEntry::NotAnInteger) << 0;
        QTest::newRow("two numbers") << "80 81" << int(PortEntry::NotAnInteger) << 0;
        QTest::newRow("above range") << "60001" << int(PortEntry::OutOfRange) << 0;
        QTest::newRow("stored 70000") << "70000" << int(PortEntry::OutOfRange) << 0;
        QTest::newRow("negative") << "-5" << int(PortEntry::OutOfRange) << 0;
        QTest::newRow("overflowing") << "99999999999999999999999" << int(PortEntry::OutOfRange) << 0;
        QTest::newRow("only 31 characters read") << "1" + QString(30, ' ') + "x" << int(PortEntry::Valid) << 1;
        QTest::newRow("cut inside a number") << QString(29, ' ') + "123" << int(PortEntry::Valid) << 12;
    }

    void portEntries()
    {
        QFETCH(QString, text);
        QFETCH(int, outcome);
        QFETCH(int, value);
        const PortEntry entry = ParsePortEntry(text);
        QCOMPARE(int(entry.outcome), outcome);
        if (outcome == PortEntry::Valid)
            QCOMPARE(entry.value, value);
    }

    void dialogUnitsRoundToNearest()
    {
        const DialogBaseUnits base {6, 13};
        QCOMPARE(DialogToPixels(QRect(254, 11, 32, 14), base), QRect(381, 18, 48, 23));
        QCOMPARE(DialogToPixels(QSize(295, 198), base), QSize(443, 322));
        QCOMPARE(DialogToPixels(QRect(1, 1, 1, 1), DialogBaseUnits {7, 12}), QRect(2, 2, 2, 2));
        QCOMPARE(DialogToPixels(QRect(1, 1, 1, 1), DialogBaseUnits {5, 11}), QRect(1, 1, 1, 1));
    }
};

QTEST_APPLESS_MAIN(TestWindowRules)
#include "tst_windowrules.moc"
