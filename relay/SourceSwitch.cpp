#include "relay/SourceSwitch.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

constexpr int Day = 24 * 60 * 60;

} // namespace

SourceSwitch::SourceSwitch(std::vector<Source> ranked, const SwitchTimings& timings)
    : Ranked(std::move(ranked))
    , Waits(timings)
{ }

void SourceSwitch::Restart(qint64 now, qint64 graceMs)
{
    Current = Ranked.empty() ? Source::Primary : Ranked.front();
    for (const Source source : {Source::Primary, Source::Standby, Source::OwnClock})
        FeedOf(source) = {now + graceMs, -1, RankOf(source) == Ranked.size(), std::nullopt};
    LastSecond.reset();
    LastRelayedAt = 0;
}

size_t SourceSwitch::RankOf(Source from) const
{
    return size_t(std::find(Ranked.begin(), Ranked.end(), from) - Ranked.begin());
}

bool SourceSwitch::Alive(Source from, qint64 now) const
{
    if (from == Source::OwnClock)
        return RankOf(from) < Ranked.size();
    const Feed& feed = FeedOf(from);
    return !feed.lost && now - feed.last <= Waits.AfterMs;
}

bool SourceSwitch::Steady(Source from, qint64 now) const
{
    const Feed& feed = FeedOf(from);
    return Alive(from, now) && feed.steadySince >= 0 && now - feed.steadySince >= Waits.SteadyMs;
}

std::optional<Sample> SourceSwitch::Offer(const Sample& value)
{
    const Source from = value.Role;
    const qint64 now = value.AtMs;
    const Source before = Current;
    if (from == Source::OwnClock) {
        Choose(now);
        return Current == Source::OwnClock ? Admit(value, now) : HandOver(before, now);
    }
    Feed& feed = FeedOf(from);
    if (feed.lost || feed.steadySince < 0 || now - feed.last > Waits.BreakMs)
        feed.steadySince = now;
    feed.last = now;
    feed.lost = false;
    Choose(now);
    if (Current == from) {
        feed.held.reset();
        return Admit(value, now);
    }
    feed.held = value;
    return HandOver(before, now);
}

std::optional<Sample> SourceSwitch::Lost(Source from, qint64 now)
{
    Feed& feed = FeedOf(from);
    feed.lost = true;
    feed.steadySince = -1;
    feed.held.reset();
    return Update(now);
}

std::optional<Sample> SourceSwitch::Update(qint64 now)
{
    const Source before = Current;
    Choose(now);
    return HandOver(before, now);
}

void SourceSwitch::Choose(qint64 now)
{
    const auto best = std::find_if(Ranked.begin(), Ranked.end(), [this, now](Source s) { return Alive(s, now); });
    // With none alive the one in use stays: nothing comes either way.
    if (best == Ranked.end() || *best == Current)
        return;
    // This computer's clock ends at once when any source speaks again; a source ends only when it is
    // gone, or a better one is steady.
    if (!Alive(Current, now) || Current == Source::OwnClock || (RankOf(*best) < RankOf(Current) && Steady(*best, now)))
        Current = *best;
}

std::optional<Sample> SourceSwitch::HandOver(Source before, qint64 now)
{
    if (Current == before || Current == Source::OwnClock)
        return std::nullopt;
    Feed& feed = FeedOf(Current);
    if (!feed.held || now - feed.held->AtMs > Waits.HeldFreshMs)
        return std::nullopt;
    const Sample held = *std::exchange(feed.held, std::nullopt);
    return Admit(held, now);
}

std::optional<Sample> SourceSwitch::Admit(const Sample& value, qint64 now)
{
    if (Ranked.size() < 2)
        return value;
    const std::optional<int> second = value.Second;
    // A text that is no time cannot be put in order: it goes out as its source sent it.
    if (!second)
        return value;
    if (LastSecond) {
        const int ahead = (*second - *LastSecond + Day) % Day;
        if (ahead == 0 || (ahead >= Day / 2 && now - LastRelayedAt < Waits.StepBackMs && !ZoneStep(*second, now)))
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
    if (ZoneBackS <= 0 || now - ZoneBackAt > Waits.BreakMs)
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
    for (const Source source : Ranked) {
        if (source == Source::OwnClock)
            continue;
        const Feed& feed = FeedOf(source);
        if (!feed.lost)
            consider(feed.last + Waits.AfterMs + 1);
        // A better source than the one in use may become steady.
        if (RankOf(source) < RankOf(Current) && Current != Source::OwnClock && feed.steadySince >= 0)
            consider(feed.steadySince + Waits.SteadyMs);
    }
    return next;
}
