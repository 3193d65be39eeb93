#pragma once

#include "config/NtpSettings.h"
#include "relay/ClockOutput.h"
#include "relay/RelayReport.h"
#include "relay/TimeCodeInstant.h"

#include <QTimeZone>
#include <array>
#include <sys/un.h>

// chrony's SOCK reference clock, fed with the time codes of the line in use: for each code read as the
// last thing on its line, one sample of the moment its last byte was read and how far the time it names
// lies from it. A value of a server or of this computer's clock is never sent: NTP would hear its own
// time. chrony comes and goes; a sample it cannot take is counted and said, and never waited for.
class ChronyFeed final : public ClockOutput
{
public:
    // The speeds of the primary and the standby line, in bits per second, for the frames' transmission;
    // the figures of the feed it follows at a reload, since its counts run from the relay's start.
    ChronyFeed(const NtpConfig& config, std::array<int, 2> speeds, const FeedReport& before = FeedReport());
    ~ChronyFeed();
    ChronyFeed(const ChronyFeed&) = delete;
    ChronyFeed& operator=(const ChronyFeed&) = delete;

    void Put(const OutputValue& value) override;
    const FeedReport& Report() const { return Figures; }

    // How long a far code's reason stays unsaid after it was said.
    static constexpr qint64 FarSaidMs = 60000;

private:
    void Withhold(Withheld why)
    {
        ++Figures.Withheld[size_t(why)];
        ++Figures.NotTaken;
        Figures.LastWithheld = why;
    }
    // Whether chrony took it.
    bool Send(WallTime at, double offsetS);

    int Descriptor = -1;
    sockaddr_un Address {};
    QTimeZone Zone;
    bool Authoritative = false;
    std::array<int, 2> Speeds;
    AgreementRun Agreeing;
    std::optional<qint64> FarSaidAtMs;
    FeedReport Figures;
};
