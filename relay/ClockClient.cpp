#include "net/NetLog.h"
#include "relay/Boxes.h"
#include "relay/RelayController.h"

void RelayController::StartConnectTimer(int intervalMs)
{
    // Each tick is one attempt; the connection, or a stop, ends the ticks.
    ConnectRetry.Start(intervalMs, [this] {
        OnTimer(ConnectTimerId);
        return false;
    });
    ConnectTimerId = ConnectRetry.Id();
}

bool RelayController::CreateConnectSocket()
{
    const int error = ConnectSocket.Create();
    if (error == 0)
        return true;
    MessageBox(QStringLiteral("Error <%1> creating the Socket:\n%2").arg(error).arg(SocketFailureText(error)),
               QStringLiteral("Horaline error:"), MB_OK | MB_ICONSTOP);
    SetStatus(QStringLiteral("Error <%1> creating the Socket !").arg(error));
    return false;
}

void RelayController::OnTimer(int id)
{
    if (id != ConnectTimerId || ConnectTimerId == 0)
        return;
    // The first tick only arms: the first attempt comes a second after the operator's START.
    if (ConnectArmed == 0) {
        ConnectArmed = 1;
        return;
    }
    const QString& server = ServerName;
    ConnectSocket.Connect(server, quint16(ClientPort));
    SetStatus(QStringLiteral("waiting Server %1 on port %2").arg(server).arg(ClientPort));
}

void RelayController::OnLinkConnectFailed(CLinkSocket* socket, const QString& why, bool nameUnknown)
{
    if (socket == &StandbySocket)
        return OnStandbyFailed(why);
    // Said once, and again only when the reason changes: the timer meets it every second.
    const QString fault = nameUnknown
        ? QStringLiteral("the server name %1 does not resolve (%2): no such name in DNS or /etc/hosts")
              .arg(ServerName, why)
        : QStringLiteral("the server %1 port %2 does not answer: %3").arg(ServerName).arg(ClientPort).arg(why);
    if (fault == ServerFault)
        return;
    ServerFault = fault;
    RecordFault(fault);
    qCWarning(lcNet).noquote() << fault;
}

void RelayController::OnLinkConnect(CLinkSocket* socket)
{
    if (socket == &StandbySocket)
        return OnStandbyConnected();
    ConnectRetry.Stop();
    ConnectTimerId = 0;
    ServerFault.clear();
    Incoming.Clear();
    SetStatus(QStringLiteral("Connected to Server"));
    if (LogAllows(lcNet(), QStringLiteral("connections to the server")))
        qCInfo(lcNet).noquote() << "connected to the server" << ConnectSocket.PeerText();
    WatchForSilence();
}

void RelayController::OnLinkReceive(CLinkSocket* socket)
{
    // Clients of this protocol send nothing; what a stray one sends is left to the system, which holds
    // the sender back once its buffer is full.
    if (socket == &StandbySocket)
        return OnStandbyReceive();
    if (socket != &ConnectSocket)
        return;
    const ServerSays says = ReadBatch(Incoming.Feed(ConnectSocket.Receive(ConnectSocket.BytesAvailable())));
    if (says.newest && Offered(Source::Primary, *says.newest))
        TakeClockText(*says.newest);
    if (says.word)
        TakeControlWord(*says.word);
}

void RelayController::TakeClockText(const QByteArray& text)
{
    StoreReceivedText(ClockBuffer, text);
    LastValue.start();
    LastValueText = QString::fromLatin1(text);
    RejectedByServer = false;
    OnValueArrived();
    // The display line before the views: a view can wait a moment, the clock on the wall cannot.
    DistributeClock();
    SetClock(ControlText(ClockBuffer.data(), ClockBuffer.size()));
}

void RelayController::TakeControlWord(const QByteArray& word)
{
    // A control word is no time: written out, it would put its letters on the display.
    StoreReceivedText(ClockBuffer, word);
    RejectedByServer = ClassifyReceivedText(word) == ReceivedKind::Rejected;
    SetStatus(RejectedByServer ? QStringLiteral("Rejected by the Server") : QStringLiteral("Server lost"));
    SetClock(ControlText(ClockBuffer.data(), ClockBuffer.size()));
    // Either word ends the connection: the server is sought again, not waited on forever.
    OnServerLost();
}
