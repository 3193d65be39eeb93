// Latency of both relay paths, Horaline against socat doing the plain byte relay on the same kind of
// pseudo-terminal and loopback socket, measured in the same run, frame by frame in turn.
//   latency [frames]        (default 2000)
#include "Harness.h"

#include <QThread>
#include <cstdio>
#include <memory>
#include <unistd.h>

using namespace bench;

namespace {

QByteArray TimeCode(int n)
{
    return "\x02" + QByteArray::number(n % 1000000).rightJustified(6, '0');
}

QByteArray NetMessage(int n)
{
    const QByteArray digits = QByteArray::number(n % 1000000).rightJustified(6, '0');
    return digits.left(2) + ':' + digits.mid(2, 2) + ':' + digits.mid(4, 2);
}

void Report(const char* path, const std::vector<double>& horaline, const std::vector<double>& socat)
{
    const Summary h = Summarise(horaline);
    const Summary s = Summarise(socat);
    std::printf("%-22s %9.0f %9.0f %9.0f | %9.0f %9.0f %9.0f | %6.2f %6.2f\n", path, h.median, h.p99, h.max, s.median,
                s.p99, s.max, h.median / s.median, h.p99 / s.p99);
}

// Input line to TCP clients: from the write of a frame's last byte until every client has its 8 bytes.
void ServerPath(int clients, int frames, bool headless)
{
    ServerRelay server(clients, headless);

    std::vector<Pty> lines(static_cast<size_t>(clients));
    uint16_t socatPort = 0;
    const int listener = ListenLoopback(socatPort);
    std::vector<std::unique_ptr<Socat>> socats;
    std::vector<int> socatPeers;
    for (Pty& line : lines) {
        line = MakePty();
        socats.push_back(
            std::make_unique<Socat>(QStringList {"-u", "OPEN:" + line.slavePath + ",raw,echo=0",
                                                 QStringLiteral("TCP:127.0.0.1:%1,nodelay").arg(socatPort)}));
        socatPeers.push_back(AcceptOne(listener, 10000));
    }
    QThread::msleep(300);

    std::vector<double> horaline;
    std::vector<double> socat;
    char buffer[16];
    for (int n = 1; n <= frames; ++n) {
        const QByteArray frame = TimeCode(n);
        WriteAll(server.input.master, frame.constData(), size_t(frame.size()));
        const int64_t start = NowNs();
        for (int peer : server.clients) {
            if (!ReadExactly(peer, buffer, 8, 5000))
                Fail(QStringLiteral("Horaline lost frame %1").arg(n));
        }
        horaline.push_back(double(NowNs() - start) / 1000.0);
        QThread::usleep(500);

        for (const Pty& line : lines)
            WriteAll(line.master, frame.constData(), size_t(frame.size()));
        const int64_t socatStart = NowNs();
        for (int peer : socatPeers)
            ReadExactly(peer, buffer, 7, 5000);
        socat.push_back(double(NowNs() - socatStart) / 1000.0);
        QThread::usleep(500);
    }
    const QByteArray label = QByteArray(headless ? "headless " : "") + "server, " + QByteArray::number(clients)
        + (clients == 1 ? " client" : " clients");
    Report(label.constData(), horaline, socat);
    for (int peer : socatPeers)
        ::close(peer);
    ::close(listener);
}

// TCP server to output line: from the send of 8 bytes until the whole frame is on the line.
void ClientPath(int frames, bool headless)
{
    ClientRelay client(headless);
    const int connection = client.connection;

    Pty line = MakePty();
    uint16_t socatPort = 0;
    const int socatListener = ListenLoopback(socatPort);
    Socat socat(
        {"-u", QStringLiteral("TCP:127.0.0.1:%1,nodelay").arg(socatPort), "OPEN:" + line.slavePath + ",raw,echo=0"});
    const int socatConnection = AcceptOne(socatListener, 10000);
    if (socatConnection < 0)
        Fail(QStringLiteral("socat did not connect"));
    QThread::msleep(300);

    std::vector<double> horaline;
    std::vector<double> plain;
    char buffer[16];
    for (int n = 1; n <= frames; ++n) {
        const QByteArray message = NetMessage(n);
        const int64_t start = NowNs();
        WriteAll(connection, message.constData(), 8);
        if (!ReadExactly(client.output.master, buffer, 10, 5000))
            Fail(QStringLiteral("Horaline lost frame %1").arg(n));
        horaline.push_back(double(NowNs() - start) / 1000.0);
        QThread::usleep(500);

        const int64_t socatStart = NowNs();
        WriteAll(socatConnection, message.constData(), 8);
        ReadExactly(line.master, buffer, 8, 5000);
        plain.push_back(double(NowNs() - socatStart) / 1000.0);
        QThread::usleep(500);
    }
    Report(headless ? "headless client" : "client", horaline, plain);
    ::close(socatConnection);
    ::close(socatListener);
}

int Measure(int argc, char* argv[])
{
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    std::printf("%d frames per path; microseconds\n", frames);
    std::printf("%-22s %9s %9s %9s | %9s %9s %9s | %6s %6s\n", "path", "median", "p99", "max", "socat med", "p99",
                "max", "ratio", "p99");
    for (const bool headless : {false, true}) {
        ServerPath(1, frames, headless);
        ServerPath(5, frames, headless);
        ClientPath(frames, headless);
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    return RunMeasurement(argc, argv, Measure);
}
