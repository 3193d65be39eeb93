#pragma once

#include "config/RelayConfig.h"
#include "outputs/ChronyFeed.h"
#include "outputs/ClockServer.h"
#include "outputs/DisplayLine.h"
#include "relay/LogThrottle.h"
#include "relay/RelayEvents.h"
#include "relay/RelayHealth.h"
#include "relay/RelayRecipe.h"
#include "relay/SourceChoice.h"
#include "serial/ClockFormat.h"
#include "sources/LineSource.h"
#include "sources/TimeSource.h"

#include <QObject>
#include <QString>
#include <array>
#include <memory>

class RelayView;

// The relay: it runs on the configuration it was started with and conducts its parts: the sources of
// clock values (primary, standby, this computer's clock), the choice between them, and what is fed (the
// clients in server mode, the display line in client mode). It shows nothing itself: its views hear
// what to show through its signals and answer its boxes.
class RelayController final : public QObject, public LinkOwner
{
    Q_OBJECT

public:
    explicit RelayController(RelayView* view, QObject* parent = nullptr);
    ~RelayController() override;

    int MessageBox(const QString& text, const QString& title, unsigned type);

    // START on this configuration; at the restart at launch what heals by itself is waited for without
    // a box. Returns the run flag.
    int Start(const RelayConfig& config, bool restartAtLaunch = false);
    void Stop();
    // Takes the configuration as the settings say it now, in the same mode, redoing only what changed:
    // the allow-list applies at once, a changed line is reopened, a changed port listened on anew, a
    // changed server sought, a changed [Standby] started afresh. No connected client is dropped that the
    // change does not exclude. What changed is logged, with what the caller changed beside it.
    void Reload(const RelayConfig& config, const QStringList& changedElsewhere = {});
    int StartServer();
    int StartClient();
    void StopServer();
    void StopClient();
    // The line of the mode opened at its speed: 1 when open, or awaited where it heals by itself or nobody
    // can be asked (the restart at launch, a reload); 0 when it failed, said in a box.
    int OpenInputPort();
    int OpenOutputPort();

    // A value to relay: the display, then what is fed.
    void OnClockFrame();
    void DistributeClock();

    bool SetListening(bool listen);
    // Every socket reports here; each report goes to the part whose socket it is.
    void OnLinkAccept() override;
    void OnLinkConnect(CLinkSocket* socket) override;
    void OnLinkReceive(CLinkSocket* socket) override;
    void OnLinkClose(CLinkSocket* socket) override;
    void OnLinkConnectFailed(CLinkSocket* socket, const QString& why, bool nameUnknown) override;

    // The status line and the clock field, each a whole text with no history.
    void SetStatus(const QString& text);
    const QString& Status() const { return StatusText; }
    // What stays wrong, and the status line with it beside (see StandingOf).
    const StandingReport& StandingNow() const { return Standing; }
    void SetClock(const QString& text);
    // What the relay is doing, as a status query, the web page and the metrics tell it.
    RelayReport StatusReport() const;
    // A fault the relay heals from, counted for the status query.
    void RecordFault(const QString& text);
    void Count(Counter which);
    // The one open serial line of the mode: the display line, or the primary input line; -1 for none.
    int SerialHandle() const;
    // The client's connection timer while it seeks its server; 0 otherwise.
    int ConnectTimerId() const;

    int RunFlag = 0;
    // While the program ends nobody is asked anything more, and nothing starts.
    bool Ending = false;
    ClockChars ClockBuffer {};
    // The value ClockBuffer holds, as the switch admitted it.
    Sample ClockValue;
    OutputBytes OutputFrame {};
    // What it runs on: the mode, the names, speeds and ports the operator set, [Standby].
    RelayConfig Config;
    ClockServer Clients;
    // Where values go, as the mode's start built them; a part outside the relay attaches its own here.
    RunOutputs Outputs;

signals:
    void StatusChanged(const QString& text);
    void HeadlineChanged(const QString& text);
    void ClockChanged(const QString& text);

private:
    // What its parts say is told on its status line, in its choice and its health.
    friend class RelayEvents;

    // The sources of the recipe, started; the primary is opened by the start itself.
    void StartSources();
    // The primary of the mode started: this computer's clock, the input line with its reader, or the
    // server; 0 where the line failed and the operator was told.
    int StartPrimary();
    void StopSources();
    // One value goes out: six digits in server mode, a received text in client mode.
    void RelayValue(const Sample& sample);
    // chrony fed with the time codes of a server's lines, where [NTP] asks for it; or no longer.
    void FeedNtp(bool on);
    void TellHeadline();

    RelayView* View;
    // Nobody may be there to answer a box at the restart at launch: what heals by itself is waited for.
    bool RestartAtLaunch = false;
    QString StatusText;
    StandingReport Standing;
    // What the configuration's mode makes of this run, read at its start and at each reload.
    RelayRecipe Recipe;
    RelayEvents Events {*this};
    RunSources Run {Events, *this};
    SourceChoice Choice;
    DisplayLine Display;
    std::unique_ptr<ChronyFeed> Feed;
    RelayHealth Health;
    LogGate Log;
    SilenceWatch Silence;
};
