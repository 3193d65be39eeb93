#pragma once

#include <QtGlobal>

enum class Source
{
    Primary,
    Standby,
    OwnClock,
};

// Which source's values are relayed, by when each last gave one: the primary's while it is alive; the
// standby's once the primary is lost or has sent nothing for After; the primary's again once it has sent
// values without a break for 10 s, so that a primary that flickers never flips the displays back and
// forth; this computer's own clock, where allowed, once neither has given a value for After. Times are
// milliseconds of one monotonic clock.
class SourceSelector
{
public:
    SourceSelector(qint64 afterMs, bool ownClock);

    // Both sources are waited for from now on, the primary in use.
    void Restart(qint64 now);
    // A value came: true when it is to be relayed. A switch it brings about happens at once, so the
    // value that makes a source the one in use is the first of it relayed.
    bool Take(Source from, qint64 now);
    // The source is gone (its line lost, its server lost): nothing of it is waited for.
    void Lost(Source from, qint64 now);
    // Switches over from a source in use that fell silent; looked at every second. The one in use.
    Source Update(qint64 now);
    Source InUse() const { return Current; }
    // Gave a value within After, and is not lost.
    bool Alive(Source from, qint64 now) const;

    // A value a second is the rule: a longer gap is a break in a source's values.
    static constexpr qint64 BreakMs = 2000;
    static constexpr qint64 SteadyMs = 10000;
    static constexpr qint64 StartGraceMs = 5000;

private:
    struct Feed
    {
        qint64 last = 0;
        qint64 steadySince = -1;
        bool lost = false;
    };
    Feed& FeedOf(Source from) { return from == Source::Primary ? PrimaryFeed : StandbyFeed; }
    const Feed& FeedOf(Source from) const { return from == Source::Primary ? PrimaryFeed : StandbyFeed; }

    qint64 AfterMs;
    bool OwnClockAllowed;
    Source Current = Source::Primary;
    Feed PrimaryFeed;
    Feed StandbyFeed;
};
