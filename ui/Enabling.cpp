#include "ui/CRelayDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

void EnableAll(std::initializer_list<QWidget*> controls, bool enable)
{
    for (QWidget* control : controls)
        control->setEnabled(enable);
}

} // namespace

void CRelayDlg::EnableClientModeControls()
{
    EnableAll({Ui.InComName, Ui.InComSpeed}, false);
    EnableAll({Ui.ServerName, Ui.ServerPort}, true);
    EnableAll({Ui.OutComName, Ui.OutComSpeed}, true);
    EnableAll({Ui.LocalName, Ui.ListenPort, Ui.LocalAddrs}, false);
    SetStatus(QStringLiteral("Client mode selected"));
}

void CRelayDlg::EnableServerModeControls()
{
    EnableAll({Ui.InComName, Ui.InComSpeed}, true);
    EnableAll({Ui.ServerName, Ui.ServerPort}, false);
    EnableAll({Ui.OutComName, Ui.OutComSpeed}, false);
    EnableAll({Ui.LocalName, Ui.ListenPort, Ui.LocalAddrs}, true);
    SetStatus(QStringLiteral("Server mode selected"));
}

void CRelayDlg::LockConfiguration(int running)
{
    const bool enable = running == 0;
    EnableAll({Ui.ModeClient, Ui.ModeServer}, enable);
    if (RelayMode == 0)
        EnableAll({Ui.ServerName, Ui.ServerPort, Ui.OutComName, Ui.OutComSpeed}, enable);
    else
        EnableAll({Ui.InComName, Ui.InComSpeed, Ui.LocalName, Ui.ListenPort}, enable);
}
