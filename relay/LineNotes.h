#pragma once

#include <QString>

class RelayHost;
class SerialLine;

// What the operator is told of a line the relay runs on (the primary input line, the display line):
// away, with the device and the system's words, the first time and again only for a new reason; back.
void TellLineAway(RelayHost& host, const SerialLine& line, const QString& why, int error, bool first);
void TellLineBack(const SerialLine& line);
