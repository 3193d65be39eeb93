#include "relay/RelaySettings.h"
#include "ui/CRelayDlg.h"

#include <QLineEdit>

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
