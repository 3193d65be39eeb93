#pragma once

#include "relay/LogThrottle.h"

#include <QElapsedTimer>
#include <QTimer>

// The relay's log throttle on the clock of the event loop: what it held back is summed up in a line
// once its minute is over, by a timer that runs only while something is counted.
class LogGate
{
public:
    LogGate();
    LogGate(const LogGate&) = delete;
    LogGate& operator=(const LogGate&) = delete;

    // Whether a line of this kind of event may go to the log now.
    bool Allows(const QLoggingCategory& category, const QString& kind, const QString& source);

private:
    LogThrottle Throttle;
    QElapsedTimer Clock;
    QTimer Summaries;
};
