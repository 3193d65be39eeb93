#pragma once

#include "outputs/ClockOutput.h"
#include "sources/TimeSource.h"

class RelayController;

// What each source of a relay says, told as its part in the relay asks: the primary's on the status
// line, the standby's in the log and the status report; every value goes to the choice between them.
class SourceEvents final : public SourceListener
{
public:
    explicit SourceEvents(RelayController& relay)
        : Relay(relay)
    { }

    void OnSourceValue(TimeSource& source, const Sample& value) override;
    void OnSourceLost(TimeSource& source, const SourceFault& fault) override;
    void OnSourceAway(TimeSource& source, const SourceFault& fault) override;
    void OnSourceSought(TimeSource& source) override;
    void OnSourceBack(TimeSource& source) override;
    void OnSourceSync(TimeSource& source, const ClockReport& sync) override;
    void OnSourceSteppedBack(TimeSource& source, std::chrono::seconds back) override;
    // The primary said nothing for longer than a value may take.
    void OnSilence();
    // The primary's line is away: said on the status line, in the health and in the log.
    void LineAway(const SerialLine& line, const SourceFault& fault, bool first);

private:
    bool IsPrimary(const TimeSource& source) const;

    RelayController& Relay;
};

// What the outputs say: on the status line, in the health and the counters, in a box, in the relay's log.
class OutputEvents final : public OutputListener
{
public:
    explicit OutputEvents(RelayController& relay)
        : Relay(relay)
    { }

    void OnOutputStatus(const QString& text) override;
    void OnOutputFault(const QString& text) override;
    void OnOutputEvent(OutputEvent event) override;
    int OnOutputBox(const QString& text, const QString& title, unsigned type) override;
    bool OnOutputLogAllows(const QLoggingCategory& category, const QString& kind, const QString& source) override;
    void OnOutputSaid(QtMsgType level, const QString& text) override;
    void OnClientsAllowed(const ClientsAllowed& allowed) override;

private:
    RelayController& Relay;
};
