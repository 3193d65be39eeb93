// What a running server costs at rest: one frame a second to five clients, and the time from process
// start to the listener accepting (the 255 port probes included); the window (offscreen), headless,
// and ser2net relaying the same line where it is installed, side by side in one run.
//   steady [seconds]     (default 60)
#include "Harness.h"

#include <QThread>
#include <cstdio>
#include <unistd.h>

using namespace bench;

namespace {

void StartUp(bool headless)
{
    std::vector<double> startups;
    for (int i = 0; i < 5; ++i) {
        const int64_t start = NowNs();
        const ServerRelay server(1, headless);
        startups.push_back(double(NowNs() - start) / 1e6);
    }
    const Summary startup = Summarise(startups);
    std::printf("%-9s start to listening: median %.0f ms, max %.0f ms over %zu starts\n",
                headless ? "headless" : "window", startup.median, startup.max, startups.size());
}

// One frame a second on the line, read by every client; what the relay cost meanwhile.
void OneFrameASecond(const char* name, pid_t relay, int line, const std::vector<int>& clients, int frameSize,
                     int seconds)
{
    QThread::msleep(500);
    const double cpuStart = CpuSecondsOf(relay);
    const int64_t start = NowNs();
    char buffer[64];
    for (int n = 1; n <= seconds; ++n) {
        const QByteArray frame = "\x02" + QByteArray::number(n).rightJustified(6, '0');
        WriteAll(line, frame.constData(), size_t(frame.size()));
        for (int peer : clients) {
            if (!ReadExactly(peer, buffer, size_t(frameSize), 2000))
                Fail(QStringLiteral("%1 lost a frame").arg(QLatin1String(name)));
        }
        const int64_t next = start + int64_t(n) * 1000000000;
        QThread::usleep(unsigned(std::max<int64_t>(0, (next - NowNs()) / 1000)));
    }
    const double elapsed = double(NowNs() - start) / 1e9;
    const long resident = StatusKiBOf(relay, "VmRSS:");
    std::printf("%-9s one frame a second to %zu clients for %d s: %.3f %% of a core, RSS %ld KiB (%.1f MiB)\n", name,
                clients.size(), seconds, (CpuSecondsOf(relay) - cpuStart) / elapsed * 100.0, resident,
                double(resident) / 1024.0);
}

int Measure(int argc, char* argv[])
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    StartUp(false);
    StartUp(true);
    for (const bool headless : {false, true}) {
        const ServerRelay server(5, headless);
        OneFrameASecond(headless ? "headless" : "window", server.relay.Pid(), server.input.master, server.clients, 8,
                        seconds);
    }
    // ser2net passes the frame on as it came: 7 bytes.
    const Pty line = MakePty();
    const uint16_t port = FreePort();
    const Ser2net peer(line.slavePath, port);
    if (peer.Pid() < 0) {
        std::printf("ser2net   not installed: apt-get install ser2net\n");
        return 0;
    }
    std::vector<int> clients;
    for (int i = 0; i < 5; ++i)
        clients.push_back(ConnectLoopback(port, 10000));
    OneFrameASecond("ser2net", peer.Pid(), line.master, clients, 7, seconds);
    for (int client : clients)
        ::close(client);
    ::close(line.master);
    ::close(line.slave);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    return RunMeasurement(argc, argv, Measure);
}
