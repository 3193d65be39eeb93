#pragma once

#include "relay/RelayReport.h"

#include <QByteArray>

// The status report as Prometheus reads it (text format 0.0.4): the same figures `--status --json`
// gives, named and typed as Prometheus advises (horaline_values_relayed_total, …).
QByteArray MetricsText(const RelayReport& report);
