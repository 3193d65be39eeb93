#pragma once

#include "serial/FrameBacklog.h"
#include "serial/SerialLine.h"
#include "serial/TimeCodeReader.h"
#include "sources/TimeSource.h"

#include <QObject>
#include <array>
#include <atomic>

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

// The one reader thread of a server relay, for every input line it has (the primary's and the
// standby's): it is stopped before any of its lines closes and started again on those left open, and
// hands each frame and read error to the line it came from.
class LineReading final : public QObject
{
public:
    static constexpr int Places = 2;

    // The line read at this place; frames and errors name their place.
    void Attach(int place, LineSource* line) { Lines.at(size_t(place)) = line; }
    // The input line at this place (0 the primary's, 1 the standby's); none in client mode.
    LineSource* LineAt(int place) const { return Lines.at(size_t(place)); }
    // Reads the open lines from now on; only frames of this run count.
    void StartReader();
    void StopReader();
    // A line opens or closes: the reader lets go of every line meanwhile, and reads the open ones after,
    // if it was reading.
    template<typename Change> void Around(Change change)
    {
        const bool reading = Reading;
        StopReader();
        change();
        if (reading)
            StartReader();
    }

    std::atomic<int> ReaderRunFlag {0};

protected:
    bool event(QEvent* event) override;

private:
    TimeCodeReader Reader;
    std::array<LineSource*, Places> Lines {};
    int ReaderRun = 0;
    bool Reading = false;
};
