#include "net/NetLog.h"
#include "relay/LineNotes.h"
#include "relay/LineSource.h"
#include "relay/RelayController.h"
#include "relay/RelayLog.h"
#include "relay/ServerSource.h"
#include "relay/Strings.h"
#include "serial/PortMessages.h"

#include <algorithm>

namespace {

// A line is read, a server heard from.
const char* SilencePreposition(const TimeSource& source)
{
    return source.Kind() == SourceKind::Line ? "on" : "from";
}

QString SilenceText(const TimeSource& source)
{
    return QStringLiteral("No time code %1 %2 !").arg(QLatin1String(SilencePreposition(source)), source.Name());
}

} // namespace

// What each source says is told as its part in the relay asks: the primary's on the status line, the
// standby's in the log and the status report; every value goes to the choice between them.

void RelayController::OnSourceValue(TimeSource& source, const Sample& value)
{
    const auto role = Source(
        std::find_if(Sources.begin(), Sources.end(), [&source](const auto& each) { return each.get() == &source; })
        - Sources.begin());
    // Only a source that really speaks ends a silence: this computer's clock never does.
    if (role != Source::OwnClock && Silence.Fed()) {
        qCInfo(lcRelay) << "time codes come again";
        if (StatusText == SilenceText(*Sources[size_t(Source::Primary)]))
            SetStatus(Silence.StatusBefore);
    }
    Sample given = value;
    given.Role = role;
    Choice.Offer(given);
}

void RelayController::OnSourceLost(TimeSource& source, const SourceFault& fault)
{
    const SerialLine* line = source.InputLine();
    Count(line != nullptr ? Counter::LineLosses : Counter::ServerLosses);
    if (&source != Sources[size_t(Source::Primary)].get()) {
        Choice.Lost(Source::Standby);
        Choice.StandbyAway(line != nullptr      ? PortFaultLogText(QStringLiteral("lost"), QString(), fault.error)
                               : fault.rejected ? QStringLiteral("rejected this relay")
                                                : QStringLiteral("lost"));
        return;
    }
    Silence.Stop();
    // Told first, so that a spare taking over has the status line after it.
    if (line != nullptr) {
        TellLineAway(*this, *line, fault.text, fault.error, true);
        return Choice.Lost(Source::Primary);
    }
    if (!fault.word.isEmpty()) {
        // A control word is no time: shown as it came, never written to the display.
        StoreReceivedText(ClockBuffer, fault.word);
        SetClock(ControlText(ClockBuffer.data(), ClockBuffer.size()));
    }
    SetStatus(fault.text);
    RecordFault(fault.text);
    const int retryMs = fault.rejected ? ServerSource::RejectedRetryMs : ServerSource::RetryMs;
    if (LogAllows(lcNet(),
                  fault.rejected ? QStringLiteral("rejections by the server") : QStringLiteral("losses of the server")))
        qCWarning(lcNet).noquote() << (fault.rejected ? "rejected by" : "lost") << "the server" << source.Name()
                                   << "port" << Config.ClientPort << "- asking again every" << retryMs / 1000 << "s";
    Choice.Lost(Source::Primary);
}

void RelayController::OnSourceAway(TimeSource& source, const SourceFault& fault)
{
    if (&source != Sources[size_t(Source::Primary)].get())
        return Choice.StandbyAway(QStringLiteral("cannot be reached: %1").arg(fault.text.trimmed()));
    if (const SerialLine* line = source.InputLine())
        return TellLineAway(*this, *line, fault.text, fault.error, false);
    RecordFault(fault.text);
    qCWarning(lcNet).noquote() << fault.text;
}

void RelayController::OnSourceSought(TimeSource& source)
{
    if (&source == Sources[size_t(Source::Primary)].get())
        SetStatus(QStringLiteral("waiting Server %1 on port %2").arg(source.Name()).arg(Config.ClientPort));
}

void RelayController::OnSourceBack(TimeSource& source)
{
    const SerialLine* line = source.InputLine();
    if (&source != Sources[size_t(Source::Primary)].get()) {
        if (line != nullptr)
            qCInfo(lcRelay).noquote() << "standby" << source.Name() << "open, on" << source.Where();
        else
            qCInfo(lcNet).noquote() << "connected to the standby server" << source.Where();
        return Choice.StandbyBack();
    }
    if (line != nullptr) {
        TellLineBack(*line);
        SetStatus(QLatin1String(StartedServerText));
    } else {
        SetStatus(QLatin1String(ConnectedText));
        if (LogAllows(lcNet(), QStringLiteral("connections to the server")))
            qCInfo(lcNet).noquote() << "connected to the server" << source.Where();
    }
    Silence.Watch();
}

void RelayController::OnSilence()
{
    Silence.StatusBefore = StatusText;
    const TimeSource& primary = *Sources[size_t(Source::Primary)];
    const QString text = SilenceText(primary);
    RecordFault(text);
    qCWarning(lcRelay).noquote() << "no time code" << SilencePreposition(primary) << primary.Name() << "for"
                                 << Silence.Limit() / 1000 << "s";
    // A spare in use has the status line to itself.
    if (Choice.SpareInUse().isEmpty())
        SetStatus(text);
}
