#include "relay/StandbySettings.h"
#include "ui/CRelayDlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

void CRelayDlg::OnStartStop()
{
    if (!Ui.Start->isChecked()) {
        Controller.Stop();
        Ui.Start->setText(QStringLiteral("START"));
        LockConfiguration(0);
        return;
    }
    // Starting on a port entry that failed its check would relay on a value the operator never gave.
    if (Controller.IsEnding() || !DoDataExchange(true)) {
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
    // The spare sources have no controls: the file alone holds them.
    const StoredStandby standby = LoadStandbySettings(window.RelayMode);
    config.Standby = standby.config;
    if (!standby.faults.isEmpty())
        config.StandbyFault = standby.faults.first();
    return config;
}
