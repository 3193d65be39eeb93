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

// Log lines reach stderr through a thread of their own and a bounded queue: a log nobody reads (a
// full pipe, a terminal stopped with Ctrl+S, a slow journal) holds up that thread alone, never the
// relay. A line that finds the queue full is dropped and counted; the count is said once the log
// takes lines again.
void InstallLogWriter();

// Gives what is queued a moment to go out before the program ends, and no longer.
void FlushLog(int timeoutMs);

// Descriptors 0 to 2 that the program was started without are opened on /dev/null, so that no socket
// or display connection takes their place and receives what is meant for stderr.
void OpenMissingStandardDescriptors();
