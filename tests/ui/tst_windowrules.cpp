#include "ui/RelayTemplate.h"

#include <QTest>

class TestWindowRules : public QObject
{
    Q_OBJECT

private slots:
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
