// A standby line and this computer's clock: how soon the standby's values reach a client once the
// primary's adapter is pulled or the primary falls silent, what keeping a standby open costs the
// primary's path, and when this computer's clock's values arrive against the second they name. Both
// lines send the time of one bench clock once a second, as two master clocks would, each at a phase of
// its own; the relay runs without a window.
//   standby [rounds] [frames] [seconds]     (default 10 rounds, 2000 frames, 60 s of this computer's clock)
#include "Harness.h"

#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <map>
#include <sys/socket.h>
#include <unistd.h>

using namespace bench;

namespace {

constexpr int AfterS = 2;
constexpr int64_t Second = 1'000'000'000;

// The bench clock's second n as an input line sends it; it starts at 10:00:00.
QByteArray Frame(int64_t n)
{
    const int64_t second = (36000 + n) % 86400;
    return "\x02"
        + QString::asprintf("%02d%02d%02d", int(second / 3600), int(second / 60 % 60), int(second % 60)).toLatin1();
}

// Reads the 8-byte messages that have come, without waiting.
QList<QByteArray> Received(int peer, QByteArray& pending)
{
    char buffer[256];
    for (ssize_t count; (count = ::recv(peer, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;)
        pending.append(buffer, int(count));
    QList<QByteArray> messages;
    for (; pending.size() >= 8; pending.remove(0, 8))
        messages.append(pending.left(8));
    return messages;
}

// Without a target, a figure given for what it shows.
void Report(const char* what, std::vector<double> delays, int target = 0)
{
    std::sort(delays.begin(), delays.end());
    std::printf("%s, After=%d s, %zu rounds: median %.0f ms, max %.0f ms", what, AfterS, delays.size(),
                delays[delays.size() / 2], delays.back());
    if (target > 0)
        std::printf(" (target at most %d ms)", target);
    std::printf("\n");
}

// Round after round the primary sends until it is in use again (its line reopened, 10 s steady), then is
// pulled (its master closed: the relay reads an error at once) or falls silent. Measured: from the pull,
// or from the moment the standby sent the value if it had nothing newer to give before, to the value at
// the client; from the primary's last value to the first standby value when it falls silent.
void SwitchTime(int rounds, bool pulled)
{
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("usb-Clock_Adapter-if00-port0"));
    const Pty spare = MakePty();
    const uint16_t port = FreePort();
    HoralineSettings settings {1, 250, link, port, true};
    settings.standbyDevice = spare.slavePath;
    settings.afterS = AfterS;
    Pty primary = MakePty();
    QFile::link(primary.slavePath, link);
    Horaline relay(settings);
    const int peer = ConnectLoopback(port, 10000);
    QByteArray pending;
    std::vector<double> delays;
    // From the pull to the first standby value, whatever the standby's phase: the display's own wait.
    std::vector<double> wait;
    const int64_t epoch = NowNs();
    std::map<QByteArray, int64_t> spareSent;
    for (int round = 1; round <= rounds; ++round) {
        if (round > 1) {
            // The adapter plugged in again, under the same name: the relay finds it within 2 s.
            primary = MakePty();
            QFile::remove(link);
            QFile::link(primary.slavePath, link);
        }
        const int64_t start = NowNs();
        const int64_t primaryPhase = int64_t(QRandomGenerator::global()->bounded(1000)) * 1'000'000;
        const int64_t sparePhase = int64_t(QRandomGenerator::global()->bounded(1000)) * 1'000'000;
        const int64_t end = start + 14 * Second + int64_t(QRandomGenerator::global()->bounded(1000)) * 1'000'000;
        int64_t nextPrimary = start + primaryPhase;
        int64_t nextSpare = start + sparePhase;
        int64_t lastPrimary = 0;
        int64_t delay = -1;
        bool ended = false;
        while (delay < 0) {
            const int64_t now = NowNs();
            if (now - start > 30 * Second)
                Fail(QStringLiteral("round %1: no standby value within 16 s of the primary's end").arg(round));
            if (!ended && now >= end) {
                ended = true;
                if (pulled)
                    ::close(primary.master);
                Received(peer, pending);
            }
            if (!ended && now >= nextPrimary) {
                const QByteArray frame = Frame((now - epoch) / Second);
                WriteAll(primary.master, frame.constData(), size_t(frame.size()));
                lastPrimary = NowNs();
                nextPrimary += Second;
            }
            if (now >= nextSpare) {
                const QByteArray frame = Frame((now - epoch) / Second);
                WriteAll(spare.master, frame.constData(), size_t(frame.size()));
                spareSent[frame.mid(1)] = NowNs();
                nextSpare += Second;
            }
            for (const QByteArray& message : Received(peer, pending)) {
                if (!ended || delay >= 0)
                    continue;
                const QByteArray digits = message.left(2) + message.mid(3, 2) + message.mid(6, 2);
                const int64_t sent = spareSent.count(digits) != 0 ? spareSent[digits] : 0;
                const int64_t from = pulled ? std::max(end, sent) : lastPrimary;
                delay = NowNs() - from;
                wait.push_back(double(NowNs() - (pulled ? end : lastPrimary)) / 1e6);
            }
            QThread::usleep(500);
        }
        ::close(primary.slave);
        if (!pulled)
            ::close(primary.master);
        delays.push_back(double(delay) / 1e6);
        std::printf("round %2d (%s): %6.0f ms (%6.0f ms from the %s)\n", round, pulled ? "pulled" : "silent",
                    delays.back(), wait.back(), pulled ? "pull" : "primary's last value");
    }
    if (pulled) {
        Report("pulled primary to the first standby value", delays, 500);
        // A second the display shows already is not sent again: the standby's next new one comes as
        // much later as the standby's phase lags the primary's.
        Report("  from the pull itself, until the standby's next new second", wait);
    } else
        Report("silent primary's last value to the first standby value", delays, AfterS * 1000 + 500);
    ::close(peer);
}

// The primary's path, frame by frame, with a standby line open and sending, or with none.
double PrimaryLatency(int frames, bool withStandby)
{
    const Pty primary = MakePty();
    const Pty spare = MakePty();
    const uint16_t port = FreePort();
    HoralineSettings settings {1, 250, primary.slavePath, port, true};
    if (withStandby)
        settings.standbyDevice = spare.slavePath;
    Horaline relay(settings);
    const int peer = ConnectLoopback(port, 10000);
    QThread::msleep(300);
    std::vector<double> latency;
    char buffer[8];
    int64_t nextSpare = NowNs();
    for (int n = 1; n <= frames; ++n) {
        // A new second each frame, so that the switch lets every one through.
        if (withStandby && NowNs() >= nextSpare) {
            const QByteArray frame = Frame(n);
            WriteAll(spare.master, frame.constData(), size_t(frame.size()));
            nextSpare += Second;
        }
        const QByteArray frame = Frame(n);
        WriteAll(primary.master, frame.constData(), size_t(frame.size()));
        const int64_t start = NowNs();
        if (!ReadExactly(peer, buffer, 8, 5000))
            Fail(QStringLiteral("frame %1 lost").arg(n));
        latency.push_back(double(NowNs() - start) / 1000.0);
        QThread::usleep(500);
    }
    ::close(peer);
    return Summarise(latency).median;
}

// This computer's clock alone: a primary line that is open and never speaks. Each message's arrival on
// the wall clock against the start of the second it names.
void OwnClockArrival(int seconds)
{
    const Pty silent = MakePty();
    const uint16_t port = FreePort();
    HoralineSettings settings {1, 250, silent.slavePath, port, true};
    settings.afterS = 1;
    settings.ownClock = true;
    Horaline relay(settings);
    const int peer = ConnectLoopback(port, 10000);
    QByteArray pending;
    std::vector<double> lateness;
    QList<QByteArray> seen;
    int early = 0;
    const int64_t end = NowNs() + int64_t(seconds + 2) * Second;
    while (NowNs() < end) {
        for (const QByteArray& message : Received(peer, pending)) {
            const QDateTime now = QDateTime::currentDateTime();
            const QTime named = QTime::fromString(QString::fromLatin1(message), QStringLiteral("hh:mm:ss"));
            // Just after midnight the value names yesterday's last second.
            qint64 ms = named.msecsTo(now.time());
            if (ms < -43'200'000)
                ms += 86'400'000;
            early += ms < 0 ? 1 : 0;
            lateness.push_back(double(ms));
            seen.append(message);
        }
        QThread::usleep(200);
    }
    // The first value comes once the line's silence has lasted After: the full minute after it.
    const int twice = int(seen.size() - QSet<QByteArray>(seen.begin(), seen.end()).size());
    std::sort(lateness.begin(), lateness.end());
    std::printf("this computer's clock, %lld values in %d s: %d sent twice, %d before the second turned; arrival "
                "after the turn median %.1f ms, max %.1f ms (target: each second once, none early, max at most 30 "
                "ms)\n",
                static_cast<long long>(seen.size()), seconds + 2, twice, early, lateness[lateness.size() / 2],
                lateness.back());
    ::close(peer);
}

int Measure(int argc, char* argv[])
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const int frames = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2000;
    const int seconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 60;
    SwitchTime(rounds, true);
    SwitchTime(rounds, false);
    OwnClockArrival(seconds);
    // In turn, twice each, so that the machine's moods fall on both alike.
    double without = 0;
    double with = 0;
    for (int pass = 0; pass < 2; ++pass) {
        without += PrimaryLatency(frames, false) / 2;
        with += PrimaryLatency(frames, true) / 2;
    }
    std::printf("primary path, %d frames, median: without a standby %.1f us, with one open %.1f us, ratio %.3f "
                "(target at most 1.05)\n",
                frames, without, with, with / without);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    return RunMeasurement(argc, argv, Measure);
}
