#include "relay/RelayController.h"

#include "relay/Boxes.h"
#include "relay/LineSource.h"
#include "relay/RelayLog.h"
#include "relay/RelayView.h"
#include "relay/ServerSource.h"
#include "relay/Strings.h"

RelayController::RelayController(RelayView* view, QObject* parent)
    : QObject(parent)
    , Clients(*this, *this,
              [this] {
                  // A value from before the source fell silent is no time to give anyone: the client waits
                  // for the next.
                  if (Health.Fresh(2000))
                      DistributeClock();
              })
    , View(view)
    , Choice(*this, [this](const QByteArray& value) { RelayValue(value); })
    , Display(*this, [this] { SetStatus(QLatin1String(ConnectTimerId() == 0 ? ConnectedText : ConnectingText)); })
    , Silence([this] { OnSilence(); })
{ }

RelayController::~RelayController()
{
    // Whatever its view did or did not stop: no reader outlives the line it reads.
    StopSources();
    Display.Close();
}

int RelayController::MessageBox(const QString& text, const QString& title, unsigned type)
{
    // Told in the log as well: a box on a screen nobody watches leaves no trace of its own.
    qCWarning(lcRelay).noquote() << "box" << title << QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '));
    // While the program ends nobody is asked anything more: a box now would hold the end for good.
    return Ending ? DefaultAnswer(type) : View->MessageBox(text, title, type);
}

void RelayController::SetStatus(const QString& text)
{
    // Each text once as it changes: the same text set again, at every value, is no event.
    if (StatusText == text)
        return;
    StatusText = text;
    emit StatusChanged(text);
    if (LogAllows(lcRelay(), QStringLiteral("status changes to \"%1\"").arg(text.trimmed())))
        qCInfo(lcRelay).noquote() << "status:" << text.trimmed();
}

void RelayController::SetClock(const QString& text)
{
    emit ClockChanged(text);
}

bool RelayController::LogAllows(const QLoggingCategory& category, const QString& kind, const QString& source)
{
    return Log.Allows(category, kind, source);
}

void RelayController::RecordFault(const QString& text)
{
    Health.RecordFault(text);
}

void RelayController::Count(Counter which)
{
    Health.Counters.Add(which);
}

int RelayController::SerialHandle() const
{
    if (Display.Line.IsOpen())
        return Display.Line.SerialHandle;
    const auto* line = dynamic_cast<const LineSource*>(Sources[size_t(Source::Primary)].get());
    return line != nullptr ? line->Line.SerialHandle : -1;
}

int RelayController::ConnectTimerId() const
{
    const auto* server = dynamic_cast<const ServerSource*>(Sources[size_t(Source::Primary)].get());
    return server != nullptr ? server->TimerId() : 0;
}

void RelayController::OnLinkAccept()
{
    Clients.OnLinkAccept();
}

LinkOwner& RelayController::OwnerOf(const CLinkSocket* socket)
{
    for (const std::unique_ptr<TimeSource>& source : Sources) {
        if (LinkOwner* owner = source ? source->LinkOf(socket) : nullptr)
            return *owner;
    }
    return Clients;
}

void RelayController::OnLinkConnect(CLinkSocket* socket)
{
    OwnerOf(socket).OnLinkConnect(socket);
}

void RelayController::OnLinkReceive(CLinkSocket* socket)
{
    // Clients of this protocol send nothing; what a stray one sends is left to the system, which holds
    // the sender back once its buffer is full.
    OwnerOf(socket).OnLinkReceive(socket);
}

void RelayController::OnLinkClose(CLinkSocket* socket)
{
    OwnerOf(socket).OnLinkClose(socket);
}

void RelayController::OnLinkConnectFailed(CLinkSocket* socket, const QString& why, bool nameUnknown)
{
    OwnerOf(socket).OnLinkConnectFailed(socket, why, nameUnknown);
}
