// Peak memory of a running Horaline under what a hostile or broken peer can send: a server that
// floods a client-mode Horaline over TCP, and a line that floods a server-mode Horaline with frames.
// Both readers of Horaline's output are kept draining, so that nothing but the flood holds it up.
//   flood [megabytes] [frames]        (default 200 and 4300000)
#include "Harness.h"

#include <QThread>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

using namespace bench;

namespace {

// Reads and forgets what arrives, keeping the last bytes, until told to stop.
class Drain
{
public:
    explicit Drain(int fd)
        : Thread([this, fd] {
            char buffer[65536];
            pollfd ready {fd, POLLIN, 0};
            while (!Done.load()) {
                if (::poll(&ready, 1, 50) <= 0)
                    continue;
                const ssize_t count = ::read(fd, buffer, sizeof buffer);
                if (count <= 0)
                    break;
                Total += uint64_t(count);
                const size_t keep = std::min<size_t>(size_t(count), sizeof Last);
                std::copy(buffer + count - keep, buffer + count, Last + sizeof Last - keep);
            }
        })
    { }
    ~Drain()
    {
        Done = true;
        Thread.join();
    }
    Drain(const Drain&) = delete;
    Drain& operator=(const Drain&) = delete;

    std::atomic<uint64_t> Total {0};
    char Last[8] = {};

private:
    std::atomic<bool> Done {false};
    std::thread Thread;
};

void ServerFlood(int megabytes)
{
    ClientRelay client;
    const int connection = client.connection;
    Drain display(client.output.master);
    QThread::msleep(500);
    const long before = client.relay.ResidentKiB();

    // As fast as the system takes it, for at most 30 s: past Horaline's bound TCP holds the sender back.
    ::fcntl(connection, F_SETFL, ::fcntl(connection, F_GETFL) | O_NONBLOCK);
    const QByteArray chunk = QByteArray("12:34:56").repeated(8192);
    const uint64_t goal = uint64_t(megabytes) * 1000000;
    uint64_t sent = 0;
    const int64_t start = NowNs();
    while (sent < goal && NowNs() - start < int64_t(30) * 1000000000) {
        const ssize_t count
            = ::write(connection, chunk.constData(), size_t(std::min<uint64_t>(chunk.size(), goal - sent)));
        if (count > 0) {
            sent += uint64_t(count);
            continue;
        }
        pollfd ready {connection, POLLOUT, 0};
        ::poll(&ready, 1, 100);
    }
    const double seconds = double(NowNs() - start) / 1e9;
    std::printf("%-38s %8.1f MB in %5.1f s | resident %7.1f MiB before, peak %7.1f MiB\n", "TCP flood into a client",
                double(sent) / 1e6, seconds, double(before) / 1024.0, double(client.relay.PeakResidentKiB()) / 1024.0);
}

void LineFlood(long frames)
{
    ServerRelay server(1);
    Drain client(server.clients.front());
    QThread::msleep(500);
    const long before = server.relay.ResidentKiB();

    QByteArray all;
    all.reserve(int(frames) * 7);
    for (long n = 1; n <= frames; ++n)
        all += "\x02" + QByteArray::number(n % 1000000).rightJustified(6, '0');
    const int64_t start = NowNs();
    WriteAll(server.input.master, all.constData(), size_t(all.size()));
    const double seconds = double(NowNs() - start) / 1e9;
    // The newest frame always comes through, however many were dropped on the way.
    const QByteArray digits = QByteArray::number(frames % 1000000).rightJustified(6, '0');
    const QByteArray newest = digits.left(2) + ':' + digits.mid(2, 2) + ':' + digits.mid(4, 2);
    const int64_t waitStart = NowNs();
    while (QByteArray(client.Last, 8) != newest && NowNs() - waitStart < int64_t(30) * 1000000000)
        QThread::msleep(10);
    if (QByteArray(client.Last, 8) != newest)
        Fail(QStringLiteral("the newest frame of the flood never reached the client"));
    std::printf("%-38s %8ld fr in %5.1f s | resident %7.1f MiB before, peak %7.1f MiB | %.0f%% of frames relayed\n",
                "serial flood into a server", frames, seconds, double(before) / 1024.0,
                double(server.relay.PeakResidentKiB()) / 1024.0,
                100.0 * double(client.Total.load()) / 8.0 / double(frames));
}

int Measure(int argc, char* argv[])
{
    const int megabytes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const long frames = argc > 2 ? std::max(1L, std::atol(argv[2])) : 4300000;
    ServerFlood(megabytes);
    LineFlood(frames);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    return RunMeasurement(argc, argv, Measure);
}
