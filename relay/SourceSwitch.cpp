#include "relay/SourceSwitch.h"

#include "relay/ClockFormat.h"

#include <cstdlib>
#include <utility>

namespace {

constexpr int Day = 24 * 60 * 60;

} // namespace

SourceSwitch::SourceSwitch(qint64 afterMs, bool standby, bool ownClock)
    : AfterMs(afterMs)
    , StandbyGiven(standby)
    , OwnClockAllowed(ownClock)
{ }

void SourceSwitch::Restart(qint64 now, qint64 graceMs)
{
    Current = Source::Primary;
    PrimaryFeed = {now + graceMs, -1, false, {}, 0};
    StandbyFeed = {now + graceMs, -1, !StandbyGiven, {}, 0};
    LastSecond.reset();
    LastRelayedAt = 0;
}

bool SourceSwitch::Alive(Source from, qint64 now) const
{
    if (from == Source::OwnClock)
        return OwnClockAllowed;
    const Feed& feed = FeedOf(from);
    return !feed.lost && now - feed.last <= AfterMs;
}

std::optional<QByteArray> SourceSwitch::Offer(Source from, const QByteArray& value, qint64 now)
{
    const Source before = Current;
    if (from == Source::OwnClock) {
        Choose(now);
        return Current == Source::OwnClock ? Admit(value, now) : HandOver(before, now);
    }
    Feed& feed = FeedOf(from);
    if (feed.lost || feed.steadySince < 0 || now - feed.last > BreakMs)
        feed.steadySince = now;
    feed.last = now;
    feed.lost = false;
    Choose(now);
    if (Current == from) {
        feed.held.clear();
        return Admit(value, now);
    }
    feed.held = value;
    feed.heldAt = now;
    return HandOver(before, now);
}

std::optional<QByteArray> SourceSwitch::Lost(Source from, qint64 now)
{
    Feed& feed = FeedOf(from);
    feed.lost = true;
    feed.steadySince = -1;
    feed.held.clear();
    return Update(now);
}

std::optional<QByteArray> SourceSwitch::Update(qint64 now)
{
    const Source before = Current;
    Choose(now);
    return HandOver(before, now);
}

void SourceSwitch::Choose(qint64 now)
{
    const bool primary = Alive(Source::Primary, now);
    const bool standby = Alive(Source::Standby, now);
    const bool steady = primary && PrimaryFeed.steadySince >= 0 && now - PrimaryFeed.steadySince >= SteadyMs;
    const Source neither = OwnClockAllowed ? Source::OwnClock : Current;
    switch (Current) {
    case Source::Primary:
        if (!primary)
            Current = standby ? Source::Standby : neither;
        break;
    case Source::Standby:
        if (primary && (steady || !standby))
            Current = Source::Primary;
        else if (!standby)
            Current = neither;
        break;
    case Source::OwnClock:
        // Any source that speaks again ends this computer's time at once.
        if (primary)
            Current = Source::Primary;
        else if (standby)
            Current = Source::Standby;
        break;
    }
}

std::optional<QByteArray> SourceSwitch::HandOver(Source before, qint64 now)
{
    if (Current == before || Current == Source::OwnClock)
        return std::nullopt;
    Feed& feed = FeedOf(Current);
    if (feed.held.isEmpty() || now - feed.heldAt > HeldFreshMs)
        return std::nullopt;
    const QByteArray held = std::exchange(feed.held, QByteArray());
    return Admit(held, now);
}

std::optional<QByteArray> SourceSwitch::Admit(const QByteArray& value, qint64 now)
{
    if (!StandbyGiven && !OwnClockAllowed)
        return value;
    const std::optional<int> second = SecondOfDay(value);
    // A text that is no time cannot be put in order: it goes out as its source sent it.
    if (!second)
        return value;
    if (LastSecond) {
        const int ahead = (*second - *LastSecond + Day) % Day;
        if (ahead == 0 || (ahead >= Day / 2 && now - LastRelayedAt < StepBackMs && !ZoneStep(*second, now)))
            return std::nullopt;
    }
    LastSecond = second;
    LastRelayedAt = now;
    return value;
}

void SourceSwitch::ZoneSteppedBack(int backS, qint64 now)
{
    ZoneBackS = backS;
    ZoneBackAt = now;
}

bool SourceSwitch::ZoneStep(int second, qint64 now)
{
    if (ZoneBackS <= 0 || now - ZoneBackAt > BreakMs)
        return false;
    // The second after the last, an hour (or what the zone takes back) earlier; a second either side.
    const int elapsed = int((now - LastRelayedAt + 500) / 1000);
    const int expected = ((*LastSecond + elapsed - ZoneBackS) % Day + Day) % Day;
    const int off = (second - expected + Day) % Day;
    if (off > 1 && off < Day - 1)
        return false;
    ZoneBackS = 0;
    return true;
}

ZoneSteps::ZoneSteps(const QTimeZone& zone)
    : Zone(zone)
{ }

int ZoneSteps::BackAt(const QDateTime& utc, qint64 withinMs)
{
    // Looked up again once the change kept has passed, or when the clock went back before the lookup.
    const QDateTime since = utc.addMSecs(-withinMs);
    if (!From.isValid() || since < From || (Next.atUtc.isValid() && since > Next.atUtc)) {
        From = since;
        Next = Zone.nextTransition(since);
    }
    if (!Next.atUtc.isValid() || std::abs(Next.atUtc.msecsTo(utc)) > withinMs)
        return 0;
    const int back = Zone.offsetFromUtc(Next.atUtc.addSecs(-1)) - Next.offsetFromUtc;
    return back > 0 ? back : 0;
}

qint64 SourceSwitch::NextCheck(qint64 now) const
{
    qint64 next = -1;
    const auto consider = [&next, now](qint64 at) {
        if (at > now && (next < 0 || at < next))
            next = at;
    };
    for (const Feed* feed : {&PrimaryFeed, &StandbyFeed}) {
        if (!feed->lost)
            consider(feed->last + AfterMs + 1);
    }
    if (Current == Source::Standby && PrimaryFeed.steadySince >= 0)
        consider(PrimaryFeed.steadySince + SteadyMs);
    return next;
}
