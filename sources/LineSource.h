#pragma once

#include "serial/FrameBacklog.h"
#include "serial/SerialLine.h"
#include "sources/TimeSource.h"

class LineReading;

// An input line of a server relay: time-code frames read by the relay's reader thread, the line
// reopened every 2 s by its COM name once it is lost.
class LineSource final : public TimeSource
{
public:
    LineSource(SourceListener& listener, LineReading& reading, int place);
    ~LineSource() override;

    void Configure(const QString& name, const QString& speed, const ComDeviceMap& ports)
    {
        Line.Configure(name, speed, ports);
    }
    std::optional<SourceFault> Open() override;
    void Seek() override;
    void Stop() override;
    bool IsOpen() const override { return Line.IsOpen(); }
    SourceKind Kind() const override { return SourceKind::Line; }
    const SerialLine* InputLine() const override { return &Line; }
    QString Name() const override { return Line.Name; }
    QString Where() const override { return Line.Device; }
    PlaceReport Report() const override;

    // From the reader: a frame, or the read error that ends the line.
    void TakeFrame(const ReadFrame& read);
    void ReadFailed(int error);

    SerialLine Line;

private:
    SourceFault FaultOf(const PortFault& fault) const;
    void Close();

    SourceListener& Listener;
    LineReading& Reading;
    int Place;
    // Why it is away, as it was last told: a retry that meets the same reason says nothing.
    QString Fault;
};
