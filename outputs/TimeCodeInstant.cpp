#include "outputs/TimeCodeInstant.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr qint64 DayS = 86400;
constexpr double QuarterHourS = 900;
// Two codes a second apart agree when their offsets differ by less than this: the reader's stamp wanders
// by milliseconds, a code that jumps by seconds is another clock's.
constexpr double AgreeS = 0.25;

int OffsetAt(const QTimeZone& zone, qint64 utcS)
{
    return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utcS, QTimeZone::utc()));
}

// The readings of a local time, as UTC seconds: none in a gap, two in an hour that repeats. The zone's
// offsets half a day either side are the only ones that can map it back to itself.
std::vector<qint64> Readings(qint64 localAsUtcS, const QTimeZone& zone)
{
    std::vector<qint64> readings;
    for (const qint64 probe : {localAsUtcS - DayS / 2, localAsUtcS + DayS / 2}) {
        const qint64 utc = localAsUtcS - OffsetAt(zone, probe);
        if (OffsetAt(zone, utc) == localAsUtcS - utc
            && std::find(readings.begin(), readings.end(), utc) == readings.end())
            readings.push_back(utc);
    }
    return readings;
}

} // namespace

CodeInstant InstantOfCode(int secondOfDay, const QTimeZone& zone, WallTime near)
{
    const qint64 nearMs = std::chrono::duration_cast<std::chrono::milliseconds>(near.time_since_epoch()).count();
    const QDate today = QDateTime::fromMSecsSinceEpoch(nearMs, zone).date();
    std::optional<qint64> best;
    bool bestIsGap = false;
    for (int day = -1; day <= 1; ++day) {
        const qint64 localAsUtcS
            = QDateTime(today.addDays(day), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch() + secondOfDay;
        std::vector<qint64> candidates = Readings(localAsUtcS, zone);
        const bool gap = candidates.empty();
        // A time that does not exist stands where the offset before the gap would have put it.
        if (gap)
            candidates.push_back(localAsUtcS - OffsetAt(zone, localAsUtcS - DayS / 2));
        for (const qint64 utc : candidates) {
            if (!best || std::llabs(utc * 1000 - nearMs) < std::llabs(*best * 1000 - nearMs)) {
                best = utc;
                bestIsGap = gap;
            }
        }
    }
    if (bestIsGap)
        return {CodeInstant::Kind::NoSuchTime, {}};
    return {CodeInstant::Kind::Found, WallTime(std::chrono::seconds(*best))};
}

double CharactersSeconds(int characters, int bitsPerSecond, int dataBits, bool parity, int stopBits)
{
    const int bitsPerCharacter = 1 + dataBits + (parity ? 1 : 0) + stopBits;
    return double(characters) * bitsPerCharacter / bitsPerSecond;
}

double FrameSeconds(int bitsPerSecond, int dataBits, bool parity, int stopBits)
{
    return CharactersSeconds(7, bitsPerSecond, dataBits, parity, stopBits);
}

namespace {

// "3600.0 s ahead of", "1800.5 s behind".
QString HowFar(double offsetS)
{
    return QStringLiteral("%1 s %2")
        .arg(std::fabs(offsetS), 0, 'f', 1)
        .arg(offsetS > 0 ? QStringLiteral("ahead of") : QStringLiteral("behind"));
}

} // namespace

QString FarOffsetText(double offsetS)
{
    const double quarters = std::round(offsetS / QuarterHourS);
    const QString difference = QStringLiteral("the time code is %1 this computer's clock").arg(HowFar(offsetS));
    if (quarters != 0 && std::fabs(offsetS - quarters * QuarterHourS) <= LargestOffsetS)
        return difference
            + QStringLiteral(": the time zone or summer time of the time code and of this computer differ");
    return difference;
}

QString FarFedText(double offsetS, const QString& askedBy)
{
    return QStringLiteral("chrony is fed time codes %1 this computer's clock, as %2=1 asks")
        .arg(HowFar(offsetS), askedBy);
}

int AgreementRun::Add(double offsetS)
{
    Length = Length > 0 && std::fabs(offsetS - Previous) < AgreeS ? Length + 1 : 1;
    Previous = offsetS;
    return Length;
}
