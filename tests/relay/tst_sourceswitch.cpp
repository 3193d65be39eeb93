#include "relay/SourceChoice.h"
#include "relay/SourceSwitch.h"

#include <QTest>
#include <QTime>

namespace {

const std::vector<Source> Lines {Source::Primary, Source::Standby};
const std::vector<Source> All {Source::Primary, Source::Standby, Source::OwnClock};

// A value as an input line sends it: six digits HHMMSS of a second of the day.
QByteArray Time(int second)
{
    return QTime::fromMSecsSinceStartOfDay(second * 1000).toString(QStringLiteral("hhmmss")).toLatin1();
}

// A value of a source at a moment, and what the switch lets through of it, as its text.
Sample Value(Source from, const QByteArray& text, qint64 at)
{
    Sample value = SampleOf(text, from == Source::OwnClock ? SourceKind::Clock : SourceKind::Line, at);
    value.Role = from;
    return value;
}

std::optional<QByteArray> TextOf(const std::optional<Sample>& value)
{
    return value ? std::optional<QByteArray>(value->Text) : std::nullopt;
}

std::optional<QByteArray> Offer(SourceSwitch& to, Source from, const QByteArray& text, qint64 at)
{
    return TextOf(to.Offer(Value(from, text, at)));
}

SwitchTimings Waits(qint64 afterMs)
{
    SwitchTimings timings;
    timings.AfterMs = afterMs;
    return timings;
}

class SetClock : public MonotonicClock
{
public:
    qint64 NowMs() const override { return Now; }
    qint64 Now = 0;
};

// What a relay's controller is told: the status line, the faults and the counted switches.
class HostRecord : public RelayHost
{
public:
    virtual ~HostRecord() = default;
    void SetStatus(const QString& text) override { Status = text; }
    void RecordFault(const QString& text) override { Faults.append(text); }
    void Count(Counter which) override { Switches += which == Counter::SourceSwitches ? 1 : 0; }
    int MessageBox(const QString&, const QString&, unsigned) override { return 0; }
    bool LogAllows(const QLoggingCategory&, const QString&, const QString&) override { return true; }

    QString Status;
    QStringList Faults;
    int Switches = 0;
};

} // namespace

class TestSourceSwitch : public QObject
{
    Q_OBJECT

private slots:
    void theSourceInUseFollowsWhoSpeaks()
    {
        SourceSwitch sw(All, Waits(3000));
        sw.Restart(0);
        // Both speak, the standby 300 ms after the primary: only the primary's values go out.
        for (int n = 0; n <= 5; ++n) {
            QCOMPARE(Offer(sw, Source::Primary, Time(100 + n), n * 1000), Time(100 + n));
            QCOMPARE(Offer(sw, Source::Standby, Time(100 + n), n * 1000 + 300), std::nullopt);
        }
        // The primary falls silent: the standby takes over the moment the silence reaches After, with the
        // value it holds if that is newer than the last one relayed.
        QCOMPARE(Offer(sw, Source::Standby, Time(106), 6300), std::nullopt);
        QCOMPARE(Offer(sw, Source::Standby, Time(107), 7300), std::nullopt);
        QCOMPARE(sw.NextCheck(7300), 8001);
        QCOMPARE(TextOf(sw.Update(8000)), std::nullopt);
        QCOMPARE(TextOf(sw.Update(8001)), Time(107));
        QCOMPARE(sw.InUse(), Source::Standby);
        // The primary is back, once and then after a break: the standby's still, until the primary has
        // sent for 10 s without one.
        QCOMPARE(Offer(sw, Source::Primary, Time(108), 8500), std::nullopt);
        for (int n = 9; n < 21; ++n) {
            if (n >= 11)
                QCOMPARE(Offer(sw, Source::Primary, Time(100 + n), n * 1000), std::nullopt);
            QCOMPARE(Offer(sw, Source::Standby, Time(100 + n), n * 1000 + 300), Time(100 + n));
        }
        QCOMPARE(Offer(sw, Source::Primary, Time(121), 21000), Time(121));
        QCOMPARE(Offer(sw, Source::Standby, Time(121), 21300), std::nullopt);
        // Both gone: this computer's clock at once; the first value of a source ends it.
        sw.Lost(Source::Standby, 21500);
        QCOMPARE(sw.InUse(), Source::Primary);
        QCOMPARE(TextOf(sw.Lost(Source::Primary, 21600)), std::nullopt);
        QCOMPARE(sw.InUse(), Source::OwnClock);
        QCOMPARE(Offer(sw, Source::OwnClock, Time(122), 22002), Time(122));
        QCOMPARE(Offer(sw, Source::Standby, Time(123), 23000), Time(123));
        QCOMPARE(sw.InUse(), Source::Standby);
        QCOMPARE(Offer(sw, Source::OwnClock, Time(124), 24002), std::nullopt);
    }

    void aLostSourceHandsOverAtOnce()
    {
        SourceSwitch sw(Lines, Waits(10000));
        sw.Restart(0);
        QCOMPARE(Offer(sw, Source::Primary, Time(0), 0), Time(0));
        QCOMPARE(Offer(sw, Source::Standby, Time(0), 500), std::nullopt);
        // Lost, not silent: no waiting for After. The standby's held second was shown already.
        QCOMPARE(TextOf(sw.Lost(Source::Primary, 1100)), std::nullopt);
        QCOMPARE(sw.InUse(), Source::Standby);
        QCOMPARE(Offer(sw, Source::Standby, Time(1), 1500), Time(1));
        // The primary is back but not steady when the standby goes: the primary at once, not nothing.
        QCOMPARE(Offer(sw, Source::Primary, Time(2), 2000), std::nullopt);
        QCOMPARE(Offer(sw, Source::Standby, Time(2), 2500), Time(2));
        QCOMPARE(TextOf(sw.Lost(Source::Standby, 2700)), std::nullopt);
        QCOMPARE(sw.InUse(), Source::Primary);
        QCOMPARE(Offer(sw, Source::Primary, Time(3), 3000), Time(3));
        // What the standby holds is handed over while it is at most a second old, never later.
        QCOMPARE(Offer(sw, Source::Standby, Time(4), 4000), std::nullopt);
        QCOMPARE(TextOf(sw.Lost(Source::Primary, 5001)), std::nullopt);
        QCOMPARE(Offer(sw, Source::Primary, Time(6), 6000), std::nullopt);
        QCOMPARE(Offer(sw, Source::Standby, Time(6), 6000), Time(6));
        QCOMPARE(Offer(sw, Source::Primary, Time(7), 7000), std::nullopt);
        QCOMPARE(TextOf(sw.Lost(Source::Standby, 7900)), Time(7));

        // Silence counts from the start, or once a client's server had its first attempt and a second.
        SourceSwitch line(Lines, Waits(2000));
        line.Restart(0);
        QCOMPARE(line.NextCheck(0), 2001);
        line.Restart(0, 3000);
        QCOMPARE(line.NextCheck(0), 5001);
    }

    void theDisplaysNeverSeeASecondTwiceOrBehind()
    {
        // The primary sends 50 ms after each second, the standby 300 ms after; the primary drops 150 ms
        // after a second turns. Midnight is a step forward.
        SourceSwitch sw(Lines, Waits(3000));
        sw.Restart(0);
        QList<QByteArray> shown;
        const auto show = [&shown](const std::optional<QByteArray>& value) {
            if (value)
                shown.append(*value);
        };
        const int last = 24 * 3600 - 1;
        for (int n = 0; n < 4; ++n) {
            show(Offer(sw, Source::Primary, Time((last + n) % 86400), n * 1000 + 50));
            show(Offer(sw, Source::Standby, Time((last + n) % 86400), n * 1000 + 300));
        }
        show(TextOf(sw.Lost(Source::Primary, 3150)));
        show(Offer(sw, Source::Standby, Time(3), 4300));
        QCOMPARE(shown, (QList<QByteArray> {Time(last), Time(0), Time(1), Time(2), Time(3)}));

        // This computer's clock in use, the primary returns within the same second: once only.
        SourceSwitch own({Source::Primary, Source::OwnClock}, Waits(2000));
        own.Restart(0);
        QCOMPARE(Offer(own, Source::Primary, Time(100), 0), Time(100));
        QCOMPARE(TextOf(own.Update(2001)), std::nullopt);
        QCOMPARE(Offer(own, Source::OwnClock, Time(102), 2002), Time(102));
        QCOMPARE(Offer(own, Source::Primary, Time(102), 2051), std::nullopt);
        QCOMPARE(own.InUse(), Source::Primary);
        // A clock set back is followed only once it has insisted for 10 s; a text that is no time passes.
        QCOMPARE(Offer(own, Source::Primary, Time(50), 3000), std::nullopt);
        QCOMPARE(Offer(own, Source::Primary, Time(59), 12000), std::nullopt);
        QCOMPARE(Offer(own, Source::Primary, Time(60), 12002), Time(60));
        QCOMPARE(Offer(own, Source::Primary, "ab:cd:ef", 13000), QByteArray("ab:cd:ef"));

        // Exactly 12 h either way is behind; a second less is ahead.
        SourceSwitch half(Lines, Waits(2000));
        half.Restart(0);
        QCOMPARE(Offer(half, Source::Primary, Time(0), 0), Time(0));
        QCOMPARE(Offer(half, Source::Primary, Time(12 * 3600), 1000), std::nullopt);
        QCOMPARE(Offer(half, Source::Primary, Time(12 * 3600 - 1), 2000), Time(12 * 3600 - 1));

        // The autumn change: 02:59:59, then 02:00:00 at once, as Rome's zone tells at its moment; a step
        // back of another size, or later, is still held.
        const QTimeZone rome("Europe/Rome");
        const QDateTime change(QDate(2026, 10, 25), QTime(1, 0), Qt::UTC);
        ZoneSteps steps(rome);
        QCOMPARE(steps.BackAt(change.addMSecs(2), SwitchTimings().BreakMs), 3600);
        QCOMPARE(steps.BackAt(change.addMSecs(-1500), SwitchTimings().BreakMs), 3600);
        QCOMPARE(steps.BackAt(change.addSecs(3), SwitchTimings().BreakMs), 0);
        QCOMPARE(steps.BackAt(QDateTime(QDate(2026, 3, 29), QTime(1, 0), Qt::UTC), SwitchTimings().BreakMs), 0);
        SourceSwitch autumn(Lines, Waits(2000));
        autumn.Restart(0);
        QCOMPARE(Offer(autumn, Source::Primary, Time(3 * 3600 - 1), 1000), Time(3 * 3600 - 1));
        autumn.ZoneSteppedBack(3600, 2000);
        QCOMPARE(Offer(autumn, Source::Primary, Time(2 * 3600), 2000), Time(2 * 3600));
        QCOMPARE(Offer(autumn, Source::Primary, Time(2 * 3600 + 1), 3000), Time(2 * 3600 + 1));
        autumn.ZoneSteppedBack(3600, 3500);
        QCOMPARE(Offer(autumn, Source::Primary, Time(2 * 3600 - 1800), 4000), std::nullopt);
        QCOMPARE(Offer(autumn, Source::Primary, Time(3600 + 3), 6000), std::nullopt);

        // A relay of one source passes each value as its source sends it, twice or behind.
        SourceSwitch alone({Source::Primary}, Waits(3000));
        alone.Restart(0);
        for (const int second : {5, 5, 4})
            QCOMPARE(Offer(alone, Source::Primary, Time(second), 0), Time(second));
    }

    void theSwitchAtWorkTellsEachChangeOnItsClock()
    {
        SetClock clock;
        HostRecord host;
        QList<QByteArray> relayed;
        const auto relay = [&relayed](const Sample& value) {
            relayed.append(value.Text);
        };
        SourceChoice choice(host, relay, clock);
        StandbyConfig spare;
        spare.Present = true;
        spare.AfterS = 3;
        spare.OwnClock = true;
        choice.Restart(spare, QStringLiteral("COM1"), QStringLiteral("COM2"), 0);
        const auto offer = [&clock, &choice](Source from, int second, qint64 at) {
            clock.Now = at;
            choice.Offer(Value(from, Time(second), at));
        };
        const auto inUse = [&choice] {
            return RoleName(choice.Report({}).InUse);
        };

        // Both speak: the primary's values. It falls silent: the standby's after After, said and counted.
        for (int n = 0; n <= 5; ++n) {
            offer(Source::Primary, n, n * 1000);
            offer(Source::Standby, n, n * 1000 + 300);
        }
        QCOMPARE(inUse(), QStringLiteral("primary"));
        QVERIFY(!choice.InTrouble());
        offer(Source::Standby, 6, 6300);
        offer(Source::Standby, 7, 7300);
        QCOMPARE(inUse(), QStringLiteral("primary"));
        QTest::ignoreMessage(QtWarningMsg, "the standby COM2 takes over from COM1");
        offer(Source::Standby, 8, 8300);
        QCOMPARE(inUse(), QStringLiteral("standby"));
        QCOMPARE(host.Status, QStringLiteral("Standby COM2 in use !"));
        QCOMPARE(host.Faults.value(0), QStringLiteral("COM1 lost or silent: standby COM2 in use"));
        QCOMPARE(host.Switches, 1);
        QVERIFY(choice.InTrouble());

        // The primary is back: the standby's still, until the primary has sent for 10 s without a break.
        for (int n = 9; n < 19; ++n) {
            offer(Source::Primary, n, n * 1000);
            offer(Source::Standby, n, n * 1000 + 300);
        }
        QCOMPARE(inUse(), QStringLiteral("standby"));
        offer(Source::Primary, 19, 19000);
        QCOMPARE(inUse(), QStringLiteral("primary"));
        QCOMPARE(host.Status, QStringLiteral("COM1 in use again !"));
        QCOMPARE(host.Switches, 2);

        // The standby falls silent while the primary works: said once, nothing changes for the displays.
        QTest::ignoreMessage(QtWarningMsg, "standby COM2 silent for 3 s");
        for (int n = 20; n <= 23; ++n)
            offer(Source::Primary, n, n * 1000);
        QCOMPARE(host.Faults.last(), QStringLiteral("standby COM2 silent for 3 s"));
        QCOMPARE(inUse(), QStringLiteral("primary"));
        QVERIFY(choice.InTrouble());

        // Both lost: this computer's time at once; the first value of a source ends it.
        choice.Lost(Source::Standby);
        QTest::ignoreMessage(QtWarningMsg, "no source gives a value: sending this computer's time");
        choice.Lost(Source::Primary);
        QCOMPARE(inUse(), QStringLiteral("own clock"));
        QCOMPARE(host.Status, QStringLiteral("No source: sending this computer's time !"));
        offer(Source::OwnClock, 24, 24002);
        offer(Source::Primary, 25, 25000);
        QCOMPARE(inUse(), QStringLiteral("primary"));
        QCOMPARE(host.Switches, 4);
        // Every second once, in order, but those of the silence before After.
        QList<QByteArray> expected;
        for (int n = 0; n <= 25; ++n) {
            if (n != 6 && n != 7)
                expected.append(Time(n));
        }
        QCOMPARE(relayed, expected);
    }
};

QTEST_GUILESS_MAIN(TestSourceSwitch)
#include "tst_sourceswitch.moc"
