#include "net/NetLog.h"
#include "relay/RelayController.h"

#include <algorithm>

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
    const QList<QByteArray> messages = StandbyIncoming.Feed(StandbySocket.Receive(StandbySocket.BytesAvailable()));
    const auto word = std::find_if(messages.begin(), messages.end(), [](const QByteArray& message) {
        return ClassifyReceivedText(message) != ReceivedKind::Clock;
    });
    if (word != messages.begin() && Offered(Source::Standby, *std::prev(word)))
        TakeClockText(*std::prev(word));
    if (word == messages.end())
        return;
    StandbyLost(ClassifyReceivedText(*word) == ReceivedKind::Rejected);
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
