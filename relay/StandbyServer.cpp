#include "net/NetLog.h"
#include "relay/RelayController.h"

// The standby server of a client relay: connected beside the primary, sought again when lost, as the
// primary is.
namespace {

constexpr int StandbyRetryMs = 1000;
constexpr int StandbyRejectedRetryMs = 10000;

} // namespace

void RelayController::ConnectStandby()
{
    if (StandbySocket.Create() == 0)
        SeekStandby(StandbyRetryMs);
}

void RelayController::SeekStandby(int intervalMs)
{
    StandbyRetry.Start(intervalMs, [this] {
        StandbySocket.Connect(Standby.ServerName, quint16(Standby.ServerPort));
        return false;
    });
}

void RelayController::OnStandbyConnected()
{
    StandbyRetry.Stop();
    StandbyIncoming.Clear();
    StandbyFault.clear();
    qCInfo(lcNet).noquote() << "connected to the standby server" << StandbySocket.PeerText();
}

void RelayController::OnStandbyFailed(const QString& why)
{
    if (why == StandbyFault)
        return;
    StandbyFault = why;
    NoteStandbyAlive(false, QStringLiteral("port %1 does not answer: %2").arg(Standby.ServerPort).arg(why));
}

void RelayController::OnStandbyReceive()
{
    const ServerSays says = ReadBatch(StandbyIncoming.Feed(StandbySocket.Receive(StandbySocket.BytesAvailable())));
    if (says.newest && Offered(Source::Standby, *says.newest))
        TakeClockText(*says.newest);
    if (says.word)
        StandbyLost(ClassifyReceivedText(*says.word) == ReceivedKind::Rejected);
}

void RelayController::StandbyLost(bool rejected)
{
    if (!Selector)
        return;
    StandbySocket.Disconnect();
    SourceLost(Source::Standby);
    NoteStandbyAlive(false, rejected ? QStringLiteral("rejected this relay") : QStringLiteral("lost"));
    SeekStandby(rejected ? StandbyRejectedRetryMs : StandbyRetryMs);
}
