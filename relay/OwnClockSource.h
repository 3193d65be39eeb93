#pragma once

#include "relay/TimeSource.h"

#include <QTimer>

// This computer's clock as a source: each second once, just after it turns, on a precise timer aimed
// anew at every second from the wall clock, so that neither a timer firing early nor a wall clock slewed
// against the monotonic one ever sends a second twice. Never lost.
class OwnClockSource final : public TimeSource
{
public:
    // The format of a value as a source of the mode sends it: "hhmmss" or "hh:mm:ss".
    OwnClockSource(SourceListener& listener, const QString& format);

    std::optional<SourceFault> Open() override;
    void Seek() override { }
    void Stop() override { Tick.stop(); }
    bool IsOpen() const override { return Tick.isActive(); }
    QString Name() const override { return QStringLiteral("this computer's clock"); }
    PlaceReport Report() const override { return PlaceReport::OfClock(Name()); }

    // How long after the second turns a value goes out.
    static constexpr int LagMs = 2;

private:
    void Aim();
    void Send();

    SourceListener& Listener;
    QString Format;
    QTimer Tick;
    int LastSecond = -1;
};
