#include "relay/RelayCounters.h"

QString CounterName(Counter which)
{
    static const std::array<const char*, CounterCount> names {
        "valuesRelayed",  "valuesNotATime",  "lineLosses",     "serverLosses",
        "sourceSwitches", "clientsAdmitted", "clientsRefused", "reloadsRefused",
    };
    return QLatin1String(names[size_t(which)]);
}
