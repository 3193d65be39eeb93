#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <chrono>
#include <optional>

// The moment a value came, and every time the switch is given: milliseconds of the monotonic clock.
inline qint64 MonotonicMs(std::chrono::steady_clock::time_point at)
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(at.time_since_epoch()).count();
}

inline qint64 SourceClockMs()
{
    return MonotonicMs(std::chrono::steady_clock::now());
}

// The clock the switch at work reads the time on: the monotonic one, or one a test sets.
class MonotonicClock
{
public:
    virtual ~MonotonicClock() = default;
    virtual qint64 NowMs() const { return SourceClockMs(); }

    static const MonotonicClock& System()
    {
        static const MonotonicClock clock;
        return clock;
    }
};

// A source's part in a relay, in its order of preference.
enum class Source
{
    Primary,
    Standby,
    OwnClock,
};

// "primary", "standby", "own clock": the report's words for each, written here alone.
QString RoleName(Source role);

// What gave a value.
enum class SourceKind
{
    Line,
    Server,
    Clock,
};

// One clock value on its way from where it was read to every output: its text, the second of the day it
// names (none for a text that is no time), when it came (in the monotonic milliseconds every wait of the
// relay counts in, and on the wall clock, both taken where it was read), whether it was the last thing
// read then (no backlog between the line and that moment) and how many bytes came after it in that read,
// and which source gave it.
struct Sample
{
    QByteArray Text;
    std::optional<int> Second;
    qint64 AtMs = 0;
    std::chrono::system_clock::time_point WallAt;
    bool Last = true;
    int Trailing = 0;
    Source Role = Source::Primary;
    SourceKind Kind = SourceKind::Line;
};

// A value that came now, as a source makes it; its role is the relay's to give.
Sample SampleOf(const QByteArray& text, SourceKind kind, qint64 atMs,
                std::chrono::system_clock::time_point wallAt = std::chrono::system_clock::now(), bool last = true,
                int trailing = 0);
