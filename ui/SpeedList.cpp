#include "ui/SpeedList.h"

QStringList SpeedListItems()
{
    return {QStringLiteral("<Speed>"), QStringLiteral("300"),  QStringLiteral("1200"),  QStringLiteral("2400"),
            QStringLiteral("4800"),    QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400")};
}
