#include "relay/SourceSelector.h"

#include <algorithm>

SourceSelector::SourceSelector(qint64 afterMs, bool ownClock)
    : AfterMs(afterMs)
    , OwnClockAllowed(ownClock)
{ }

void SourceSelector::Restart(qint64 now)
{
    // A source is given the time to be reached at all (a server is asked two seconds after a start)
    // before its silence counts.
    const qint64 reached = now + std::max<qint64>(0, StartGraceMs - AfterMs);
    Current = Source::Primary;
    PrimaryFeed = {reached, -1, false};
    StandbyFeed = {reached, -1, false};
}

bool SourceSelector::Alive(Source from, qint64 now) const
{
    const Feed& feed = FeedOf(from);
    return !feed.lost && now - feed.last <= AfterMs;
}

bool SourceSelector::Take(Source from, qint64 now)
{
    Feed& feed = FeedOf(from);
    if (feed.lost || feed.steadySince < 0 || now - feed.last > BreakMs)
        feed.steadySince = now;
    feed.last = now;
    feed.lost = false;
    // Any value ends the computer's own time at once.
    if (Current == Source::OwnClock)
        Current = from;
    return Update(now) == from;
}

void SourceSelector::Lost(Source from, qint64 now)
{
    Feed& feed = FeedOf(from);
    feed.lost = true;
    feed.steadySince = -1;
    Update(now);
}

Source SourceSelector::Update(qint64 now)
{
    const bool primary = Alive(Source::Primary, now);
    const bool standby = Alive(Source::Standby, now);
    const bool steady = primary && now - PrimaryFeed.steadySince >= SteadyMs;
    const bool nobody = now - std::max(PrimaryFeed.last, StandbyFeed.last) >= AfterMs;
    switch (Current) {
    case Source::Primary:
        if (!primary && standby)
            Current = Source::Standby;
        else if (!primary && OwnClockAllowed && nobody)
            Current = Source::OwnClock;
        break;
    case Source::Standby:
        if (steady || (!standby && primary))
            Current = Source::Primary;
        else if (!standby && OwnClockAllowed && nobody)
            Current = Source::OwnClock;
        break;
    case Source::OwnClock:
        break;
    }
    return Current;
}
