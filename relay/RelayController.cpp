#include "relay/RelayController.h"

#include "config/SettingsLists.h"
#include "relay/RelayLog.h"
#include "relay/RelayView.h"
#include "serial/Boxes.h"
#include "serial/Strings.h"
#include "settings/SettingsPath.h"
#include "sources/LineSource.h"
#include "sources/ServerSource.h"

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>

RelayController::RelayController(RelayView* view, QObject* parent)
    : QObject(parent)
    , Clients(Events, *this,
              [this] {
                  // A value from before the source fell silent is no time to give anyone: the client waits
                  // for the next.
                  if (Health.Fresh(2000))
                      DistributeClock();
              })
    , View(view)
    , Choice(Events, [this](const Sample& value) { RelayValue(value); })
    , Display(
          Events,
          [this] {
              // On this computer's clock no server is asked: the next value says the line transmits.
              if (!Config.Source.PrimaryClock)
                  SetStatus(QLatin1String(ConnectTimerId() == 0 ? ConnectedText : ConnectingText));
          },
          OutputFrame)
    , Silence([this] { Events.OnSilence(); })
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
    if (Log.Allows(lcRelay(), QStringLiteral("status changes to \"%1\"").arg(text.trimmed()), QString()))
        qCInfo(lcRelay).noquote() << "status:" << text.trimmed();
    TellHeadline();
}

void RelayController::TellHeadline()
{
    RelayReport standing;
    standing.Running = RunFlag != 0;
    standing.Status = StatusText;
    standing.Clock = Run.ClockSync();
    if (Feed)
        standing.Feed = Feed->Report();
    const QString before = Standing.Headline;
    Standing = StandingOf(standing);
    if (Standing.Headline != before)
        emit HeadlineChanged(Standing.Headline);
}

void RelayController::SetClock(const QString& text)
{
    emit ClockChanged(text);
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
    const LineSource* line = Run.Reading.LineAt(0);
    return line != nullptr ? line->Line.SerialHandle : -1;
}

int RelayController::ConnectTimerId() const
{
    const TimeSource* primary = Run.At(Source::Primary);
    return primary != nullptr ? primary->RetryTimerId() : 0;
}

namespace {

// The part whose socket this is: a source, or else the clock server.
LinkOwner& OwnerOf(const RunSources& run, ClockServer& clients, const CLinkSocket* socket)
{
    LinkOwner* source = run.LinkOf(socket);
    return source != nullptr ? *source : clients;
}

} // namespace

void RelayController::OnLinkAccept()
{
    Clients.OnLinkAccept();
}

void RelayController::OnLinkConnect(CLinkSocket* socket)
{
    OwnerOf(Run, Clients, socket).OnLinkConnect(socket);
}

void RelayController::OnLinkReceive(CLinkSocket* socket)
{
    // Clients of this protocol send nothing; what a stray one sends is left to the system, which holds
    // the sender back once its buffer is full.
    OwnerOf(Run, Clients, socket).OnLinkReceive(socket);
}

void RelayController::OnLinkClose(CLinkSocket* socket)
{
    OwnerOf(Run, Clients, socket).OnLinkClose(socket);
}

void RelayController::OnLinkConnectFailed(CLinkSocket* socket, const QString& why, bool nameUnknown)
{
    OwnerOf(Run, Clients, socket).OnLinkConnectFailed(socket, why, nameUnknown);
}

namespace {

// Relayed all the same, as displays always had them; a line at the wrong speed is the usual cause.
void CountRelayed(RelayHealth& health, const SourceChoice& choice, SourceKind kind, const QString& text)
{
    if (health.Relayed(text))
        return;
    qCWarning(lcRelay).noquote() << QStringLiteral("%1 sends values that are no time of day (e.g. %2): %3")
                                        .arg(choice.NameOf(choice.InUse()), text,
                                             kind == SourceKind::Server ? QStringLiteral("check the speed of its line")
                                                                        : QStringLiteral("check its speed"));
}

} // namespace

bool RelayController::SetListening(bool listen)
{
    Clients.SetListening(listen, Config.ServerPort, Config.Allowed, RestartAtLaunch);
    // A server's values go to its clients, and to chrony where it is fed.
    if (listen) {
        Outputs.Build({&Clients});
        if (Feed)
            Outputs.Add(Feed.get());
    }
    return true;
}

void RelayController::FeedNtp(bool on)
{
    // A feed set up anew by a reload counts on from where the run's feed stood.
    const FeedReport before = Feed && RunFlag != 0 ? Feed->Report() : FeedReport();
    Outputs.Remove(Feed.get());
    Feed.reset();
    if (!on || !Recipe.Feed)
        return;
    Feed = std::make_unique<ChronyFeed>(Events, *Recipe.Feed, before);
    Outputs.Add(Feed.get());
}

void RelayController::RelayValue(const Sample& sample)
{
    ClockValue = sample;
    const QByteArray& value = sample.Text;
    if (Recipe.ToClients) {
        TimeCode code {};
        std::copy_n(value.constData(), std::min<qsizetype>(value.size(), qsizetype(code.size())), code.begin());
        StoreTimeCode(ClockBuffer, code);
        OnClockFrame();
        return;
    }
    StoreReceivedText(ClockBuffer, value);
    CountRelayed(Health, Choice, sample.Kind, QString::fromLatin1(value));
    // The display line before the views: a view can wait a moment, the clock on the wall cannot.
    DistributeClock();
    SetClock(ControlText(ClockBuffer.data(), ClockBuffer.size()));
}

void RelayController::OnClockFrame()
{
    ReplaceSpaces(ClockBuffer);
    const QByteArray text = FormatClockText(ClockBuffer);
    CountRelayed(Health, Choice, ClockValue.Kind, QString::fromLatin1(text));
    // The clients before the views: a view can wait a moment, the clocks on the wall cannot.
    DistributeClock();
    SetClock(ControlText(text.constData(), size_t(text.size())));
}

void RelayController::DistributeClock()
{
    const OutputValue value {ClockValue, ClockBuffer, RunFlag != 0};
    Outputs.Put(value);
    if (value.Running) {
        // While a spare is in use the status line says so, whatever else each value would say.
        const QString spare = Choice.SpareInUse();
        const std::optional<QString> status = Recipe.ToClients
            ? (spare.isEmpty() ? Clients.NobodyText() : std::optional<QString>(spare))
            : Display.StatusText(spare);
        if (status)
            SetStatus(*status);
    }
    // What chrony took of it may have changed how the relay stands.
    if (Feed)
        TellHeadline();
}

RelayReport RelayController::StatusReport() const
{
    const bool server = Recipe.ToClients;
    const bool running = RunFlag != 0;
    const TimeSource* primary = Run.At(Source::Primary);
    const TimeSource* standby = Run.At(Source::Standby);

    RelayReport report;
    report.Pid = QCoreApplication::applicationPid();
    report.Version = QStringLiteral(HORALINE_VERSION);
    report.Settings = SettingsPath();
    report.Server = server;
    report.Running = running;
    report.Status = StatusText.trimmed();
    if (server && primary != nullptr) {
        report.Line = primary->Report();
    } else {
        const SerialLine& display = Display.Line;
        const QString name = server ? Config.InComName : Config.OutComName;
        report.Line = PlaceReport::OfLine(name, display.IsOpen() ? display.Device : ComDeviceIn(name, Config.Ports),
                                          server ? Config.InComSpeed : Config.OutComSpeed);
        report.Line.State = display.IsOpen() ? QStringLiteral("open") : QStringLiteral("lost");
        if (running && !display.IsOpen())
            report.Line.Fault = Display.Fault().trimmed();
    }
    if (!running)
        report.Line.State = QStringLiteral("closed");
    if (server && Clients.ListeningFlag != 0)
        report.Listening = Clients.Port();
    for (const CLinkSocket* client : Clients.ClientList)
        report.Clients.push_back({client->PeerText(), client->ConnectedSince()});
    if (!server) {
        report.Peer
            = primary != nullptr ? primary->Report() : PlaceReport::OfServer(Config.ServerName, Config.ClientPort);
        if (!running)
            report.Peer->State = QStringLiteral("closed");
    }
    if (Feed)
        report.Feed = Feed->Report();
    if (running && Config.Standby.Present)
        report.Standby = Choice.Report(standby != nullptr ? standby->Report() : PlaceReport());

    const bool lineAway = server ? primary == nullptr || !primary->IsOpen() : !Display.Line.IsOpen();
    const bool networkAway = server ? Clients.ListeningFlag == 0 : primary == nullptr || !primary->IsOpen();
    report.Clock = Run.ClockSync();
    // An unsynchronised clock still sends, chrony is fed far codes where it is asked to, and a feed chrony
    // takes nothing of hurts no display: told, as a spare in use is.
    const bool clockOff = running && report.Clock && !report.Clock->Synchronised;
    const bool feedWrong = running && report.Feed && (FeedsFar(*report.Feed) || Starved(*report.Feed));
    report.Health = Health.Health(running, lineAway || networkAway || Choice.InTrouble() || clockOff || feedWrong);
    Health.Fill(report, running);
    return report;
}
