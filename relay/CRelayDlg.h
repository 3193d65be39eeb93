#pragma once

#include "net/AllowList.h"
#include "net/CLinkSocket.h"
#include "relay/ClockFormat.h"
#include "relay/LogThrottle.h"
#include "relay/MessageStream.h"
#include "relay/RetryTimer.h"
#include "relay/SilenceWatch.h"
#include "serial/FrameWriter.h"
#include "serial/TimeCodeReader.h"
#include "ui/MessageBox.h"
#include "ui/RelayTemplate.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QFont>
#include <QList>
#include <QString>
#include <atomic>
#include <functional>
#include <optional>
#include <termios.h>
#include <vector>

// The main window and the relay controller in one: it owns the configuration, the run state and every
// serial and network resource for the life of the window.
enum class PortSide;
struct PortFault;
class QLoggingCategory;
class QMenu;
class QTimer;
class QSystemTrayIcon;

// Mouse messages of the notification area, as the tray icon reports them to the window.
constexpr unsigned WM_LBUTTONDBLCLK = 0x0203;
constexpr unsigned WM_RBUTTONDOWN = 0x0204;
constexpr unsigned TrayIconId = 1;

class CRelayDlg final : public QDialog, public LinkOwner
{
    Q_OBJECT

public:
    explicit CRelayDlg(QWidget* parent = nullptr);
    ~CRelayDlg() override;

    // Replaces the modal box, so that tests can see and answer every box.
    void SetPrompter(MessageBoxPrompter prompter);
    // With nobody there (a service, no display): no tray icon, and every box answered with its default.
    void SetUnattended();
    int MessageBox(const QString& text, const QString& title, unsigned type);

    // Initialises the window and shows it; DoModal then runs it until the exit is confirmed.
    void Create();
    int DoModal();
    // Ends the window without asking, through the same shutdown steps as a confirmed exit.
    void EndSession();

    // Relay control.
    void OnStartStop();
    int StartServer();
    int StartClient();
    void StopServer();
    void StopClient();

    // Window behaviour.
    void EnableClientModeControls();
    void EnableServerModeControls();
    void LockConfiguration(int running);
    bool DoDataExchange(bool save);
    // Reads the mode buttons alone: a quiet exchange that never shows a validation box.
    void RefreshRelayMode();
    void OnExitCommand();
    void ShowAboutBox();
    // A command from a button or the tray menu: 2 asks to exit, 3 shows the About box.
    void OnCommand(int id);
    void SetStatus(const QString& text);
    // Whether a line of this kind of event may go to the log now; a storm of them is summed up instead.
    bool LogAllows(const QLoggingCategory& category, const QString& kind, const QString& source = QString());
    void SetClock(const QString& text);
    const RelayControls& Controls() const { return Ui; }

    // Serial side.
    int OpenInputPort();
    int OpenOutputPort();
    int OpenSerialPort(PortSide side);
    void CloseSerialPort();
    // Opens and sets up the line of one side without a word; on failure nothing stays open.
    std::optional<PortFault> TryOpenSerialPort(PortSide side);
    void EnumeratePorts();
    void FillPortLists();
    void StartReader();

    // Clock values.
    void OnClockFrame();
    void DistributeClock();

    // Network side.
    bool SetListening(bool listen);
    void CloseClients();
    void BroadcastClock(const QByteArray& message);
    void OnLinkAccept() override;
    void OnLinkConnect() override;
    void OnLinkReceive(CLinkSocket* socket) override;
    void TakeClockText(const QByteArray& text);
    void TakeControlWord(const QByteArray& word);
    void OnLinkSend() override;
    void OnLinkClose(CLinkSocket* socket) override;
    void DropClient(CLinkSocket* client, const QString& why);
    bool CreateConnectSocket();
    void OnServerLost();
    void OnTimer(int id);
    void ListLocalAddresses();

    // Notification area.
    void OnTrayNotify(unsigned id, unsigned mouseMessage);
    QMenu* TrayMenu() const { return TrayMenuPopup; }
    // Where the desktop has no notification area, minimising must not hide the window for good.
    void SetTrayAvailability(std::function<bool()> available);

    // Settings.
    void LoadSettings();
    void SaveSettings();
    void SaveRunState();

    // Recovery: a lost line is opened again, a lost server sought again, a silent source told.
    void OnLineLost(PortSide side, const QString& why);

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
    std::vector<int> ComPortList;
    int RelayMode = -1;
    int ClientPort = 0;
    int ListenPort = 0;
    // How long a client may take nothing of the values that wait for it before its place is freed.
    qint64 ClientStallLimitMs = 60000;
    CLinkSocket ListenSocket;
    CLinkSocket ConnectSocket;

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void done(int result) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void OnInitDialog();
    void SetDefaults();
    void CreateClockFont();
    void ApplyFieldColours();
    void AddToolTips();
    void OnOK();
    void AddTrayIcon();
    void RemoveTrayIcon();
    void OnDestroy();
    void CentreInWorkArea();
    bool ExchangePort(QLineEdit* field, int& port);
    const QString& PortName(PortSide side) const;
    enum class LineOpening
    {
        Open,
        Failed,
        Awaited,
    };
    LineOpening OpenLine(PortSide side);
    void AwaitLine(PortSide side, const QString& why);
    bool ReopenLine(PortSide side);
    int ReportPortFault(PortSide side, const PortFault& fault);
    int OpenListener();
    void KeepListening();
    void WatchForSilence();
    void OnSilence();
    void OnValueArrived();
    void StopRecovery();
    void WriteModeButtons();
    int ReadModeButtons() const;

    RelayControls Ui;
    QFont ClockFont;
    MessageBoxPrompter Prompter;
    QSystemTrayIcon* Tray = nullptr;
    QMenu* TrayMenuPopup = nullptr;
    std::function<bool()> TrayAvailable;
    bool Unattended = false;
    // The window manager's frame is known only once the window is shown: it is centred again then.
    bool CentredInFrame = false;
    bool Initialised = false;
    bool Destroyed = false;
    bool Ending = false;
    QString SerialDevice;
    FrameWriter DisplayWriter;
    TimeCodeReader Reader;
    int ReaderRun = 0;
    // When the last value came; a newly admitted client is given it only while it is the time of now.
    QElapsedTimer LastValue;
    // The server's messages, found in the stream whatever its segments.
    MessageStream Incoming;
    LogThrottle Throttle;
    QElapsedTimer LogClock;
    QTimer* LogSummaries = nullptr;
    // The clock field is repainted at most this often; the newest value always ends up shown.
    QTimer* ClockRefresh = nullptr;
    QString ClockText;
    // Nobody may be there to answer a box at the restart at launch: what heals by itself is waited for.
    bool RestartAtLaunch = false;
    RetryTimer LineRetry;
    // Why the line is away, as the status last said it.
    QString LineFault;
    RetryTimer ListenRetry;
    SilenceWatch Silence;
    QString StatusBeforeSilence;
    // Who may take a place, as the settings said when the listener opened.
    AllowList Allowed;
    // A full server is asked again only every ten seconds.
    bool RejectedByServer = false;
};
