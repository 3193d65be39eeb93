#include "outputs/ClockServer.h"

#include "net/NetLog.h"
#include "serial/Boxes.h"
#include "serial/Strings.h"

namespace {

constexpr int MaxClients = 5;
constexpr int ListenBacklog = 5;
constexpr int ListenRetryMs = 2000;
// A few hundred values: past this a client is not reading, and what is meant for it is dropped.
constexpr qint64 ClientBacklogLimit = 4096;

QString ClientsText(qsizetype count, bool atAdmission)
{
    if (atAdmission && count >= MaxClients)
        return QStringLiteral("%1 Clients connected (MAX) !").arg(count);
    return QStringLiteral("%1 Clients connected !").arg(count);
}

} // namespace

ClockServer::ClockServer(OutputListener& listener, LinkOwner& router, std::function<void()> admitted)
    : Listener(listener)
    , Admitted(std::move(admitted))
{
    ListenSocket.SetOwner(&router);
}

ClockServer::~ClockServer()
{
    CloseClients();
}

void ClockServer::SetListening(bool listen, int port, const ClientsAllowed& allowed, bool restartAtLaunch)
{
    if (!listen) {
        ListenRetry.Stop();
        CloseClients();
        if (ListeningFlag != 0) {
            ListenSocket.Close();
            ListeningFlag = 0;
        }
        return;
    }
    if (ListeningFlag != 0) {
        Listener.OnOutputStatus(QLatin1String(LoadString(IDS_READY)));
        return;
    }
    ListenPort = port;
    Allow = allowed;
    if (const int error = OpenListener(); error != 0) {
        qCWarning(lcNet).noquote() << "cannot listen on port" << ListenPort << "-" << SocketFailureText(error);
        Listener.OnOutputFault(
            QStringLiteral("cannot listen on port %1: %2").arg(ListenPort).arg(SocketFailureText(error)));
        Listener.OnOutputStatus(QLatin1String(LoadString(IDS_NO_LISTENING)));
        // At the restart at launch the port may still be held by a program that is ending: it is tried
        // again while the server runs, and nobody is asked.
        if (!restartAtLaunch)
            Listener.OnOutputBox(QStringLiteral("Error <%1> listening on port %2:\n%3")
                                     .arg(error)
                                     .arg(ListenPort)
                                     .arg(SocketFailureText(error)),
                                 QStringLiteral("Horaline error:"), MB_OK | MB_ICONSTOP);
        return;
    }
    Listener.OnOutputStatus(QLatin1String(LoadString(IDS_WAITING_CLIENTS)));
}

int ClockServer::OpenListener()
{
    ListeningFlag = 1;
    const int error = ListenSocket.Listen(quint16(ListenPort), ListenBacklog);
    // A listener that failed is not counted as one, so that a retry or the next START tries again.
    if (error != 0) {
        ListeningFlag = 0;
        return error;
    }
    qCInfo(lcNet) << "listening on port" << ListenPort;
    // Said when there is someone to admit, not at every attempt of a retry.
    Listener.OnClientsAllowed(Allow);
    return 0;
}

void ClockServer::KeepListening()
{
    if (ListeningFlag != 0)
        return;
    qCWarning(lcNet) << "not listening on port" << ListenPort << "- trying again every" << ListenRetryMs / 1000 << "s";
    ListenRetry.Start(ListenRetryMs, [this] {
        const bool listening = OpenListener() == 0;
        Listener.OnOutputStatus(QLatin1String(LoadString(listening ? IDS_WAITING_CLIENTS : IDS_NO_LISTENING)));
        return listening;
    });
}

void ClockServer::MoveTo(int port)
{
    ListenPort = port;
    // A retry under way listens on the port as it stands now. Connected displays keep their
    // connections: only the listener moves.
    if (ListenRetry.IsActive())
        return;
    ListenSocket.Close();
    ListeningFlag = 0;
    if (OpenListener() != 0)
        KeepListening();
}

void ClockServer::CloseClients()
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

void ClockServer::OnLinkAccept()
{
    CLinkSocket* client = ListenSocket.Accept();
    if (client == nullptr)
        return;
    const QString address = client->PeerAddress().toString();
    const auto refuse = [this, client, &address](const QString& kind, const QString& why) {
        if (Listener.OnOutputLogAllows(lcNet(), kind, address))
            qCWarning(lcNet).noquote() << "client" << client->PeerText() << "rejected:" << why;
        client->SendAndClose(QByteArray(LoadString(IDS_REJECTED)));
        client->deleteLater();
        Listener.OnOutputEvent(OutputEvent::ClientRefused);
    };
    // A stranger is turned away before it is counted, so that it can never take a display's place.
    if (!Allow.list.Admits(client->PeerAddress()))
        return refuse(QStringLiteral("connections turned away by ") + Allow.key, QStringLiteral("not in ") + Allow.key);
    if (ClientList.size() >= MaxClients)
        return refuse(QStringLiteral("connections refused"), QStringLiteral("all %1 places taken").arg(MaxClients));
    if (Listener.OnOutputLogAllows(lcNet(), QStringLiteral("clients admitted"), address))
        qCInfo(lcNet).noquote() << "client" << client->PeerText() << "admitted";
    client->setParent(&ListenSocket);
    ClientList.append(client);
    ClientsFlag = 1;
    Listener.OnOutputStatus(ClientsText(ClientList.size(), true));
    Listener.OnOutputEvent(OutputEvent::ClientAdmitted);
    Admitted();
}

void ClockServer::OnLinkClose(CLinkSocket* socket)
{
    if (ClientsFlag != 0 && ClientList.contains(socket))
        DropClient(socket, QStringLiteral("closed"));
}

void ClockServer::DropClient(CLinkSocket* client, const QString& why)
{
    if (Listener.OnOutputLogAllows(lcNet(), QStringLiteral("clients closed"), client->PeerAddress().toString()))
        qCInfo(lcNet).noquote() << "client" << client->PeerText() << why;
    ClientList.removeOne(client);
    client->Close();
    client->deleteLater();
    TellClientCount();
}

void ClockServer::ApplyAllowList(const ClientsAllowed& allowed)
{
    Listener.OnClientsAllowed(allowed);
    Allow = allowed;
    const QList<CLinkSocket*> clients = ClientList;
    for (CLinkSocket* client : clients) {
        if (Allow.list.Admits(client->PeerAddress()))
            continue;
        qCWarning(lcNet).noquote() << "client" << client->PeerText() << "rejected: no longer in" << Allow.key;
        ClientList.removeOne(client);
        client->SendAndClose(QByteArray(LoadString(IDS_REJECTED)));
        client->deleteLater();
    }
    if (ClientList.size() != clients.size())
        TellClientCount();
}

void ClockServer::TellClientCount()
{
    if (ClientList.isEmpty()) {
        ClientsFlag = 0;
        Listener.OnOutputStatus(QLatin1String(LoadString(IDS_CLIENTS_DISCONNECTED)));
    } else {
        Listener.OnOutputStatus(ClientsText(ClientList.size(), false));
    }
}

void ClockServer::Put(const OutputValue& value)
{
    BroadcastClock(FormatNetMessage(value.Clock));
}

std::optional<QString> ClockServer::NobodyText() const
{
    if (ClientsFlag != 0)
        return std::nullopt;
    return QLatin1String(LoadString(ListeningFlag != 0 ? IDS_CLIENTS_DISCONNECTED : IDS_NO_LISTENING));
}

void ClockServer::BroadcastClock(const QByteArray& message)
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
    }
}
