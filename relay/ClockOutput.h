#pragma once

#include "relay/ClockFormat.h"
#include "relay/Sample.h"

#include <QString>
#include <optional>

// Where relayed values go: the clients of a server, the display line of a client, and whatever a start
// builds beside them. Each is handed every value the switch admits, with the clock buffer as it then
// stands, and answers what the status line says after it, if anything.
class ClockOutput
{
public:
    // `spare` names the spare source in use, empty while the primary serves; while the relay is
    // stopped (`running` false) an output keeps the value of now and sends nothing.
    virtual std::optional<QString> Put(const Sample& value, const ClockChars& clock, const QString& spare, bool running)
        = 0;

protected:
    ~ClockOutput() = default;
};
