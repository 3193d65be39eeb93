#pragma once

#include "serial/TimeCodeReader.h"

#include <QObject>
#include <array>
#include <atomic>

class LineSource;

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
