#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <optional>

// `Horaline --status [--json]`: asks the running Horaline of these settings and prints its report, as
// text or as its JSON object. Returns what a monitoring plugin expects: 0 relaying, 1 running but
// degraded, 2 not relaying, 3 no Horaline running on these settings.
int QueryStatus(bool json);

// The running Horaline's answer to one request ("status", "raise"); nothing when none answers.
std::optional<QJsonObject> AskRunning(const QByteArray& request);
