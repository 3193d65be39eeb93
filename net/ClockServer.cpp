#include "relay/CRelayDlg.h"
#include "ui/Strings.h"

#include <QPushButton>

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

void CRelayDlg::BroadcastClock(const QByteArray&)
{
    if (ClientsFlag == 0 && Ui.Start->isChecked())
        SetStatus(QLatin1String(LoadString(ListeningFlag != 0 ? IDS_CLIENTS_DISCONNECTED : IDS_NO_LISTENING)));
}
