#pragma once

#include "relay/RelayController.h"
#include "relay/RelayView.h"
#include "ui/ClockField.h"
#include "ui/MessageBox.h"
#include "ui/RelayTemplate.h"
#include "ui/TrayArea.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLineEdit;

// Mouse messages of the notification area, as the tray icon reports them to the window.
constexpr unsigned WM_LBUTTONDBLCLK = 0x0203;
constexpr unsigned WM_RBUTTONDOWN = 0x0204;
constexpr unsigned TrayIconId = 1;

// The relay's window: the operator's controls and their data exchange, enabling, fonts, tray and About
// box, over the relay controller it starts and stops. What it shows comes from the controller.
class CRelayDlg final : public QDialog, public RelayView
{
    Q_OBJECT

public:
    explicit CRelayDlg(QWidget* parent = nullptr);
    ~CRelayDlg() override;

    RelayController& Relay() { return Controller; }

    // Replaces the modal box, so that tests can see and answer every box.
    void SetPrompter(MessageBoxPrompter prompter);
    int MessageBox(const QString& text, const QString& title, unsigned type) override;
    int ExchangeMode() override;

    // Where the window goes and what its title says instead of the middle of the screen and "Horaline",
    // as Qt's -qwindowgeometry and -qwindowtitle ask any program's first window: two side by side.
    void Place(const std::optional<QPoint>& topLeft, const QString& title);
    // Initialises the window and shows it; DoModal then runs it until the exit is confirmed.
    void Create();
    int DoModal();
    // Ends the window without asking, through the same shutdown steps as a confirmed exit.
    void EndSession();

    // START and STOP: the controls are read into a configuration the controller starts on.
    void OnStartStop();

    // Window behaviour.
    void EnableClientModeControls();
    void EnableServerModeControls();
    void LockConfiguration(int running);
    bool DoDataExchange(bool save);
    void OnExitCommand();
    void ShowAboutBox();
    // A command from a button or the tray menu: 2 asks to exit, 3 shows the About box.
    void OnCommand(int id);
    void SetStatus(const QString& text);
    const RelayControls& Controls() const { return Ui; }

    // The port lists, filled once from the ports found at start-up.
    void EnumeratePorts();
    void FillPortLists();
    void ListLocalAddresses();

    // Notification area.
    void OnTrayNotify(unsigned id, unsigned mouseMessage);
    // Shown, restored and in front, from the tray or minimised.
    void BringToFront();

    // Settings.
    void LoadSettings();
    void SaveSettings();
    void SaveRunState();

    // The dialog data: what the controls show and what START hands to the controller.
    QString OutComSpeed;
    QString InComSpeed;
    QString OutComName;
    QString InComName;
    QString ServerName;
    int ServerPort = 0;
    int RelayMode = -1;
    int ClientPort = 0;
    int ListenPort = 0;
    // The running state the settings held at launch; a relay left running starts again.
    int LaunchRunFlag = 0;
    std::vector<int> ComPortList;
    TrayArea Tray;

protected:
    void done(int result) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void OnInitDialog();
    void SetDefaults();
    void ApplyFieldColours();
    void AddToolTips();
    void OnOK();
    void OnDestroy();
    // What the settings are to hold as the running state: until the restart at launch has its outcome,
    // the state stored.
    int RunState() const { return LaunchRestart ? LaunchRunFlag : Controller.RunFlag; }

    RelayControls Ui;
    RelayController Controller;
    MessageBoxPrompter Prompter;
    std::unique_ptr<ClockField> Clock;
    // The window manager's frame is known only once the window is shown: it is centred again then,
    // unless it was placed where the command line asked.
    bool CentredInFrame = false;
    bool Initialised = false;
    bool Destroyed = false;
    // The start that a relay left running gets at launch: what heals by itself is waited for.
    bool LaunchRestart = false;
};

// The window's data as the configuration the controller starts on, [Standby] as the file holds it.
RelayConfig Configuration(const CRelayDlg& window);

// The mode radio pair: 0 client, 1 server, -1 neither.
void WriteModeButtons(const RelayControls& ui, int mode);
int ReadModeButtons(const RelayControls& ui);

// The window in the middle of the desktop's work area, its title bar always reachable.
void CentreInWorkArea(QWidget* window);

// The position of an X geometry as Qt's -qwindowgeometry takes it ("+40+80", "516x322+600+80");
// nothing for a geometry without one, one from the right or bottom edge, or none at all.
std::optional<QPoint> GeometryPosition(const QString& geometry);
