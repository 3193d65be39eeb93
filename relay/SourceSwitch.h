#pragma once

#include "sources/Sample.h"

#include <QDateTime>
#include <QTimeZone>
#include <array>
#include <optional>
#include <vector>

// How long each wait of the switch lasts, in milliseconds of its monotonic clock.
struct SwitchTimings
{
    // A source silent this long hands over ([Standby] After).
    qint64 AfterMs = 3000;
    // A source that came back is preferred again once it has sent this long without a break.
    qint64 SteadyMs = 10000;
    // A gap this long between two values is a break; a zone's step back told this near is the one meant.
    qint64 BreakMs = 2000;
    // A value held from a source not in use goes out when it takes over, if it is no older than this.
    qint64 HeldFreshMs = 1000;
    // A source that insists this long on a time behind has had its clock set back.
    qint64 StepBackMs = 10000;
};

// Decides which values reach the displays, from what each source gave and when. Sources are ranked:
// the best alive one is used; one that is lost, or has sent nothing for After, hands over at once to the
// best alive; a better one that comes back takes over again once it has sent for Steady without a break,
// or at once where the one in use is this computer's clock, the last resort that is always alive. With
// a spare to switch to, the displays never get the same second twice in a row nor one behind the last
// (behind: up to 12 h behind, so midnight is a step forward; exactly 12 h is behind, the likelier slip of
// a 12-hour clock); a source that insists on a time behind for StepBack has had its clock set back, and
// is followed, and the step back of the local zone's autumn change, told as it happens, is followed at
// once. A relay of one source passes each value as its source sends it.
class SourceSwitch
{
public:
    // Today's ranking: the primary, the standby, this computer's clock, each where the run has it.
    SourceSwitch(std::vector<Source> ranked, const SwitchTimings& timings);

    // A run starts with the primary in use; no source counts as silent before graceMs from now.
    void Restart(qint64 now, qint64 graceMs = 0);
    // A value came from its role's source at its moment; what goes to the displays now, if anything. A
    // value of a source not in use is held: it goes out if its source takes over while it is still the
    // time of now.
    std::optional<Sample> Offer(const Sample& value);
    // The source is gone: nothing of it is waited for, and the other takes over at once.
    std::optional<Sample> Lost(Source from, qint64 now);
    // A silence that has lasted After hands over; to be called at NextCheck.
    std::optional<Sample> Update(qint64 now);
    // The local zone has just turned its clocks back by backS seconds: a step back of that much, within
    // a break from now, is the time of now.
    void ZoneSteppedBack(int backS, qint64 now);
    // When Update may next change something (a silence reaching After, the primary steady); -1 never.
    qint64 NextCheck(qint64 now) const;

    Source InUse() const { return Current; }
    // Gave a value within After and is not lost; this computer's clock always, where ranked.
    bool Alive(Source from, qint64 now) const;
    const SwitchTimings& Timings() const { return Waits; }

private:
    struct Feed
    {
        qint64 last = 0;
        qint64 steadySince = -1;
        bool lost = false;
        std::optional<Sample> held;
    };
    Feed& FeedOf(Source from) { return Feeds[size_t(from)]; }
    const Feed& FeedOf(Source from) const { return Feeds[size_t(from)]; }
    // Where the source stands in the ranking; past the end when the run has none.
    size_t RankOf(Source from) const;
    bool Steady(Source from, qint64 now) const;
    void Choose(qint64 now);
    // The source that took over gives the value it holds, if that is still the time of now.
    std::optional<Sample> HandOver(Source before, qint64 now);
    // The order the displays must see: nothing twice, nothing behind.
    std::optional<Sample> Admit(const Sample& value, qint64 now);
    // Whether a second behind the last is the zone's step back, which it then uses up.
    bool ZoneStep(int second, qint64 now);

    std::vector<Source> Ranked;
    SwitchTimings Waits;
    Source Current = Source::Primary;
    std::array<Feed, 3> Feeds;
    std::optional<int> LastSecond;
    qint64 LastRelayedAt = 0;
    int ZoneBackS = 0;
    qint64 ZoneBackAt = 0;
};

// How far one zone turns its clocks back at a change near a moment, looked up once per change rather
// than at each value: the zone's next change is kept until it has passed.
class ZoneSteps
{
public:
    explicit ZoneSteps(const QTimeZone& zone = QTimeZone::systemTimeZone());

    // Seconds back at a change within withinMs of the moment: 0 where none is that near, or where the
    // change goes forward.
    int BackAt(const QDateTime& utc, qint64 withinMs);

private:
    QTimeZone Zone;
    // The moment the next change was looked up from.
    QDateTime From;
    QTimeZone::OffsetData Next;
};
