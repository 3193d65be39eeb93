#pragma once

// Every line on stderr with its time and level, so that a journal or ~/.xsession-errors tells what
// happened and when; QT_MESSAGE_PATTERN still has the last word. Each folder logs under a category of
// its own (horaline.relay, .serial, .net, .settings); QT_LOGGING_RULES quiets any of them, e.g.
// "horaline.relay.info=false".
void InstallLogFormat();
