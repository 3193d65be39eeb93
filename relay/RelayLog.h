#pragma once

#include <QLoggingCategory>

// horaline.relay: starts and stops, status texts, boxes, silence. One line per event, never one per clock value.
Q_DECLARE_LOGGING_CATEGORY(lcRelay)
