// The highest frame rate the server path carries to five clients with nothing lost or reordered.
//   throughput [seconds]            searches upwards from ten times the line's limit, then holds the
//                                   best rate for the given time (default 60 s)
//   throughput SECONDS --rate R     one run at R frames a second (the soak uses this)
#include "Harness.h"

#include <QThread>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <unistd.h>

using namespace bench;

namespace {

// A 7-byte frame at 38,400 baud, 8N1: ten bit times a byte.
constexpr double LineLimit = 38400.0 / 70.0;
constexpr int Clients = 5;

struct Outcome
{
    bool clean;
    double achievedRate;
    double cpuShare;
    long rssStartKiB;
    long rssEndKiB;
    long long frames;
    long long faults;
};

struct Receiver
{
    int fd;
    long long expected = 1;
    long long faults = 0;
    QByteArray pending;

    void Take(const char* bytes, ssize_t count)
    {
        pending.append(bytes, int(count));
        qsizetype used = 0;
        for (; pending.size() - used >= 8; used += 8) {
            const QByteArray m = pending.mid(used, 8);
            const long long value = (m.left(2) + m.mid(3, 2) + m.mid(6, 2)).toLongLong();
            if (value != expected % 1000000)
                ++faults;
            expected = (expected + 1);
        }
        pending.remove(0, used);
    }
};

Outcome Run(double rate, double seconds)
{
    ServerRelay server(Clients);
    const Horaline& relay = server.relay;
    std::vector<Receiver> receivers;
    for (int client : server.clients)
        receivers.push_back({client, 1, 0, {}});
    QThread::msleep(300);

    const long long total = std::llround(rate * seconds);
    const double cpuStart = relay.CpuSeconds();
    const long rssStart = relay.ResidentKiB();
    const int64_t start = NowNs();
    long long written = 0;
    std::vector<pollfd> watched;
    for (const Receiver& r : receivers)
        watched.push_back({r.fd, POLLIN, 0});
    char buffer[65536];
    auto minExpected = [&] {
        long long lowest = written + 1;
        for (const Receiver& r : receivers)
            lowest = std::min(lowest, r.expected);
        return lowest;
    };
    const int64_t drainDeadlineNs = int64_t((seconds + 5.0) * 1e9);
    while (minExpected() <= total && NowNs() - start < drainDeadlineNs) {
        const long long due = std::min(total, static_cast<long long>(double(NowNs() - start) / 1e9 * rate) + 1);
        QByteArray batch;
        for (; written < due; ++written)
            batch += "\x02" + QByteArray::number((written + 1) % 1000000).rightJustified(6, '0');
        if (!batch.isEmpty())
            WriteAll(server.input.master, batch.constData(), size_t(batch.size()));
        if (::poll(watched.data(), watched.size(), 1) <= 0)
            continue;
        for (size_t i = 0; i < watched.size(); ++i) {
            if (watched[i].revents == 0)
                continue;
            const ssize_t count = ::read(watched[i].fd, buffer, sizeof buffer);
            if (count > 0)
                receivers[i].Take(buffer, count);
        }
    }
    const double elapsed = double(NowNs() - start) / 1e9;
    Outcome outcome {};
    outcome.frames = total;
    for (const Receiver& r : receivers)
        outcome.faults += r.faults + (total + 1 - r.expected);
    outcome.cpuShare = (relay.CpuSeconds() - cpuStart) / elapsed;
    outcome.rssStartKiB = rssStart;
    outcome.rssEndKiB = relay.ResidentKiB();
    outcome.achievedRate = double(total) / elapsed;
    // Keeping up means the last frame arrived within a second of when it was due.
    outcome.clean = outcome.faults == 0 && elapsed <= seconds + 1.0;
    return outcome;
}

void Print(double rate, double seconds, const Outcome& o)
{
    std::printf("%8.0f frames/s for %4.0f s: %s, %lld frames x %d clients, %lld lost or out of order, "
                "%.1f %% of a core, RSS %ld -> %ld KiB\n",
                rate, seconds, o.clean ? "clean" : "FAILED", o.frames, Clients, o.faults, o.cpuShare * 100.0,
                o.rssStartKiB, o.rssEndKiB);
    std::fflush(stdout);
}

} // namespace

namespace {

int Measure(int argc, char* argv[])
{
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 60.0;
    if (argc > 3 && std::strcmp(argv[2], "--rate") == 0) {
        const double rate = std::atof(argv[3]);
        const Outcome outcome = Run(rate, seconds);
        Print(rate, seconds, outcome);
        return outcome.clean ? 0 : 1;
    }
    std::printf("line limit at 38400 baud: %.1f frames/s; target: %.0f frames/s\n", LineLimit, LineLimit * 10);
    double best = 0;
    for (double rate = LineLimit * 10; rate < LineLimit * 1000; rate *= 2) {
        const Outcome probe = Run(rate, 10);
        Print(rate, 10, probe);
        if (!probe.clean)
            break;
        best = rate;
    }
    if (best == 0) {
        std::printf("not even the target rate holds\n");
        return 1;
    }
    const Outcome held = Run(best, seconds);
    Print(best, seconds, held);
    std::printf("sustained: %.0f frames/s = %.0f x the line limit\n", held.clean ? best : 0.0,
                held.clean ? best / LineLimit : 0.0);
    return held.clean ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    return RunMeasurement(argc, argv, Measure);
}
