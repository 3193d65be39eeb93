#include "relay/RelayEvents.h"

#include "config/SettingsLists.h"
#include "net/NetLog.h"
#include "relay/RelayController.h"
#include "relay/RelayLog.h"
#include "serial/PortMessages.h"
#include "serial/SerialLine.h"
#include "serial/Strings.h"
#include "sources/LineSource.h"
#include "sources/ServerSource.h"

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

bool RelayEvents::IsPrimary(const TimeSource& source) const
{
    return &source == Relay.Run.At(Source::Primary);
}

void RelayEvents::OnSourceValue(TimeSource& source, const Sample& value)
{
    const Source role = Relay.Run.PartOf(source);
    // Only a source that really speaks ends a silence: this computer's clock never does.
    if (role != Source::OwnClock && Relay.Silence.Fed()) {
        qCInfo(lcRelay) << "time codes come again";
        if (Relay.StatusText == SilenceText(*Relay.Run.At(Source::Primary)))
            Relay.SetStatus(Relay.Silence.StatusBefore);
    }
    Sample given = value;
    given.Role = role;
    Relay.Choice.Offer(given);
}

void RelayEvents::OnSourceLost(TimeSource& source, const SourceFault& fault)
{
    const SerialLine* line = source.InputLine();
    Relay.Count(line != nullptr ? Counter::LineLosses : Counter::ServerLosses);
    if (!IsPrimary(source)) {
        Relay.Choice.Lost(Source::Standby);
        Relay.Choice.StandbyAway(line != nullptr      ? PortFaultLogText(QStringLiteral("lost"), QString(), fault.error)
                                     : fault.rejected ? QStringLiteral("rejected this relay")
                                                      : QStringLiteral("lost"));
        return;
    }
    Relay.Silence.Stop();
    // Told first, so that a spare taking over has the status line after it.
    if (line != nullptr) {
        LineAway(*line, fault, true);
        return Relay.Choice.Lost(Source::Primary);
    }
    if (!fault.word.isEmpty()) {
        // A control word is no time: shown as it came, never written to the display.
        StoreReceivedText(Relay.ClockBuffer, fault.word);
        Relay.SetClock(ControlText(Relay.ClockBuffer.data(), Relay.ClockBuffer.size()));
    }
    Relay.SetStatus(fault.text);
    Relay.RecordFault(fault.text);
    const int retryMs = fault.rejected ? ServerSource::RejectedRetryMs : ServerSource::RetryMs;
    if (LogAllows(lcNet(),
                  fault.rejected ? QStringLiteral("rejections by the server") : QStringLiteral("losses of the server")))
        qCWarning(lcNet).noquote() << (fault.rejected ? "rejected by" : "lost") << "the server" << source.Name()
                                   << "port" << Relay.Config.ClientPort << "- asking again every" << retryMs / 1000
                                   << "s";
    Relay.Choice.Lost(Source::Primary);
}

void RelayEvents::OnSourceAway(TimeSource& source, const SourceFault& fault)
{
    if (!IsPrimary(source))
        return Relay.Choice.StandbyAway(QStringLiteral("cannot be reached: %1").arg(fault.text.trimmed()));
    if (const SerialLine* line = source.InputLine())
        return LineAway(*line, fault, false);
    Relay.RecordFault(fault.text);
    qCWarning(lcNet).noquote() << fault.text;
}

void RelayEvents::OnSourceSought(TimeSource& source)
{
    if (IsPrimary(source))
        Relay.SetStatus(QStringLiteral("waiting Server %1 on port %2")
                            .arg(source.Name(), QString::number(Relay.Config.ClientPort)));
}

void RelayEvents::OnSourceBack(TimeSource& source)
{
    const SerialLine* line = source.InputLine();
    if (!IsPrimary(source)) {
        if (line != nullptr)
            qCInfo(lcRelay).noquote() << "standby" << source.Name() << "open, on" << source.Where();
        else
            qCInfo(lcNet).noquote() << "connected to the standby server" << source.Where();
        return Relay.Choice.StandbyBack();
    }
    if (line != nullptr) {
        TellLineBack(*line);
        Relay.SetStatus(QLatin1String(StartedServerText));
    } else {
        Relay.SetStatus(QLatin1String(ConnectedText));
        if (LogAllows(lcNet(), QStringLiteral("connections to the server")))
            qCInfo(lcNet).noquote() << "connected to the server" << source.Where();
    }
    Relay.Silence.Watch();
}

void RelayEvents::OnSilence()
{
    Relay.Silence.StatusBefore = Relay.StatusText;
    const TimeSource& primary = *Relay.Run.At(Source::Primary);
    const QString text = SilenceText(primary);
    Relay.RecordFault(text);
    qCWarning(lcRelay).noquote() << "no time code" << SilencePreposition(primary) << primary.Name() << "for"
                                 << Relay.Silence.Limit() / 1000 << "s";
    // A spare in use has the status line to itself.
    if (Relay.Choice.SpareInUse().isEmpty())
        Relay.SetStatus(text);
}

void RelayEvents::OnSourceSync(TimeSource&, const ClockReport& sync)
{
    const QString text = ClockText(sync);
    // A clock whose error wavers about the limit would fill the log; the status line still tells each change.
    if (LogAllows(lcRelay(), QStringLiteral("changes of this computer's clock's synchronisation"))) {
        if (sync.Synchronised)
            qCInfo(lcRelay).noquote() << text;
        else
            qCWarning(lcRelay).noquote() << text;
    }
    if (!sync.Synchronised)
        Relay.RecordFault(text);
    Relay.SetStatus(text);
}

void RelayEvents::OnSourceSteppedBack(TimeSource&, std::chrono::seconds back)
{
    qCWarning(lcRelay).noquote()
        << QStringLiteral("this computer's clock went back %1 s, too far to wait for: its time is sent from here on")
               .arg(back.count());
}

void RelayEvents::LineAway(const SerialLine& line, const SourceFault& fault, bool first)
{
    Relay.SetStatus(fault.text);
    Relay.RecordFault(fault.text);
    TellLineAway(line, fault.text, fault.error, first);
}

void RelayEvents::OnOutputStatus(const QString& text)
{
    Relay.SetStatus(text);
}

void RelayEvents::OnOutputFault(const QString& text)
{
    Relay.RecordFault(text);
}

void RelayEvents::OnOutputEvent(OutputEvent event)
{
    switch (event) {
    case OutputEvent::ClientAdmitted:
        return Relay.Count(Counter::ClientsAdmitted);
    case OutputEvent::ClientRefused:
        return Relay.Count(Counter::ClientsRefused);
    case OutputEvent::LineLost:
        return Relay.Count(Counter::LineLosses);
    }
}

int RelayEvents::OnOutputBox(const QString& text, const QString& title, unsigned type)
{
    return Relay.MessageBox(text, title, type);
}

bool RelayEvents::OnOutputLogAllows(const QLoggingCategory& category, const QString& kind, const QString& source)
{
    return LogAllows(category, kind, source);
}

void RelayEvents::OnOutputSaid(QtMsgType level, const QString& text)
{
    if (level == QtInfoMsg)
        qCInfo(lcRelay).noquote() << text;
    else
        qCWarning(lcRelay).noquote() << text;
}

void RelayEvents::OnClientsAllowed(const ClientsAllowed& allowed)
{
    TellClientsAllowed(allowed);
}

void RelayEvents::SetStatus(const QString& text)
{
    Relay.SetStatus(text);
}

void RelayEvents::RecordFault(const QString& text)
{
    Relay.RecordFault(text);
}

void RelayEvents::Count(Counter which)
{
    Relay.Count(which);
}

int RelayEvents::MessageBox(const QString& text, const QString& title, unsigned type)
{
    return Relay.MessageBox(text, title, type);
}

bool RelayEvents::LogAllows(const QLoggingCategory& category, const QString& kind, const QString& source)
{
    return Relay.Log.Allows(category, kind, source);
}
