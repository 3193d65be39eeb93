#pragma once

#include <QLoggingCategory>

// horaline.serial: lines lost and back. One line per event, never one per clock value.
Q_DECLARE_LOGGING_CATEGORY(lcSerial)
