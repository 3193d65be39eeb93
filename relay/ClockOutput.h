#pragma once

#include "serial/ClockFormat.h"
#include "sources/Sample.h"

// One value on its way out: the sample as the switch admitted it, the clock buffer as it then stands,
// and whether the relay runs; a stopped relay's outputs keep the value of now and send nothing.
struct OutputValue
{
    Sample Admitted;
    ClockChars Clock {};
    bool Running = true;
};

// Where relayed values go: the clients of a server, the display line of a client, chrony's feed, and
// whatever a start builds beside them. Each is handed every value the switch admits and says nothing
// of it to the status line: the relay tells what it shows from how its outputs stand.
class ClockOutput
{
public:
    virtual void Put(const OutputValue& value) = 0;

protected:
    ~ClockOutput() = default;
};
