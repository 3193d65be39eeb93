#include "app/Log.h"
#include "relay/CRelayDlg.h"

#include <QLineEdit>
#include <QTimerEvent>

bool CRelayDlg::CreateConnectSocket()
{
    const int error = ConnectSocket.Create();
    if (error == 0)
        return true;
    MessageBox(QStringLiteral("Error <%1> creating the Socket:\n%2").arg(error).arg(SocketFailureText(error)),
               QStringLiteral("Horaline error:"), MB_OK | MB_ICONSTOP);
    SetStatus(QStringLiteral("Error <%1> creating the Socket !").arg(error));
    return false;
}

void CRelayDlg::timerEvent(QTimerEvent* event)
{
    OnTimer(event->timerId());
}

void CRelayDlg::OnTimer(int id)
{
    if (id != ConnectTimerId || ConnectTimerId == 0)
        return;
    // The first tick only arms: the first attempt comes a second after the operator's START.
    if (ConnectArmed == 0) {
        ConnectArmed = 1;
        return;
    }
    const QString server = Ui.ServerName->text();
    ConnectSocket.Connect(server, quint16(ClientPort));
    SetStatus(QStringLiteral("waiting Server %1 on port %2").arg(server).arg(ClientPort));
}

void CRelayDlg::OnLinkConnect()
{
    if (ConnectTimerId != 0)
        killTimer(ConnectTimerId);
    ConnectTimerId = 0;
    SetStatus(QStringLiteral("Connected to Server"));
    qCInfo(lcNet).noquote() << "connected to the server" << ConnectSocket.PeerText();
    WatchForSilence();
}

void CRelayDlg::OnLinkReceive(CLinkSocket* socket)
{
    // Clients of this protocol send nothing; what a stray one sends is dropped without a word.
    if (socket != &ConnectSocket) {
        socket->Receive(socket->BytesAvailable());
        return;
    }
    const QByteArray text = ConnectSocket.Receive(ReceiveLimit);
    if (text.isEmpty())
        return;
    StoreReceivedText(ClockBuffer, text);
    HaveClockValue = true;
    const ReceivedKind kind = ClassifyReceivedText(ClockBuffer);
    // The display line before the window: the window can wait a moment, the clock on the wall cannot.
    // A control word is no time: written out, it would put its letters on the display.
    if (kind == ReceivedKind::Clock) {
        RejectedByServer = false;
        OnValueArrived();
        DistributeClock();
    } else {
        RejectedByServer = kind == ReceivedKind::Rejected;
        SetStatus(RejectedByServer ? QStringLiteral("Rejected by the Server") : QStringLiteral("Server lost"));
    }
    SetClock(ControlText(ClockBuffer.data(), ClockBuffer.size()));
    // Either word ends the connection: the server is sought again, not waited on forever.
    if (kind != ReceivedKind::Clock) {
        OnServerLost();
        return;
    }
    // Each notification takes one text of at most 11 bytes; the rest makes the next text.
    if (ConnectSocket.BytesAvailable() > 0)
        QMetaObject::invokeMethod(
            this, [this] { OnLinkReceive(&ConnectSocket); }, Qt::QueuedConnection);
}
