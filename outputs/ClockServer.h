#pragma once

#include "net/AllowList.h"
#include "net/CLinkSocket.h"
#include "outputs/ClockOutput.h"
#include "serial/RetryTimer.h"

#include <QList>
#include <functional>

class OutputListener;

// The server side of a relay: the listener on every local address, at most five clients, each value
// sent to all of them, strangers and a sixth turned away with "Rejected", "Srv lost" to each at the end.
// The listener lives longer than a run: it stays open after a start that failed at its line.
class ClockServer final : public LinkOwner, public ClockOutput
{
public:
    // What its sockets report goes to the router, which hands it back here. A client admitted is owed
    // the value of now: `admitted` gives it.
    ClockServer(OutputListener& listener, LinkOwner& router, std::function<void()> admitted);
    ~ClockServer();

    // Opens the listener unless it is open, admitting whom the list allows (at the restart at launch a
    // port still held is tried again without a box), or sends every client its last words and closes it all.
    void SetListening(bool listen, int port, const ClientsAllowed& allowed, bool restartAtLaunch);
    // While the relay runs, a port that could not be listened on is tried again every 2 s.
    void KeepListening();
    // A listener on another port; the clients stay connected.
    void MoveTo(int port);
    // Clients this list no longer admits are told "Rejected" and closed; later ones meet it too.
    void ApplyAllowList(const ClientsAllowed& allowed);
    const AllowList& Allowed() const { return Allow.list; }
    // One message to every client.
    void BroadcastClock(const QByteArray& message);
    // The network message of the value to every client.
    void Put(const OutputValue& value) override;
    // What the status line says after a value where nobody is there to take it; none while there is.
    std::optional<QString> NobodyText() const;
    int Port() const { return ListenPort; }

    void OnLinkAccept() override;
    void OnLinkConnect(CLinkSocket*) override { }
    void OnLinkReceive(CLinkSocket*) override { }
    void OnLinkClose(CLinkSocket* socket) override;
    void OnLinkConnectFailed(CLinkSocket*, const QString&, bool) override { }

    CLinkSocket ListenSocket;
    QList<CLinkSocket*> ClientList;
    int ListeningFlag = 0;
    int ClientsFlag = 0;
    // How long a client may take nothing of the values that wait for it before its place is freed.
    qint64 ClientStallLimitMs = 60000;

private:
    int OpenListener();
    void CloseClients();
    void DropClient(CLinkSocket* client, const QString& why);
    // After clients went: the status line says how many are left.
    void TellClientCount();

    OutputListener& Listener;
    int ListenPort = 0;
    // Whom it admits, and what of the list was left out, said each time the listener opens.
    ClientsAllowed Allow;
    RetryTimer ListenRetry;
    std::function<void()> Admitted;
};
