#include "relay/RelayCounters.h"

QJsonObject RelayCounters::Report() const
{
    static const std::array<QString, size_t(Counter::ReloadsRefused) + 1> names {
        QStringLiteral("valuesRelayed"),  QStringLiteral("valuesNotATime"), QStringLiteral("lineLosses"),
        QStringLiteral("serverLosses"),   QStringLiteral("sourceSwitches"), QStringLiteral("clientsAdmitted"),
        QStringLiteral("clientsRefused"), QStringLiteral("reloadsRefused"),
    };
    QJsonObject report;
    for (size_t i = 0; i < names.size(); ++i)
        report.insert(names[i], qint64(Counts[i]));
    return report;
}
