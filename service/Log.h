#pragma once

// Every line on stderr with its time and level, so that ~/.xsession-errors or a terminal tells what
// happened and when. When stderr is the journal (JOURNAL_STREAM names it), a line starts with its syslog
// priority instead ("<4>" a warning) and the journal keeps the time. QT_MESSAGE_PATTERN still has the
// last word. Each folder logs under a category of its own (horaline.relay, .serial, .net, .settings);
// QT_LOGGING_RULES quiets any of them, e.g. "horaline.relay.info=false". What Qt itself says below an
// error (platform plugins, paths, connections) is not the operator's business and is left out.
void InstallLogFormat();

// Whether stderr is the journal's stream, as systemd tells a service it started.
bool LogIsJournal();
