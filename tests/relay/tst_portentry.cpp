#include "config/PortEntry.h"

#include <QTest>

class TestPortEntry : public QObject
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
};

QTEST_APPLESS_MAIN(TestPortEntry)
#include "tst_portentry.moc"
