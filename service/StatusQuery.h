#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <optional>

// `Horaline --status [--json]`: asks the running Horaline of these settings and prints its report, as
// text whose first line is a monitoring plugin's (OK, WARNING, CRITICAL or UNKNOWN, then perfdata), or
// as its JSON object. Returns what such a plugin does: 0 relaying, 1 running but degraded, 2 not
// relaying or none running on these settings, 3 when the running one cannot be asked.
int QueryStatus(bool json);

// The running Horaline's answer to one request ("status", "raise"); nothing when none answers, and why
// in refusal where one runs but may not be asked by this user.
std::optional<QJsonObject> AskRunning(const QByteArray& request, QString* refusal = nullptr);
