#include "relay/CRelayDlg.h"

void CRelayDlg::LoadSettings()
{
    DoDataExchange(false);
}

void CRelayDlg::SaveSettings() { }

void CRelayDlg::SaveRunState() { }
