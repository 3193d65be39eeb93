#pragma once

#include <QString>
#include <QTimeZone>
#include <chrono>
#include <optional>

// A time code names a time of day in some zone, without a date. These turn it into the instant it
// names, for a reference clock that must be told the time to the millisecond.

using WallTime = std::chrono::system_clock::time_point;

// Where the code lands: the instant, or why there is none.
struct CodeInstant
{
    enum class Kind
    {
        Found,
        // The time of day does not exist on the nearest date (the hour skipped in spring).
        NoSuchTime,
    };
    Kind Result = Kind::Found;
    WallTime At;
};

// The instant `secondOfDay` names in `zone` on the date that puts it nearest `near`: yesterday, today or
// tomorrow, and of an hour that repeats in autumn whichever reading is nearer.
CodeInstant InstantOfCode(int secondOfDay, const QTimeZone& zone, WallTime near);

// How long characters take on the line, from the start of the first one's first bit to the end of the
// last one's last: each a start bit, its data bits, its parity bit and its stop bits. A frame is seven
// (STX and six digits).
double CharactersSeconds(int characters, int bitsPerSecond, int dataBits = 8, bool parity = false, int stopBits = 1);
double FrameSeconds(int bitsPerSecond, int dataBits = 8, bool parity = false, int stopBits = 1);

// A code further than this from the system clock is no sample: chrony would step the clock by it.
constexpr double LargestOffsetS = 2.0;

// What a code that far from the system clock says, for the log: the difference, and, near a whole quarter
// hour, that the zones or summer times differ.
QString FarOffsetText(double offsetS);

// What a feed that sends codes that far says of itself, as the setting that asks it to (by its name).
QString FarFedText(double offsetS, const QString& askedBy);

// How many codes in a row have agreed with each other: a code whose offset stays within a quarter
// second of the one before adds one, any other starts the run anew.
class AgreementRun
{
public:
    int Add(double offsetS);
    void Reset() { Length = 0; }

private:
    int Length = 0;
    double Previous = 0;
};
