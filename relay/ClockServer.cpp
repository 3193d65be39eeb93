#include "net/NetLog.h"
#include "relay/Boxes.h"
#include "relay/RelayController.h"
#include "relay/Strings.h"

namespace {

constexpr int MaxClients = 5;
constexpr int ListenBacklog = 5;
constexpr int ListenRetryMs = 2000;
// A source sends a value a second; older than this, the value is no longer the time of now.
constexpr qint64 FreshValueMs = 2000;
// A few hundred values: past this a client is not reading, and what is meant for it is dropped.
constexpr qint64 ClientBacklogLimit = 4096;

QString ClientsText(qsizetype count, bool atAdmission)
{
    if (atAdmission && count >= MaxClients)
        return QStringLiteral("%1 Clients connected (MAX) !").arg(count);
    return QStringLiteral("%1 Clients connected !").arg(count);
}

} // namespace

bool RelayController::SetListening(bool listen)
{
    // Only the mode is needed here; a box about a port entry would stop a shutdown.
    RefreshRelayMode();
    if (!listen) {
        CloseClients();
        if (ListeningFlag != 0) {
            ListenSocket.Close();
            ListeningFlag = 0;
        }
        return true;
    }
    if (ListeningFlag != 0) {
        SetStatus(QLatin1String(LoadString(IDS_READY)));
        return true;
    }
    if (const int error = OpenListener(); error != 0) {
        qCWarning(lcNet).noquote() << "cannot listen on port" << ServerPort << "-" << SocketFailureText(error);
        RecordFault(QStringLiteral("cannot listen on port %1: %2").arg(ServerPort).arg(SocketFailureText(error)));
        SetStatus(QLatin1String(LoadString(IDS_NO_LISTENING)));
        // At the restart at launch the port may still be held by a program that is ending: it is tried
        // again while the server runs, and nobody is asked.
        if (!RestartAtLaunch)
            MessageBox(QStringLiteral("Error <%1> listening on port %2:\n%3")
                           .arg(error)
                           .arg(ServerPort)
                           .arg(SocketFailureText(error)),
                       QStringLiteral("Horaline error:"), MB_OK | MB_ICONSTOP);
        return true;
    }
    SetStatus(QLatin1String(LoadString(IDS_WAITING_CLIENTS)));
    return true;
}

int RelayController::OpenListener()
{
    ListeningFlag = 1;
    const int error = ListenSocket.Listen(quint16(ServerPort), ListenBacklog);
    // A listener that failed is not counted as one, so that a retry or the next START tries again.
    if (error != 0) {
        ListeningFlag = 0;
        return error;
    }
    qCInfo(lcNet) << "listening on port" << ServerPort;
    // Read when there is someone to admit, not at every attempt of a retry.
    Allowed = AllowList::Load();
    return 0;
}

void RelayController::KeepListening()
{
    if (ListeningFlag != 0)
        return;
    qCWarning(lcNet) << "not listening on port" << ServerPort << "- trying again every" << ListenRetryMs / 1000 << "s";
    ListenRetry.Start(ListenRetryMs, [this] {
        const bool listening = OpenListener() == 0;
        SetStatus(QLatin1String(LoadString(listening ? IDS_WAITING_CLIENTS : IDS_NO_LISTENING)));
        return listening;
    });
}

void RelayController::CloseClients()
{
    if (ClientsFlag == 0)
        return;
    const QByteArray lastWords(LoadString(IDS_SRV_LOST));
    for (CLinkSocket* client : std::as_const(ClientList)) {
        client->SendAndClose(lastWords);
        client->deleteLater();
    }
    ClientList.clear();
    ClientsFlag = 0;
}

void RelayController::OnLinkAccept()
{
    CLinkSocket* client = ListenSocket.Accept();
    if (client == nullptr)
        return;
    const QString address = client->PeerAddress().toString();
    const auto refuse = [this, client, &address](const QString& kind, const QString& why) {
        if (LogAllows(lcNet(), kind, address))
            qCWarning(lcNet).noquote() << "client" << client->PeerText() << "rejected:" << why;
        client->SendAndClose(QByteArray(LoadString(IDS_REJECTED)));
        client->deleteLater();
    };
    // A stranger is turned away before it is counted, so that it can never take a display's place.
    if (!Allowed.Admits(client->PeerAddress()))
        return refuse(QStringLiteral("connections turned away by [Clients] Allow"),
                      QStringLiteral("not in [Clients] Allow"));
    if (ClientList.size() >= MaxClients)
        return refuse(QStringLiteral("connections refused"), QStringLiteral("all %1 places taken").arg(MaxClients));
    if (LogAllows(lcNet(), QStringLiteral("clients admitted"), address))
        qCInfo(lcNet).noquote() << "client" << client->PeerText() << "admitted";
    client->setParent(this);
    ClientList.append(client);
    ClientsFlag = 1;
    SetStatus(ClientsText(ClientList.size(), true));
    // A value from before the source fell silent is no time to give anyone: the client waits for the next.
    if (LastValue.isValid() && LastValue.elapsed() <= FreshValueMs)
        DistributeClock();
}

void RelayController::OnLinkClose(CLinkSocket* socket)
{
    if (socket == &ConnectSocket) {
        OnServerLost();
        return;
    }
    if (socket == &StandbySocket)
        return StandbyLost(false);
    if (ClientsFlag != 0 && ClientList.contains(socket))
        DropClient(socket, QStringLiteral("closed"));
}

void RelayController::DropClient(CLinkSocket* client, const QString& why)
{
    if (LogAllows(lcNet(), QStringLiteral("clients closed"), client->PeerAddress().toString()))
        qCInfo(lcNet).noquote() << "client" << client->PeerText() << why;
    ClientList.removeOne(client);
    client->Close();
    client->deleteLater();
    TellClientCount();
}

void RelayController::ApplyAllowList(const AllowList& allowed)
{
    Allowed = allowed;
    const QList<CLinkSocket*> clients = ClientList;
    for (CLinkSocket* client : clients) {
        if (Allowed.Admits(client->PeerAddress()))
            continue;
        qCWarning(lcNet).noquote() << "client" << client->PeerText() << "rejected: no longer in [Clients] Allow";
        ClientList.removeOne(client);
        client->SendAndClose(QByteArray(LoadString(IDS_REJECTED)));
        client->deleteLater();
    }
    if (ClientList.size() != clients.size())
        TellClientCount();
}

void RelayController::TellClientCount()
{
    if (ClientList.isEmpty()) {
        ClientsFlag = 0;
        SetStatus(QLatin1String(LoadString(IDS_CLIENTS_DISCONNECTED)));
    } else {
        SetStatus(ClientsText(ClientList.size(), false));
    }
}

void RelayController::OnLinkSend()
{
    // Values are never held back for a slow client: it simply misses those it could not take.
}

void RelayController::BroadcastClock(const QByteArray& message)
{
    if (ClientsFlag != 0) {
        for (CLinkSocket* client : std::as_const(ClientList))
            client->Send(message, ClientBacklogLimit);
        // A display that takes nothing more would hold its place for good: the place goes to the next.
        const QList<CLinkSocket*> clients = ClientList;
        for (CLinkSocket* client : clients) {
            if (client->Stalled(ClientStallLimitMs))
                DropClient(client, QStringLiteral("closed: it took nothing for %1 s").arg(ClientStallLimitMs / 1000));
        }
        return;
    }
    // A spare in use has the status line to itself.
    if (RunFlag != 0 && SpareInUse().isEmpty())
        SetStatus(QLatin1String(LoadString(ListeningFlag != 0 ? IDS_CLIENTS_DISCONNECTED : IDS_NO_LISTENING)));
}
