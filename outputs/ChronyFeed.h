#pragma once

#include "outputs/ClockOutput.h"
#include "outputs/TimeCodeInstant.h"

#include <QString>
#include <QTimeZone>
#include <array>
#include <sys/un.h>

// Why a time code of the line in use gave chrony no sample.
enum class Withheld
{
    // It waited behind others, so the moment it was read is not when it came.
    Backlog,
    // No time of day, or none in the zone on its date (the hour skipped in spring).
    NoTime,
    // More than two seconds from this computer's clock.
    Far,
    // The socket took none: chrony not there, no permission, its queue full.
    Unsent,
};
constexpr size_t WithheldCount = size_t(Withheld::Unsent) + 1;

// "backlog", "no_time", "far", "unsent": the report's words for each, written here alone.
QString WithheldName(Withheld why);

// The reference-clock feed of chrony: where it sends, what it sent and withheld, the last offset sent
// and what the socket last said when it took nothing.
struct FeedReport
{
    QString Socket;
    quint64 Sent = 0;
    std::array<quint64, WithheldCount> Withheld {};
    std::optional<double> LastOffsetS;
    QString LastError;
    // The codes of the line in use that gave chrony no sample since the last that did, and why the last
    // of them gave none.
    quint64 NotTaken = 0;
    std::optional<::Withheld> LastWithheld;
};

// So many codes in a row that chrony did not take make a feed that feeds nothing.
constexpr quint64 StarvedRun = 10;

// The last sample chrony took lies more than 2 s from this computer's clock, as [NTP] Authoritative=1 allows.
bool FeedsFar(const FeedReport& feed);

// chrony has taken none of the last StarvedRun codes or more.
bool Starved(const FeedReport& feed);

// Where the feed sends and how it reads the codes: chrony's socket, the zone whose time of day the codes
// name (empty: this computer's), whether codes far from this computer's clock still go and the words
// that name that setting in the log, and the speeds of the primary and the standby line in bits per second.
struct FeedPlan
{
    QString Socket;
    QString TimeZone;
    bool Authoritative = false;
    QString AuthoritativeKey;
    std::array<int, 2> Speeds {};
};

// chrony's SOCK reference clock, fed with the time codes of the line in use: for each code read as the
// last thing on its line, one sample of the moment its last byte was read and how far the time it names
// lies from it. A value of a server or of this computer's clock is never sent: NTP would hear its own
// time. chrony comes and goes; a sample it cannot take is counted and said, and never waited for.
class ChronyFeed final : public ClockOutput
{
public:
    // The figures of the feed it follows at a reload, since its counts run from the relay's start.
    ChronyFeed(OutputListener& listener, const FeedPlan& plan, const FeedReport& before = FeedReport());
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

    OutputListener& Listener;
    int Descriptor = -1;
    sockaddr_un Address {};
    QTimeZone Zone;
    bool Authoritative = false;
    QString AuthoritativeKey;
    std::array<int, 2> Speeds;
    AgreementRun Agreeing;
    std::optional<qint64> FarSaidAtMs;
    FeedReport Figures;
};
