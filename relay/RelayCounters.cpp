#include "relay/RelayCounters.h"

QString CounterName(Counter which)
{
    static const std::array<const char*, CounterCount> names {
        "valuesRelayed",  "valuesNotATime",  "lineLosses",     "serverLosses",
        "sourceSwitches", "clientsAdmitted", "clientsRefused", "reloadsRefused",
    };
    return QLatin1String(names[size_t(which)]);
}

QJsonObject RelayCounters::Report() const
{
    QJsonObject report;
    for (size_t i = 0; i < CounterCount; ++i)
        report.insert(CounterName(Counter(i)), qint64(Counts[i]));
    return report;
}
