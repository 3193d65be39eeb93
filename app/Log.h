#pragma once

#include <QLoggingCategory>

// One line per event, never one per clock value; QT_LOGGING_RULES quiets any of them, e.g.
// "horaline.relay.info=false".
Q_DECLARE_LOGGING_CATEGORY(lcRelay)
Q_DECLARE_LOGGING_CATEGORY(lcSerial)
Q_DECLARE_LOGGING_CATEGORY(lcNet)
Q_DECLARE_LOGGING_CATEGORY(lcSettings)

// Every line on stderr with its time and level, so that a journal or ~/.xsession-errors tells what
// happened and when; QT_MESSAGE_PATTERN still has the last word.
void InstallLogFormat();
