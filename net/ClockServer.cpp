#include "relay/CRelayDlg.h"

// Nothing listens yet: the flag stays clear, so nothing claims a listener that does not exist.
bool CRelayDlg::SetListening(bool listen)
{
    if (!listen) {
        CloseClients();
        ListeningFlag = 0;
    }
    return true;
}

void CRelayDlg::CloseClients()
{
    for (CLinkSocket* client : std::as_const(ClientList))
        client->deleteLater();
    ClientList.clear();
    ClientsFlag = 0;
}
