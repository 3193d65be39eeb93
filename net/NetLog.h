#pragma once

#include <QLoggingCategory>

// horaline.net: listening, clients, the server. One line per event, never one per clock value.
Q_DECLARE_LOGGING_CATEGORY(lcNet)
