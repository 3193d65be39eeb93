#pragma once

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
