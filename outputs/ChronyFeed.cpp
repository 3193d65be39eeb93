#include "outputs/ChronyFeed.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

// chrony's struct sock_sample (refclock_sock.c), as its SOCK driver reads a datagram.
struct SockSample
{
    timeval Time;
    double Offset;
    int Pulse;
    int Leap;
    int Padding;
    int Magic;
};
static_assert(sizeof(SockSample) == 40, "chrony reads 40 bytes");
constexpr int SockMagic = 0x534f434b;

// So many codes in a row that agree make a far time code the truth where the settings say it is.
constexpr int AuthoritativeRun = 10;

} // namespace

QString WithheldName(Withheld why)
{
    static const char* const names[] = {"backlog", "no_time", "far", "unsent"};
    static_assert(std::size(names) == WithheldCount, "one word for each reason");
    return QLatin1String(names[size_t(why)]);
}

bool FeedsFar(const FeedReport& feed)
{
    return feed.LastOffsetS && std::fabs(*feed.LastOffsetS) > LargestOffsetS;
}

bool Starved(const FeedReport& feed)
{
    return feed.NotTaken >= StarvedRun;
}

ChronyFeed::ChronyFeed(OutputListener& listener, const FeedPlan& plan, const FeedReport& before)
    : Listener(listener)
    , Zone(plan.TimeZone.isEmpty() ? QTimeZone::systemTimeZone() : QTimeZone(plan.TimeZone.toUtf8()))
    , Authoritative(plan.Authoritative)
    , AuthoritativeKey(plan.AuthoritativeKey)
    , Speeds(plan.Speeds)
    , Figures(before)
{
    // The counts go on; the socket, and what it last said, are this feed's own.
    Figures.Socket = plan.Socket;
    Figures.LastError.clear();
    Address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(plan.Socket);
    std::memcpy(Address.sun_path, path.constData(), std::min(size_t(path.size()), sizeof(Address.sun_path) - 1));
    Descriptor = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    Listener.OnOutputSaid(QtInfoMsg, QStringLiteral("time codes of the line in use feed chrony at ") + plan.Socket);
}

ChronyFeed::~ChronyFeed()
{
    if (Descriptor >= 0)
        ::close(Descriptor);
}

void ChronyFeed::Put(const OutputValue& relayed)
{
    const Sample& value = relayed.Admitted;
    if (!relayed.Running || value.Kind != SourceKind::Line || value.Role == Source::OwnClock)
        return;
    if (!value.Last) {
        Withhold(Withheld::Backlog);
        return;
    }
    // Spaces a display shows as zeros are no time to set a clock by.
    const bool digits = value.Text.size() == TimeCodeSize
        && std::all_of(value.Text.begin(), value.Text.end(), [](char c) { return c >= '0' && c <= '9'; });
    // A line's speed was checked before it opened; none at all adds no time.
    const int speed = Speeds[value.Role == Source::Standby ? 1 : 0];
    // The code's last byte came before the bytes that followed it in its read: their time on the line.
    const WallTime at = value.WallAt
        - std::chrono::duration_cast<WallTime::duration>(
                            std::chrono::duration<double>(speed > 0 ? CharactersSeconds(value.Trailing, speed) : 0));
    const std::optional<CodeInstant> instant
        = digits && value.Second ? std::optional<CodeInstant>(InstantOfCode(*value.Second, Zone, at)) : std::nullopt;
    if (!instant || instant->Result != CodeInstant::Kind::Found) {
        Withhold(Withheld::NoTime);
        return;
    }
    const double offsetS
        = std::chrono::duration<double>(instant->At - at).count() + (speed > 0 ? FrameSeconds(speed) : 0);
    const int agreeing = Agreeing.Add(offsetS);
    const bool far = std::fabs(offsetS) > LargestOffsetS;
    if (far && !(Authoritative && agreeing >= AuthoritativeRun)) {
        Withhold(Withheld::Far);
        if (!FarSaidAtMs || value.AtMs - *FarSaidAtMs >= FarSaidMs) {
            FarSaidAtMs = value.AtMs;
            Listener.OnOutputSaid(QtWarningMsg,
                                  QStringLiteral("chrony is not fed: %1 (%2 code(s) withheld so far)")
                                      .arg(FarOffsetText(offsetS))
                                      .arg(Figures.Withheld[size_t(Withheld::Far)]));
        }
        return;
    }
    const bool wasFar = FeedsFar(Figures);
    if (!Send(at, offsetS))
        return;
    if (far && !wasFar)
        Listener.OnOutputSaid(QtWarningMsg, FarFedText(offsetS, AuthoritativeKey));
    else if (!far && wasFar)
        Listener.OnOutputSaid(
            QtInfoMsg,
            QStringLiteral("chrony is fed time codes within %1 s of this computer's clock again").arg(LargestOffsetS));
}

bool ChronyFeed::Send(WallTime at, double offsetS)
{
    const auto sinceEpoch = std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count();
    SockSample sample {};
    sample.Time.tv_sec = time_t(sinceEpoch / 1000000);
    sample.Time.tv_usec = suseconds_t(sinceEpoch % 1000000);
    sample.Offset = offsetS;
    sample.Magic = SockMagic;
    const ssize_t sent = Descriptor < 0 ? -1
                                        : ::sendto(Descriptor, &sample, sizeof(sample), MSG_DONTWAIT | MSG_NOSIGNAL,
                                                   reinterpret_cast<const sockaddr*>(&Address), sizeof(Address));
    if (sent != ssize_t(sizeof(sample))) {
        const QString error = QString::fromLocal8Bit(std::strerror(Descriptor < 0 ? EBADF : errno));
        Withhold(Withheld::Unsent);
        // Once until it changes: chrony may be away for hours.
        if (error != Figures.LastError)
            Listener.OnOutputSaid(QtWarningMsg,
                                  QStringLiteral("chrony is not fed at %1: %2").arg(Figures.Socket, error));
        Figures.LastError = error;
        return false;
    }
    if (!Figures.LastError.isEmpty())
        Listener.OnOutputSaid(QtInfoMsg, QStringLiteral("chrony is fed again at ") + Figures.Socket);
    Figures.LastError.clear();
    ++Figures.Sent;
    Figures.NotTaken = 0;
    Figures.LastOffsetS = offsetS;
    return true;
}
