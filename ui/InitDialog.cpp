#include "ui/CRelayDlg.h"
#include "ui/HeavyFont.h"
#include "ui/Icons.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMoveEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>

void CRelayDlg::OnInitDialog()
{
    ApplyFieldColours();
    DoDataExchange(false);

    // Both sizes: the desktop picks the 32-pixel image for switchers and the 16-pixel one for title bars.
    setWindowIcon(MainIcon());

    Tray.Add(
        this, [this](unsigned mouse) { OnTrayNotify(TrayIconId, mouse); }, [this](int id) { OnCommand(id); });

    SetDefaults();
    DoDataExchange(false);
    Clock->CreateClockFont();
    // The status line's own height, so that descenders stay inside its frame.
    Ui.Status->setFont(HeavyFontFor(Ui.Status, Ui.Status->contentsRect().height(), QString(), 0));
    LoadSettings();
    EnumeratePorts();
    FillPortLists();
    ListLocalAddresses();
    AddToolTips();

    if (RelayMode == 1)
        EnableServerModeControls();
    else
        EnableClientModeControls();
    Initialised = true;

    if (LaunchRunFlag != 0) {
        Ui.Start->setChecked(true);
        LaunchRestart = true;
        OnStartStop();
        LaunchRestart = false;
    }
    Ui.Start->setFocus();
}

void CRelayDlg::SetDefaults()
{
    // A first launch's values are the configuration's own defaults.
    const RelayConfig defaults;
    InComSpeed = defaults.InComSpeed;
    OutComSpeed = defaults.OutComSpeed;
    InComName = defaults.InComName;
    OutComName = defaults.OutComName;
    ServerName = defaults.ServerName;
    ServerPort = defaults.ServerPort;
    RelayMode = defaults.RelayMode;
    LaunchRunFlag = 0;
    ClientPort = ListenPort = ServerPort;
}

void CentreInWorkArea(QWidget* window)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    QRect frame(QPoint(0, 0), window->frameGeometry().size().expandedTo(window->size()));
    frame.moveCenter(area.center());
    // A work area smaller than the window keeps its title bar reachable.
    frame.moveLeft(std::max(area.left(), std::min(frame.left(), area.right() - frame.width() + 1)));
    frame.moveTop(std::max(area.top(), std::min(frame.top(), area.bottom() - frame.height() + 1)));
    window->move(frame.topLeft());
}

std::optional<QPoint> GeometryPosition(const QString& geometry)
{
    const QRegularExpressionMatch place
        = QRegularExpression(QStringLiteral("^(?:\\d+x\\d+)?\\+(\\d+)\\+(\\d+)$")).match(geometry.trimmed());
    if (!place.hasMatch())
        return std::nullopt;
    return QPoint(place.captured(1).toInt(), place.captured(2).toInt());
}

void CRelayDlg::moveEvent(QMoveEvent* event)
{
    QDialog::moveEvent(event);
    if (CentredInFrame || AskedPlace || frameGeometry().size() == size())
        return;
    CentredInFrame = true;
    CentreInWorkArea(this);
}
