#pragma once

#include "net/AllowList.h"
#include "net/CLinkSocket.h"
#include "relay/ClockFormat.h"
#include "relay/LogThrottle.h"
#include "relay/MessageStream.h"
#include "relay/RelayConfig.h"
#include "relay/RetryTimer.h"
#include "relay/SilenceWatch.h"
#include "relay/SourceSelector.h"
#include "serial/FrameWriter.h"
#include "serial/TimeCodeReader.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <atomic>
#include <optional>
#include <termios.h>

enum class PortSide;
struct PortFault;
class QLoggingCategory;
class QTimer;
class RelayView;

// The relay: it owns the configuration it was started on, the run state and every serial and network
// resource. It reads no control and shows nothing itself: its views hear what to show through its
// signals and answer its boxes.
class RelayController final : public QObject, public LinkOwner
{
    Q_OBJECT

public:
    explicit RelayController(RelayView* view, QObject* parent = nullptr);
    ~RelayController() override;

    int MessageBox(const QString& text, const QString& title, unsigned type);
    // While the program ends nobody is asked anything more, and nothing starts.
    void SetEnding() { Ending = true; }
    bool IsEnding() const { return Ending; }

    // START on this configuration; at the restart at launch what heals by itself is waited for without
    // a box. Returns the run flag.
    int Start(const RelayConfig& config, bool restartAtLaunch = false);
    void Stop();
    // Takes the configuration as the settings say it now, in the same mode, redoing only what changed:
    // the allow-list applies at once, a changed line is reopened, a changed port listened on anew, a
    // changed server sought. No connected client is dropped that the change does not exclude. What
    // changed is logged.
    void Reload(const RelayConfig& config);
    // What it runs, in a line: "server: COM3 = /dev/ttyUSB0 at 9600, listening on 6530".
    QString RunDescription() const;
    int StartServer();
    int StartClient();
    void StopServer();
    void StopClient();

    // Serial side.
    int OpenInputPort();
    int OpenOutputPort();
    int OpenSerialPort(PortSide side);
    void CloseSerialPort();
    // Opens and sets up the line of one side without a word; on failure nothing stays open.
    std::optional<PortFault> TryOpenSerialPort(PortSide side);
    // Opens a COM name's device and sets it up; on failure nothing stays open.
    static std::optional<PortFault> OpenLineDevice(const QString& name, const QString& speed, int& handle,
                                                   QString& opened, termios& line);
    void StartReader();
    // Returns once the reader has ended: only then may one of its lines close.
    void StopReader();

    // Clock values.
    void OnClockFrame();
    void DistributeClock();

    // Network side.
    bool SetListening(bool listen);
    void CloseClients();
    void BroadcastClock(const QByteArray& message);
    void OnLinkAccept() override;
    void OnLinkConnect(CLinkSocket* socket) override;
    void OnLinkReceive(CLinkSocket* socket) override;
    void OnLinkSend() override;
    void OnLinkClose(CLinkSocket* socket) override;
    void OnLinkConnectFailed(CLinkSocket* socket, const QString& why, bool nameUnknown) override;
    void DropClient(CLinkSocket* client, const QString& why);
    bool CreateConnectSocket();
    void StartConnectTimer(int intervalMs);
    void OnServerLost();
    void OnTimer(int id);

    // Recovery: a lost line is opened again, a lost server sought again, a silent source told.
    void OnLineLost(PortSide side, const QString& why, int error);

    // The status line and the clock field, each a whole text with no history.
    void SetStatus(const QString& text);
    const QString& Status() const { return StatusText; }
    void SetClock(const QString& text);
    // What a status query is told: one JSON object with stable names, "health" among them.
    QJsonObject StatusReport() const;
    // Whether a line of this kind of event may go to the log now; a storm of them is summed up instead.
    bool LogAllows(const QLoggingCategory& category, const QString& kind, const QString& source = QString());

    // Relay state, in the order the controller's documentation lists it.
    int ConnectTimerId = 0;
    int ConnectArmed = 0;
    QString OutComSpeed;
    QString InComSpeed;
    QString OutComName;
    QString InComName;
    QString ServerName;
    int ServerPort = 0;
    QList<CLinkSocket*> ClientList;
    int ListeningFlag = 0;
    int ClientsFlag = 0;
    ClockChars ClockBuffer {};
    int RunFlag = 0;
    std::atomic<int> ReaderRunFlag {0};
    termios SerialDcb {};
    int SerialHandle = -1;
    OutputBytes OutputFrame {};
    int RelayMode = -1;
    int ClientPort = 0;
    // How long a client may take nothing of the values that wait for it before its place is freed.
    qint64 ClientStallLimitMs = 60000;
    CLinkSocket ListenSocket;
    CLinkSocket ConnectSocket;

signals:
    void StatusChanged(const QString& text);
    void ClockChanged(const QString& text);

protected:
    bool event(QEvent* event) override;

private:
    void RefreshRelayMode();
    // The configuration becomes the relay's own, in the members its operations read.
    void TakeConfig(const RelayConfig& config);
    const QString& PortName(PortSide side) const;
    enum class LineOpening
    {
        Open,
        Failed,
        Awaited,
    };
    LineOpening OpenLine(PortSide side);
    void AwaitLine(PortSide side, const QString& why, int error);
    // The device the line's COM name stands for now, for the log.
    QString LineDevice(PortSide side) const;
    bool ReopenLine(PortSide side);
    // The line is open again: what runs on it starts.
    void ResumeLine(PortSide side);
    // What differs from the configuration it runs, e.g. "InComName COM3 -> COM4".
    // deviceNow: where the open line's name points now, nothing while it is not open.
    QStringList ChangesTo(const RelayConfig& config, const AllowList& allowed,
                          const std::optional<QString>& deviceNow) const;
    // Clients this list no longer admits are told "Rejected" and closed.
    void ApplyAllowList(const AllowList& allowed);
    // After clients went: the status line says how many are left.
    void TellClientCount();
    int ReportPortFault(PortSide side, const PortFault& fault);
    int OpenListener();
    void KeepListening();
    void WatchForSilence();
    void OnSilence();
    void OnValueArrived();
    void StopRecovery();
    void TakeClockText(const QByteArray& text);
    void TakeControlWord(const QByteArray& word);

    // The standby source and this computer's clock, when [Standby] asks for them.
    void StartStandby();
    void StopStandby();
    // [Standby] changed at a reload: the spare sources start afresh, the primary runs on.
    void RestartStandby();
    QString SourceName(Source source) const;
    // A value came from this source: true when it is the one to relay; otherwise it is held back.
    bool Offered(Source from, const QByteArray& value);
    // One value goes out: six digits in server mode, a received text in client mode.
    void RelayValue(const QByteArray& value);
    void RelayHeld(Source source);
    void SourceLost(Source which);
    void CheckSources();
    // While a spare is in use the status line says which, whatever each value would say; empty otherwise.
    QString SpareInUse() const;
    // The source in use changed since before: the status line and the log say so. Whether it changed.
    bool NoteSource(Source before);
    // A standby that dies, or comes back, is said at once, whichever source is in use.
    void NoteStandbyAlive(bool alive, const QString& why);
    void ScheduleOwnClock();
    void SendOwnClock();
    void ConnectStandby();
    void SeekStandby(int intervalMs);
    void OnStandbyConnected();
    void OnStandbyFailed(const QString& why);
    void OnStandbyReceive();
    // The standby server went away, or said "Rejected": sought again, a full one only every 10 s.
    void StandbyLost(bool rejected);
    // The standby's input line, read by the same reader as the primary's.
    void OpenStandbyLine();
    bool ReopenStandbyLine();
    void OnStandbyLineLost(int error);
    void CloseStandbyLine();
    // A fault the relay heals from, counted for the status query.
    void RecordFault(const QString& text);
    QString Health() const;

    RelayView* View;
    bool Ending = false;
    // Nobody may be there to answer a box at the restart at launch: what heals by itself is waited for.
    bool RestartAtLaunch = false;
    QString StatusText;
    QString SerialDevice;
    FrameWriter DisplayWriter;
    TimeCodeReader Reader;
    int ReaderRun = 0;
    // When the last value came; a newly admitted client is given it only while it is the time of now.
    QElapsedTimer LastValue;
    QString LastValueText;
    // Since when it runs, and the faults it met meanwhile.
    QDateTime RunSince;
    QElapsedTimer RunClock;
    int FaultCount = 0;
    QString LastFault;
    QDateTime LastFaultAt;
    // The server's messages, found in the stream whatever its segments.
    MessageStream Incoming;
    LogThrottle Throttle;
    QElapsedTimer LogClock;
    QTimer* LogSummaries = nullptr;
    RetryTimer LineRetry;
    // Why the line is away, as the status last said it.
    QString LineFault;
    RetryTimer ListenRetry;
    // The client's connection timer: an attempt each tick until the server answers.
    RetryTimer ConnectRetry;
    SilenceWatch Silence;
    QString StatusBeforeSilence;
    // Who may take a place, as the settings said when the listener opened.
    AllowList Allowed;
    // Why the server could not be reached, as the log last said it.
    QString ServerFault;
    StandbyConfig Standby;
    std::optional<SourceSelector> Selector;
    QElapsedTimer SourceClock;
    QTimer* SourceCheck = nullptr;
    QTimer* SwitchCheck = nullptr;
    struct Held
    {
        QByteArray value;
        qint64 at = 0;
    };
    Held HeldPrimary;
    Held HeldStandby;
    QTimer* OwnClockTick = nullptr;
    CLinkSocket StandbySocket;
    MessageStream StandbyIncoming;
    RetryTimer StandbyRetry;
    int StandbyHandle = -1;
    QString StandbyDevice;
    termios StandbyDcb {};
    RetryTimer StandbyLineRetry;
    // Whether the standby was last said to be alive, and why it could not be reached.
    bool StandbyAlive = true;
    QString StandbyFault;
    // A full server is asked again only every ten seconds.
    bool RejectedByServer = false;
};
