#include "relay/RelaySettings.h"
#include "ui/CRelayDlg.h"

#include <QLineEdit>

void CRelayDlg::LoadSettings()
{
    const StoredRelay stored = LoadRelaySettings({Configuration(), LaunchRunFlag});
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

int CRelayDlg::RunState() const
{
    // Until the restart at launch has its outcome, the state is still the one stored.
    return LaunchRestart ? LaunchRunFlag : Controller.RunFlag;
}

void CRelayDlg::SaveSettings()
{
    SaveRelaySettings(Configuration(), RunState());
}

void CRelayDlg::SaveRunState()
{
    ::SaveRunState(RunState());
}
