#pragma once

#include "relay/TimeSource.h"

#include <QTimer>

class RelayHost;

// This computer's clock as a source: each second once, just after it turns, on a precise timer aimed
// anew at every second from the wall clock, so that neither a timer firing early nor a wall clock slewed
// against the monotonic one ever sends a second twice. Never lost; but whether the clock is synchronised
// is asked of the kernel with each second, and said at each change: its values go out either way.
class OwnClockSource final : public TimeSource
{
public:
    // The format of a value as a source of the mode sends it: "hhmmss" or "hh:mm:ss"; the largest maximum
    // error at which the clock is still synchronised.
    OwnClockSource(SourceListener& listener, RelayHost& host, const QString& format, double largestErrorS);

    std::optional<SourceFault> Open() override;
    void Seek() override { }
    void Stop() override { Tick.stop(); }
    bool IsOpen() const override { return Tick.isActive(); }
    QString Name() const override { return QStringLiteral("this computer's clock"); }
    PlaceReport Report() const override;
    std::optional<ClockReport> Sync() const override { return Synced; }

    // How long after the second turns a value goes out.
    static constexpr int LagMs = 2;

private:
    void Aim();
    void Send();
    void AskKernel();

    SourceListener& Listener;
    RelayHost& Host;
    QString Format;
    double LargestErrorS;
    std::optional<ClockReport> Synced;
    QTimer Tick;
    int LastSecond = -1;
};
