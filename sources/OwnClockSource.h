#pragma once

#include "sources/TimeSource.h"

#include <QTimer>
#include <chrono>
#include <functional>

// What the kernel says of this computer's clock: how far off it may be, in seconds. NTP (chrony) keeps
// it small; a clock nobody keeps is given 16 s, the most the kernel says.
struct ClockSync
{
    double MaxErrorS = 16;

    // Synchronised: off by less than the largest error allowed.
    bool Within(double largestErrorS) const { return MaxErrorS < largestErrorS; }
};

// The kernel's word now (ntp_adjtime, which changes nothing when it is only asked).
ClockSync KernelClockSync();

// Where the relay asks: the kernel, unless a test gives a reader of its own; an empty one gives the kernel back.
void ReadClockSyncWith(std::function<ClockSync()> reader);
ClockSync ReadClockSync();

// Which second of this computer's clock goes out as it turns: each once, and never one behind the last
// sent. A clock stepped back (as chronyd steps it at boot) is waited out until it passes the last second
// sent again, unless it went back further than a source set back is ever waited for: that step is
// taken at once. Seconds are counted on the clock's own scale, not the local time of day, so that
// summer time's end, an hour that repeats, is no step back.
class ClockSeconds
{
public:
    using Second = std::chrono::time_point<std::chrono::system_clock, std::chrono::seconds>;

    explicit ClockSeconds(std::chrono::seconds longestWait);

    struct Turn
    {
        // The second to send now, since the epoch; nothing while it was sent already or is waited out.
        std::optional<ClockSeconds::Second> Send;
        // How far the clock went back, where a step that far was taken at once.
        std::chrono::seconds SteppedBack {0};
    };
    Turn Take(std::chrono::system_clock::time_point now);
    void Forget() { Last.reset(); }

private:
    std::chrono::seconds LongestWait;
    std::optional<ClockSeconds::Second> Last;
};

// This computer's clock as a source: each second once, just after it turns, on a precise timer aimed
// anew at every second from the wall clock, so that neither a timer firing early, nor a wall clock slewed
// against the monotonic one or stepped back, ever sends a second twice or one behind. Never lost; but whether the clock
// is synchronised is asked of the kernel with each second, and said at each change: its values go out either way.
class OwnClockSource final : public TimeSource
{
public:
    // The format of a value as a source of the mode sends it: "hhmmss" or "hh:mm:ss"; the largest maximum
    // error at which the clock is still synchronised; the longest step back that is waited out.
    OwnClockSource(SourceListener& listener, const QString& format, double largestErrorS,
                   std::chrono::seconds longestWait);

    std::optional<SourceFault> Open() override;
    void Seek() override { }
    void Stop() override { Tick.stop(); }
    bool IsOpen() const override { return Tick.isActive(); }
    SourceKind Kind() const override { return SourceKind::Clock; }
    QString Name() const override { return QStringLiteral("this computer's clock"); }
    PlaceReport Report() const override;
    std::optional<ClockReport> Sync() const override { return Synced; }

    // How long after the second turns a value goes out.
    static constexpr int LagMs = 2;

private:
    // The timer, to the next turn of the second after this moment of the wall clock.
    void Aim(std::chrono::system_clock::time_point now);
    void Send();
    void AskKernel();

    SourceListener& Listener;
    QString Format;
    double LargestErrorS;
    std::optional<ClockReport> Synced;
    QTimer Tick;
    ClockSeconds Seconds;
};
