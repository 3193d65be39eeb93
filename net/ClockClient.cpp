#include "relay/CRelayDlg.h"

bool CRelayDlg::CreateConnectSocket()
{
    return false;
}

void CRelayDlg::CloseConnectSocket() { }
