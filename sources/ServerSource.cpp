#include "sources/ServerSource.h"

#include "serial/Boxes.h"
#include "serial/ClockFormat.h"

ServerSource::ServerSource(SourceListener& listener, LinkOwner& router)
    : Listener(listener)
{
    Socket.SetOwner(&router);
}

void ServerSource::Configure(const QString& host, int port)
{
    Host = host;
    Port = port;
}

std::optional<SourceFault> ServerSource::Open()
{
    Stop();
    if (const int error = Socket.Create(); error != 0) {
        SourceFault fault(
            QStringLiteral("Error <%1> creating the Socket:\n%2").arg(error).arg(SocketFailureText(error)), error);
        fault.heals = false;
        fault.title = QStringLiteral("Horaline error:");
        fault.icon = MB_ICONSTOP;
        return fault;
    }
    ConnectArmed = 0;
    Retry.Start(RetryMs, [this] {
        OnTimer();
        return false;
    });
    return std::nullopt;
}

void ServerSource::Seek()
{
    ConnectArmed = 1;
    Retry.Start(RejectedByServer ? RejectedRetryMs : RetryMs, [this] {
        OnTimer();
        return false;
    });
}

void ServerSource::OnTimer()
{
    // Each tick is one attempt; the connection, or a stop, ends the ticks.
    if (ConnectArmed == 0) {
        ConnectArmed = 1;
        return;
    }
    Socket.Connect(Host, quint16(Port));
    Listener.OnSourceSought(*this);
}

void ServerSource::Stop()
{
    Retry.Stop();
    Socket.Close();
    Incoming.Clear();
    Fault.clear();
    RejectedByServer = false;
}

void ServerSource::OnLinkConnect(CLinkSocket*)
{
    Retry.Stop();
    Fault.clear();
    Incoming.Clear();
    Listener.OnSourceBack(*this);
}

void ServerSource::OnLinkReceive(CLinkSocket*)
{
    const ServerSays says = ReadBatch(Incoming.Feed(Socket.Receive(Socket.BytesAvailable())));
    if (says.newest) {
        RejectedByServer = false;
        Listener.OnSourceValue(*this, SampleOf(*says.newest, SourceKind::Server, SourceClockMs()));
    }
    if (says.word)
        Lost(*says.word);
}

void ServerSource::OnLinkClose(CLinkSocket*)
{
    Lost(QByteArray());
}

void ServerSource::Lost(const QByteArray& word)
{
    // Already seeking: a close that follows the server's last words is the same loss.
    if (Retry.IsActive())
        return;
    Socket.Disconnect();
    RejectedByServer = !word.isEmpty() && ClassifyReceivedText(word) == ReceivedKind::Rejected;
    SourceFault fault(RejectedByServer ? QStringLiteral("Rejected by the Server") : QStringLiteral("Server lost"), 0,
                      word);
    fault.rejected = RejectedByServer;
    Listener.OnSourceLost(*this, fault);
    Seek();
}

void ServerSource::OnLinkConnectFailed(CLinkSocket*, const QString& why, bool nameUnknown)
{
    // Said once, and again only when the reason changes: the timer meets it every second.
    const QString fault = nameUnknown
        ? QStringLiteral("the server name %1 does not resolve (%2): no such name in DNS or /etc/hosts").arg(Host, why)
        : QStringLiteral("the server %1 port %2 does not answer: %3").arg(Host).arg(Port).arg(why);
    if (fault == Fault)
        return;
    Fault = fault;
    Listener.OnSourceAway(*this, SourceFault(fault));
}

PlaceReport ServerSource::Report() const
{
    PlaceReport report = PlaceReport::OfServer(Host, Port);
    report.State = IsOpen() ? QStringLiteral("connected")
        : RejectedByServer  ? QStringLiteral("rejected")
                            : QStringLiteral("seeking");
    if (IsOpen())
        report.Address = Socket.PeerText();
    else if (!RejectedByServer)
        report.Fault = Fault;
    return report;
}
