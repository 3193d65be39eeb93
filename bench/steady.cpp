// What a running server costs at rest: one frame a second to five clients, and the time from process
// start to the listener accepting (the 255 port probes included).
//   steady [seconds]     (default 60)
#include "Harness.h"

#include <QThread>
#include <cstdio>
#include <unistd.h>

using namespace bench;

namespace {

int Measure(int argc, char* argv[])
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;

    std::vector<double> startups;
    for (int i = 0; i < 5; ++i) {
        const int64_t start = NowNs();
        const ServerRelay server(1);
        startups.push_back(double(NowNs() - start) / 1e6);
    }
    const Summary startup = Summarise(startups);
    std::printf("start to listening: median %.0f ms, max %.0f ms over %zu starts\n", startup.median, startup.max,
                startups.size());

    const ServerRelay server(5);
    const Horaline& relay = server.relay;
    QThread::msleep(500);
    const double cpuStart = relay.CpuSeconds();
    const int64_t start = NowNs();
    char buffer[64];
    for (int n = 1; n <= seconds; ++n) {
        const QByteArray frame = "\x02" + QByteArray::number(n).rightJustified(6, '0');
        WriteAll(server.input.master, frame.constData(), size_t(frame.size()));
        for (int peer : server.clients)
            ReadExactly(peer, buffer, 8, 2000);
        const int64_t next = start + int64_t(n) * 1000000000;
        QThread::usleep(unsigned(std::max<int64_t>(0, (next - NowNs()) / 1000)));
    }
    const double elapsed = double(NowNs() - start) / 1e9;
    std::printf("one frame a second to 5 clients for %d s: %.3f %% of a core, RSS %ld KiB (%.1f MiB)\n", seconds,
                (relay.CpuSeconds() - cpuStart) / elapsed * 100.0, relay.ResidentKiB(),
                double(relay.ResidentKiB()) / 1024.0);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    return RunMeasurement(argc, argv, Measure);
}
