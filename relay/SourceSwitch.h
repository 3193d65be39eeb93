#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QTimeZone>
#include <optional>

enum class Source
{
    Primary,
    Standby,
    OwnClock,
};

// Decides which values reach the displays, from what each source gave and when. The primary's values
// while it is alive; the standby's the moment the primary is lost, or once it has sent nothing for
// After; the primary's again once it has sent for 10 s without a break, or at once if the standby goes;
// this computer's clock, where allowed, when neither can serve. With a spare to switch to, the displays
// never get the same second twice in a row nor one behind the last (behind: up to 12 h behind, so
// midnight is a step forward; exactly 12 h is behind, the likelier slip of a 12-hour clock); a source
// that insists on a time behind for 10 s has had its clock set back, and is followed, and the step back
// of the local zone's autumn change, told as it happens, is followed at once. A relay of one source
// passes each value as its source sends it. Times are milliseconds of one monotonic clock.
class SourceSwitch
{
public:
    SourceSwitch(qint64 afterMs, bool standby, bool ownClock);

    // A run starts with the primary in use; no source counts as silent before graceMs from now.
    void Restart(qint64 now, qint64 graceMs = 0);
    // A value came; what goes to the displays now, if anything. A value of a source not in use is
    // held: it goes out if its source takes over while it is still the time of now.
    std::optional<QByteArray> Offer(Source from, const QByteArray& value, qint64 now);
    // The source is gone: nothing of it is waited for, and the other takes over at once.
    std::optional<QByteArray> Lost(Source from, qint64 now);
    // A silence that has lasted After hands over; to be called at NextCheck.
    std::optional<QByteArray> Update(qint64 now);
    // The local zone has just turned its clocks back by backS seconds: a step back of that much, within
    // BreakMs from now, is the time of now.
    void ZoneSteppedBack(int backS, qint64 now);
    // When Update may next change something (a silence reaching After, the primary steady); -1 never.
    qint64 NextCheck(qint64 now) const;

    Source InUse() const { return Current; }
    // Gave a value within After and is not lost; this computer's clock always, where allowed.
    bool Alive(Source from, qint64 now) const;

    static constexpr qint64 BreakMs = 2000;
    static constexpr qint64 SteadyMs = 10000;
    static constexpr qint64 HeldFreshMs = 1000;
    static constexpr qint64 StepBackMs = 10000;

private:
    struct Feed
    {
        qint64 last = 0;
        qint64 steadySince = -1;
        bool lost = false;
        QByteArray held;
        qint64 heldAt = 0;
    };
    Feed& FeedOf(Source from) { return from == Source::Primary ? PrimaryFeed : StandbyFeed; }
    const Feed& FeedOf(Source from) const { return from == Source::Primary ? PrimaryFeed : StandbyFeed; }
    void Choose(qint64 now);
    // The source that took over gives the value it holds, if that is still the time of now.
    std::optional<QByteArray> HandOver(Source before, qint64 now);
    // The order the displays must see: nothing twice, nothing behind.
    std::optional<QByteArray> Admit(const QByteArray& value, qint64 now);
    // Whether a second behind the last is the zone's step back, which it then uses up.
    bool ZoneStep(int second, qint64 now);

    qint64 AfterMs;
    bool StandbyGiven;
    bool OwnClockAllowed;
    Source Current = Source::Primary;
    Feed PrimaryFeed;
    Feed StandbyFeed;
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
