#pragma once

#include "serial/ClockFormat.h"
#include "sources/Sample.h"

#include <QString>
#include <QtGlobal>

struct ClientsAllowed;
class QLoggingCategory;

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

// What an output may count.
enum class OutputEvent
{
    ClientAdmitted,
    ClientRefused,
    LineLost,
};

// Who the outputs tell what befalls them: the status line, a fault healed from, an event to count, a
// box, whether the log may have a line of some kind now, a line for the relay's log, and the allow-list
// a listener now admits by.
class OutputListener
{
public:
    virtual void OnOutputStatus(const QString& text) = 0;
    virtual void OnOutputFault(const QString& text) = 0;
    virtual void OnOutputEvent(OutputEvent event) = 0;
    virtual int OnOutputBox(const QString& text, const QString& title, unsigned type) = 0;
    virtual bool OnOutputLogAllows(const QLoggingCategory& category, const QString& kind, const QString& source) = 0;
    virtual void OnOutputSaid(QtMsgType level, const QString& text) = 0;
    virtual void OnClientsAllowed(const ClientsAllowed& allowed) = 0;

protected:
    ~OutputListener() = default;
};
