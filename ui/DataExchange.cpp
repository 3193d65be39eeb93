#include "config/PortEntry.h"
#include "config/RelaySettings.h"
#include "config/SettingKeys.h"
#include "ui/CRelayDlg.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <array>

void WriteModeButtons(const RelayControls& ui, int mode)
{
    // An exclusive pair refuses to uncheck its last checked button; a stored mode that is neither
    // value must still show both unchecked.
    for (QPushButton* button : {ui.ModeClient, ui.ModeServer}) {
        button->setAutoExclusive(false);
        button->setChecked(false);
    }
    if (mode == 0)
        ui.ModeClient->setChecked(true);
    else if (mode == 1)
        ui.ModeServer->setChecked(true);
    for (QPushButton* button : {ui.ModeClient, ui.ModeServer})
        button->setAutoExclusive(true);
}

int ReadModeButtons(const RelayControls& ui)
{
    if (ui.ModeClient->isChecked())
        return 0;
    if (ui.ModeServer->isChecked())
        return 1;
    return -1;
}

namespace {

// A port field read into its value; a text that is no port is said in the framework's words, with the
// field given the focus for a second try.
bool ExchangePort(RelayController& relay, QLineEdit* field, int& port)
{
    const PortEntry entry = ParsePortEntry(field->text());
    if (entry.outcome == PortEntry::Valid) {
        port = entry.value;
        return true;
    }
    const QString text = entry.outcome == PortEntry::NotAnInteger
        ? QStringLiteral("Digitare un numero intero.")
        : QStringLiteral("Digitare un numero intero compreso tra %1 e %2.").arg(MinPort).arg(MaxPort);
    relay.MessageBox(text, QCoreApplication::applicationName(), MB_OK | MB_ICONEXCLAMATION);
    field->setFocus();
    field->selectAll();
    return false;
}

} // namespace

bool CRelayDlg::DoDataExchange(bool save)
{
    if (!save) {
        WriteModeButtons(Ui, RelayMode);
        Ui.ServerPort->setText(QString::number(ClientPort));
        Ui.ListenPort->setText(QString::number(ListenPort));
        return true;
    }
    RelayMode = ReadModeButtons(Ui);
    return ExchangePort(Controller, Ui.ServerPort, ClientPort) && ExchangePort(Controller, Ui.ListenPort, ListenPort);
}

void CRelayDlg::LoadSettings()
{
    const StoredRelay stored = LoadRelaySettings({Configuration(*this), LaunchRunFlag});
    InComName = stored.config.InComName;
    InComSpeed = stored.config.InComSpeed;
    OutComName = stored.config.OutComName;
    OutComSpeed = stored.config.OutComSpeed;
    ServerName = stored.config.ServerName;
    Ui.ServerName->setText(ServerName);
    ServerPort = stored.config.ServerPort;
    ClientPort = ListenPort = ServerPort;
    LaunchRunFlag = stored.runFlag;
    RelayMode = stored.config.RelayMode;
    DoDataExchange(false);
}

void CRelayDlg::SaveSettings()
{
    SaveRelaySettings(Configuration(*this), RunState());
}

void CRelayDlg::SaveRunState()
{
    ::SaveRunState(RunState());
}

void CRelayDlg::OnStartStop()
{
    if (!Ui.Start->isChecked()) {
        Controller.Stop();
        Ui.Start->setText(QStringLiteral("START"));
        LockConfiguration(0);
        return;
    }
    // Starting on a port entry that failed its check would relay on a value the operator never gave.
    if (Controller.Ending || !DoDataExchange(true)) {
        Ui.Start->setChecked(false);
        return;
    }
    LockConfiguration(1);
    InComName = Ui.InComName->currentText();
    InComSpeed = Ui.InComSpeed->currentText();
    OutComName = Ui.OutComName->currentText();
    OutComSpeed = Ui.OutComSpeed->currentText();
    ServerName = Ui.ServerName->text();
    ServerPort = ListenPort;
    SaveSettings();
    if (Controller.Start(Configuration(*this), LaunchRestart) != 0) {
        Ui.Start->setText(QStringLiteral("STOP"));
        // On this computer's clock the mode's own source is not used: its fields say so, their values kept.
        AddToolTips();
        const bool server = Controller.Config.RelayMode == 1;
        const std::array<QWidget*, 2> source {server ? static_cast<QWidget*>(Ui.InComName) : Ui.ServerName,
                                              server ? static_cast<QWidget*>(Ui.InComSpeed) : Ui.ServerPort};
        if (Controller.Config.Source.PrimaryClock) {
            for (QWidget* unused : source)
                unused->setToolTip(QStringLiteral("Not used: this computer's clock is the source (%1=clock)")
                                       .arg(Key::Primary.Title()));
        }
    } else {
        LockConfiguration(0);
        Ui.Start->setChecked(false);
    }
}

RelayConfig Configuration(const CRelayDlg& window)
{
    RelayConfig config;
    config.RelayMode = window.RelayMode;
    config.InComName = window.InComName;
    config.InComSpeed = window.InComSpeed;
    config.OutComName = window.OutComName;
    config.OutComSpeed = window.OutComSpeed;
    config.ServerName = window.ServerName;
    config.ServerPort = window.ServerPort;
    config.ClientPort = window.ClientPort;
    LoadFileOnlySettings(config);
    return config;
}
