#include "config/SettingsLists.h"
#include "ui/CRelayDlg.h"
#include "ui/ClockField.h"
#include "ui/Icons.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHostInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMoveEvent>
#include <QNetworkInterface>
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
    if (CentredInFrame || frameGeometry().size() == size())
        return;
    CentredInFrame = true;
    CentreInWorkArea(this);
}

namespace {

void PaintBackground(QLabel* field, QColor background, bool blackText)
{
    QPalette palette = field->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Window, background);
        // The local name must stay readable while the server side is disabled.
        if (blackText)
            palette.setColor(group, QPalette::WindowText, Qt::black);
    }
    field->setPalette(palette);
}

} // namespace

void CRelayDlg::ApplyFieldColours()
{
    PaintBackground(Ui.Clock, QColor(255, 200, 230), false);
    PaintBackground(Ui.Status, QColor(100, 255, 100), false);
    PaintBackground(Ui.LocalName, QColor(255, 255, 100), true);
}

void CRelayDlg::AddToolTips()
{
    const std::pair<QWidget*, const char*> tips[] = {
        {Ui.Start, "Activate IO link"},
        {Ui.ModeServer, "Select Server modality"},
        {Ui.ModeClient, "Select Client modality"},
        {Ui.InComName, "RS232 name for the Input signal"},
        {Ui.InComSpeed, "RS232 speed for the Input signal"},
        {Ui.ServerName, "Name of the Server to connect"},
        {Ui.ServerPort, "Server port"},
        {Ui.OutComName, "RS232 name for the Output"},
        {Ui.OutComSpeed, "RS232 speed for the Output"},
        {Ui.Status, "Status messages"},
        {Ui.Clock, "Clock value received"},
        {Ui.About, "Show the About dialog"},
        {Ui.Exit, "Close the program"},
        {Ui.LocalAddrs, "In Server mode use one of these for Clocks"},
    };
    for (const auto& [control, tip] : tips)
        control->setToolTip(QLatin1String(tip));
}

void CRelayDlg::EnumeratePorts()
{
    ComPortList.clear();
    const ComDeviceMap explicitDevices = LoadComDeviceMap();
    for (int number = FirstComNumber; number <= LastComNumber; ++number) {
        if (IsComDevicePresent(ComDevice(number, explicitDevices)))
            ComPortList.push_back(number);
    }
}

namespace {

// Only the untouched default means that nothing was chosen.
const QString NeverChosen = QStringLiteral("<Name>");

// A saved text that no entry has is listed under its own, so that START reports it as it is and the
// file keeps it: a list must never offer another port or speed in its place.
void SelectSaved(QComboBox* list, const QString& saved)
{
    if (saved != NeverChosen && list->findText(saved, Qt::MatchFixedString) < 0)
        list->addItem(saved);
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries.append(list->itemText(i));
    list->setCurrentIndex(std::max(0, SelectStringIndex(entries, saved, 1)));
}

} // namespace

void CRelayDlg::FillPortLists()
{
    QStringList present {QStringLiteral("<Port>")};
    for (int number : ComPortList)
        present.append(QStringLiteral("COM%1").arg(number));
    for (const auto& [list, saved] : {std::pair {Ui.InComName, InComName}, std::pair {Ui.OutComName, OutComName}}) {
        QStringList names = present;
        // A saved port that is away at launch stays the operator's choice: START then uses and saves it.
        if (saved != NeverChosen && !names.contains(saved, Qt::CaseInsensitive))
            names.append(saved);
        SortPortNames(names);
        list->clear();
        list->addItems(names);
        list->setCurrentIndex(0);
    }
    if (Ui.InComName->count() == 1 && Ui.OutComName->count() == 1) {
        // Nothing to choose: the speeds show no selection either, as the names were never matched.
        Ui.InComSpeed->setCurrentIndex(-1);
        Ui.OutComSpeed->setCurrentIndex(-1);
        return;
    }
    SelectSaved(Ui.InComName, InComName);
    SelectSaved(Ui.InComSpeed, InComSpeed);
    SelectSaved(Ui.OutComName, OutComName);
    SelectSaved(Ui.OutComSpeed, OutComSpeed);
}

namespace {

QStringList ClientReachableAddresses(const QList<QHostAddress>& addresses)
{
    QStringList texts;
    for (const QHostAddress& address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            texts.append(address.toString());
    }
    return texts;
}

} // namespace

void CRelayDlg::ListLocalAddresses()
{
    const QString name = QHostInfo::localHostName();
    const QHostInfo host = name.isEmpty() ? QHostInfo() : QHostInfo::fromName(name);
    if (name.isEmpty() || host.error() != QHostInfo::NoError) {
        Controller.MessageBox(QStringLiteral(" Local Computer name not found !"
                                             "\nIt's probably not set in the network parameters so,"
                                             "\nfor setting the 'Tickview2' program (client), you"
                                             "\nmust find a 'local IP address' by yourself."
                                             "\n\n Please look in the network property dialog because"
                                             "\nI'm not able to fill the reference list for you."),
                              QStringLiteral("Problem ..."), MB_OK | MB_ICONSTOP);
        return;
    }
    Ui.LocalName->setText(name.toUpper());
    // Many systems resolve their own name to a loopback address, useless on another machine: the
    // interfaces' own addresses are listed instead.
    QStringList addresses = ClientReachableAddresses(host.addresses());
    if (addresses.isEmpty())
        addresses = ClientReachableAddresses(QNetworkInterface::allAddresses());
    Ui.LocalAddrs->addItems(addresses);
}
