#pragma once

#include <QLoggingCategory>

// horaline.settings: the settings file. One line per event, never one per clock value.
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
