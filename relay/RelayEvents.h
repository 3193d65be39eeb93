#pragma once

#include "outputs/ClockOutput.h"
#include "relay/SourceChoice.h"
#include "sources/TimeSource.h"

class RelayController;

// What the parts of a relay say, told as each one's part in the relay asks. A source's: the primary's
// on the status line, the standby's in the log and the status report, every value to the choice between
// them. An output's and the choice's: on the status line, in the health and the counters, in a box, in
// the relay's log.
class RelayEvents final : public SourceListener, public OutputListener, public RelayHost
{
public:
    explicit RelayEvents(RelayController& relay)
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

    void OnOutputStatus(const QString& text) override;
    void OnOutputFault(const QString& text) override;
    void OnOutputEvent(OutputEvent event) override;
    int OnOutputBox(const QString& text, const QString& title, unsigned type) override;
    bool OnOutputLogAllows(const QLoggingCategory& category, const QString& kind, const QString& source) override;
    void OnOutputSaid(QtMsgType level, const QString& text) override;
    void OnClientsAllowed(const ClientsAllowed& allowed) override;

    void SetStatus(const QString& text) override;
    void RecordFault(const QString& text) override;
    void Count(Counter which) override;
    int MessageBox(const QString& text, const QString& title, unsigned type) override;
    bool LogAllows(const QLoggingCategory& category, const QString& kind, const QString& source = QString()) override;

private:
    bool IsPrimary(const TimeSource& source) const;
    RelayController& Relay;
};
