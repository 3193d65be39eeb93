#include "config/GroupSettings.h"
#include "config/SettingsLists.h"
#include "config/SettingsLoad.h"
#include "relay/RelayController.h"
#include "relay/RelayLog.h"
#include "relay/RelayView.h"
#include "serial/Boxes.h"
#include "serial/SerialLine.h"
#include "serial/SerialLog.h"
#include "serial/Strings.h"
#include "settings/SettingsPath.h"
#include "sources/LineSource.h"
#include "sources/OwnClockSource.h"
#include "sources/ServerSource.h"

#include <QFileInfo>

namespace {

// What it runs, in a line: "server: COM3 = /dev/ttyUSB0 at 9600, listening on 6530"; a line or a server
// that this computer's clock stands in for is never opened, and not named.
QString RunDescription(const RelayConfig& config, const RelayRecipe& recipe)
{
    const auto line = [&config](const QString& name, const QString& speed) {
        const QString device = ComDeviceIn(name, config.Ports);
        return QStringLiteral("%1 = %2 at %3")
            .arg(name, device.isEmpty() ? QStringLiteral("no device") : device, speed);
    };
    const SourcePlan& primary = recipe.Primary;
    const QString source = primary.Kind == SourceKind::Clock ? QStringLiteral("this computer's clock")
        : primary.Kind == SourceKind::Line
        ? line(primary.Name, primary.Speed)
        : QStringLiteral("server %1 port %2").arg(primary.Name, QString::number(primary.Port));
    if (recipe.ToClients)
        return QStringLiteral("server: %1, listening on %2").arg(source, QString::number(config.ServerPort));
    return QStringLiteral("client: %1, %2").arg(source, line(config.OutComName, config.OutComSpeed));
}

} // namespace

int RelayController::Start(const RelayConfig& config, bool restartAtLaunch)
{
    Config = config;
    Recipe = RecipeOf(config);
    RestartAtLaunch = restartAtLaunch;
    Health.Restart();
    // A named file (a service's) has no running state to restore: its relay just starts.
    qCInfo(lcRelay).noquote() << (!RestartAtLaunch      ? "START -"
                                      : SettingsNamed() ? "starts -"
                                                        : "restart at launch -")
                              << RunDescription(Config, Recipe);
    if (const std::optional<QString> fault
        = !config.FileFaults.isEmpty() ? std::optional<QString>(config.FileFaults.first()) : StandbyClash(config)) {
        MessageBox(*fault, QStringLiteral("Please ..."), MB_OK | MB_ICONEXCLAMATION);
        return RunFlag = 0;
    }
    RunFlag = Recipe.ToClients ? StartServer() : StartClient();
    RestartAtLaunch = false;
    if (RunFlag == 0)
        qCWarning(lcRelay) << "the start failed";
    return RunFlag;
}

void RelayController::Stop()
{
    // The mode as the controls hold it now decides which sequence stops the relay.
    Config.RelayMode = View->ExchangeMode();
    qCInfo(lcRelay) << "STOP";
    if (Config.RelayMode == 1)
        StopServer();
    else
        StopClient();
    RunFlag = 0;
}

void RelayController::StartSources()
{
    const StandbyConfig& spare = Config.Standby;
    // At a reload the primary runs on and only the spares start afresh.
    const bool reload = Run.At(Source::Primary) != nullptr;
    if (!reload)
        Run.Make(Source::Primary, Recipe.Primary, Recipe);
    const QString standbyName = Recipe.Standby ? Recipe.Standby->Name : QString();
    if (Recipe.Standby)
        Run.Make(Source::Standby, *Recipe.Standby, Recipe);
    if (Recipe.OwnClock)
        Run.Make(Source::OwnClock, {}, Recipe);
    Choice.Restart(spare, Run.At(Source::Primary)->Name(), standbyName, Recipe.GraceMs);
    // A primary that is away at a reload is not waited for as if it had just started.
    if (reload && !Run.At(Source::Primary)->IsOpen())
        Choice.Lost(Source::Primary);
    if (spare.Present)
        qCInfo(lcRelay).noquote() << "standby:" << (standbyName.isEmpty() ? QStringLiteral("none") : standbyName)
                                  << QStringLiteral("after %1 s").arg(spare.AfterS)
                                  << (spare.OwnClock ? "- then this computer's clock" : "");
    for (const Source spareSource : {Source::Standby, Source::OwnClock}) {
        if (TimeSource* source = Run.At(spareSource))
            source->Start();
    }
}

void RelayController::StopSources()
{
    Silence.Stop();
    Choice.Stop();
    Run.Stop();
}

int RelayController::StartServer()
{
    FeedNtp(true);
    SetListening(true);
    // The end of the program may have come while a box of the listener was open.
    if (Ending)
        return 0;
    StartSources();
    if (StartPrimary() == 0) {
        StopSources();
        return 0;
    }
    Clients.KeepListening();
    return 1;
}

int RelayController::StartPrimary()
{
    TimeSource& primary = *Run.At(Source::Primary);
    switch (primary.Kind()) {
    case SourceKind::Line:
        if (OpenInputPort() == 0)
            return 0;
        Run.Reading.StartReader();
        return 1;
    case SourceKind::Server:
        if (Display.Line.IsOpen())
            SetStatus(QLatin1String(ConnectingText));
        break;
    case SourceKind::Clock:
        // Said first: the clock's start may have something to say after it.
        if (Recipe.ToClients)
            SetStatus(QLatin1String(StartedServerText));
        break;
    }
    primary.Start();
    return 1;
}

int RelayController::StartClient()
{
    if (Config.OutComName == QLatin1String("<Port>")) {
        MessageBox(QStringLiteral("Select Output!"), QStringLiteral("Please:"), MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    if (OpenOutputPort() == 0)
        return 0;
    if (Display.Line.IsOpen() && !Config.Source.PrimaryClock)
        SetStatus(QLatin1String(ConnectingText));
    StartSources();
    if (const std::optional<SourceFault> fault = Run.At(Source::Primary)->Open()) {
        MessageBox(fault->text, fault->title, MB_OK | fault->icon);
        SetStatus(QStringLiteral("Error <%1> creating the Socket !").arg(fault->error));
        StopSources();
        Display.Close();
        return 0;
    }
    return 1;
}

void RelayController::StopServer()
{
    RunFlag = 0;
    StopSources();
    SetStatus(QStringLiteral("Server stopped !"));
    SetClock(QStringLiteral("- -:- -:- -"));
    Health.Forget();
    SetListening(false);
    FeedNtp(false);
    // What stays attached (the screens) hears at once that nothing more comes.
    Outputs.Put({ClockValue, ClockBuffer, false});
}

void RelayController::StopClient()
{
    RunFlag = 0;
    StopSources();
    SetStatus(QStringLiteral("Client stopped !"));
    Display.Close();
    Outputs.Put({ClockValue, ClockBuffer, false});
}

int RelayController::OpenInputPort()
{
    LineSource& primary = *Run.Reading.LineAt(0);
    const std::optional<SourceFault> fault = primary.Open();
    if (!fault) {
        SetStatus(QLatin1String(StartedServerText));
        Silence.Watch();
        return 1;
    }
    if ((RestartAtLaunch && fault->heals) || RunFlag != 0) {
        Events.LineAway(primary.Line, *fault, true);
        primary.Seek();
        Choice.Lost(Source::Primary);
        return 1;
    }
    qCWarning(lcSerial).noquote() << PortFaultLogText(fault->text, primary.Line.DeviceNow(), fault->error);
    MessageBox(fault->text, fault->title, MB_OK | fault->icon);
    return 0;
}

int RelayController::OpenOutputPort()
{
    // A client's values go to its display line, open or awaited.
    Outputs.Build({&Display});
    Display.Line.Configure(Config.OutComName, Config.OutComSpeed, Config.Ports);
    const std::optional<PortFault> fault = Display.Open();
    if (!fault)
        return 1;
    const PortMessage message = PortFailureMessage(PortSide::Output, *fault, Display.Line.Name);
    if ((RestartAtLaunch && HealsByItself(fault->failure)) || RunFlag != 0) {
        Display.Await(message.text, fault->error);
        return 1;
    }
    qCWarning(lcSerial).noquote() << PortFaultLogText(message.text, Display.Line.DeviceNow(), fault->error);
    SetStatus(message.text);
    MessageBox(message.text, message.title, MB_OK | IconOf(message.severity));
    return 0;
}

namespace {

// Where the line's name led when it opened and where it leads now: the path as [Ports] writes it, and
// the device node behind it.
struct LineWay
{
    QString written;
    QString device;
};

// What differs from the configuration it runs (see SettingsChanges), and where its line's name leads;
// the line's way now is nothing while it is not open.
QStringList ChangesTo(const RelayConfig& now, const RelayConfig& next, bool server, const QString& allowedNow,
                      const LineWay& way, const LineWay* wayNext)
{
    QStringList changes = SettingsChanges(now, next, allowedNow);
    const QString& name = server ? now.InComName : now.OutComName;
    if (name != (server ? next.InComName : next.OutComName) || !wayNext)
        return changes;
    // Said as the administrator wrote it; a link that now leads elsewhere (an adapter re-plugged) by its nodes.
    if (way.written != wayNext->written)
        changes.append(QStringLiteral("[%1] %2 %3 -> %4").arg(PortsGroup, name, way.written, wayNext->written));
    else if (way.device != wayNext->device)
        changes.append(QStringLiteral("[%1] %2=%3 leads to %4 -> %5")
                           .arg(PortsGroup, name, way.written, way.device, wayNext->device));
    return changes;
}

} // namespace

void RelayController::Reload(const RelayConfig& config, const QStringList& changedElsewhere)
{
    // A reload keeps the mode: the recipe's outputs are the run's.
    const bool server = Recipe.ToClients;
    LineSource* input = server ? Run.Reading.LineAt(0) : nullptr;
    SerialLine* line = server ? (input != nullptr ? &input->Line : nullptr) : &Display.Line;
    // The same name may stand for another device now: an adapter moved to another socket, say.
    const QString pathNext = line != nullptr ? ComDeviceIn(line->Name, config.Ports) : QString();
    const bool lineOpen = line != nullptr && line->IsOpen();
    const LineWay wayNow = lineOpen ? LineWay {pathNext, QFileInfo(pathNext).canonicalFilePath()} : LineWay();
    const QStringList changes
        = ChangesTo(Config, config, server, Clients.Allowed().Text(),
                    line != nullptr ? LineWay {line->Written, line->Device} : LineWay(), lineOpen ? &wayNow : nullptr)
        + changedElsewhere;
    qCInfo(lcRelay).noquote() << "settings read again:"
                              << (changes.isEmpty() ? QStringLiteral("nothing changed")
                                                    : changes.join(QStringLiteral(", ")));
    const bool lineChanged = server
        ? config.InComName != Config.InComName || config.InComSpeed != Config.InComSpeed
        : config.OutComName != Config.OutComName || config.OutComSpeed != Config.OutComSpeed;
    const bool deviceMoved = lineOpen && wayNow.device != line->Device;
    const bool portChanged = config.ServerPort != Config.ServerPort;
    const bool serverChanged = config.ServerName != Config.ServerName || config.ClientPort != Config.ClientPort;
    const bool standbyChanged = config.Standby != Config.Standby;
    const bool feedChanged = config.Ntp != Config.Ntp || config.InComSpeed != Config.InComSpeed
        || config.Standby.InComSpeed != Config.Standby.InComSpeed;
    // This computer's clock in place of the line or the server, or the other way, is another source, as
    // another server is; a clock that judges its synchronisation anew is made anew.
    const bool maxErrorChanged = config.Source.MaxErrorS != Config.Source.MaxErrorS;
    const bool primaryChanged
        = config.Source.PrimaryClock != Config.Source.PrimaryClock || (config.Source.PrimaryClock && maxErrorChanged);
    Config = config;
    Recipe = RecipeOf(config);
    if (RunFlag == 0)
        return;
    if (server && feedChanged)
        FeedNtp(true);
    if (primaryChanged) {
        Silence.Stop();
        StopSources();
        StartSources();
        StartPrimary();
    } else if (standbyChanged || (maxErrorChanged && Run.At(Source::OwnClock))) {
        Run.DropSpares();
        StartSources();
    }
    if (server) {
        Clients.ApplyAllowList(config.Allowed);
        if (portChanged)
            Clients.MoveTo(config.ServerPort);
    }
    // A primary made anew was made on the names and the line as they are now.
    if (primaryChanged && server)
        return;
    TimeSource* primary = Run.At(Source::Primary);
    // This computer's clock as the primary has no server to change, nor a server an input line.
    if (!server && serverChanged && !Config.Source.PrimaryClock && !primaryChanged) {
        // A server of another name or port is another source, sought afresh.
        Silence.Stop();
        primary->Stop();
        primary = &Run.Make(Source::Primary, Recipe.Primary, Recipe);
        primary->Open();
    }
    if (line == nullptr)
        return;
    // A line being retried is tried next under its new name; an open one is reopened only if it changed.
    line->Configure(server ? config.InComName : config.OutComName, server ? config.InComSpeed : config.OutComSpeed,
                    config.Ports);
    if (line->Reopening() || !(lineChanged || deviceMoved))
        return;
    if (!server)
        return Display.Reopen();
    Silence.Stop();
    primary->Stop();
    OpenInputPort();
}
