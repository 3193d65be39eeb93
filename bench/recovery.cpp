// How soon a running Horaline relays again once what it lost is back: an input line re-plugged under a
// new node (a by-id link pointed at a new pseudo-terminal), and a server restarted under a client.
// Each round loses the thing at a random moment against the retry timers.
//   recovery [rounds]        (default 10)
#include "Harness.h"

#include <QFile>
#include <QRandomGenerator>
#include <QThread>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

using namespace bench;

namespace {

void PointLink(const QString& link, const Pty& line)
{
    // A new link renamed over the old one, as udev replaces a by-id link: never a moment with none.
    const QString next = link + QStringLiteral(".next");
    QFile::remove(next);
    if (!QFile::link(line.slavePath, next) || ::rename(QFile::encodeName(next), QFile::encodeName(link)) != 0)
        Fail(QStringLiteral("cannot point the adapter link"));
}

void Drain(int fd)
{
    char buffer[4096];
    pollfd ready {fd, POLLIN, 0};
    while (::poll(&ready, 1, 50) > 0 && ::read(fd, buffer, sizeof buffer) > 0) { }
}

void Report(const char* what, const std::vector<double>& milliseconds, double targetMs)
{
    std::vector<double> microseconds;
    for (double ms : milliseconds)
        microseconds.push_back(ms * 1000.0);
    const Summary s = Summarise(microseconds);
    std::printf("%-34s %6zu %9.0f %9.0f %9.0f\n", what, milliseconds.size(), s.median / 1000.0, s.max / 1000.0,
                targetMs);
}

// From the link's re-pointing until a client that stayed connected has a value again.
std::vector<double> LineReturns(int rounds)
{
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("usb-Clock_Adapter-if00-port0"));
    Pty line = MakePty();
    PointLink(link, line);
    const uint16_t port = FreePort();
    Horaline relay({1, 250, link, port});
    const int client = ConnectLoopback(port, 10000);
    char buffer[8];

    std::vector<double> returns;
    for (int round = 0; round < rounds; ++round) {
        ::close(line.master);
        ::close(line.slave);
        QThread::msleep(300 + QRandomGenerator::global()->bounded(2000));
        line = MakePty();
        PointLink(link, line);
        const int64_t back = NowNs();
        const QByteArray frame("\x02"
                               "123456");
        pollfd ready {client, POLLIN, 0};
        do {
            if (NowNs() - back > int64_t(10) * 1000000000)
                Fail(QStringLiteral("the input line was not read again within 10 s"));
            WriteAll(line.master, frame.constData(), size_t(frame.size()));
        } while (::poll(&ready, 1, 10) <= 0);
        if (!ReadExactly(client, buffer, 8, 1000))
            Fail(QStringLiteral("a value came torn after the line's return"));
        returns.push_back(double(NowNs() - back) / 1e6);
        Drain(client);
    }
    ::close(client);
    ::close(line.master);
    ::close(line.slave);
    return returns;
}

// From the server's listening again until the client has written a value to its display line.
std::vector<double> ServerReturns(int rounds)
{
    Pty output = MakePty();
    // Reusable from the start: the connections it accepted linger in TIME_WAIT on its port.
    const uint16_t port = FreePort();
    int listener = ListenOn(port);
    Horaline relay({0, 251, output.slavePath, port});
    int connection = AcceptOne(listener, 15000);
    if (connection < 0)
        Fail(QStringLiteral("the client did not connect"));
    char buffer[10];

    std::vector<double> returns;
    for (int round = 0; round < rounds; ++round) {
        ::close(connection);
        ::close(listener);
        QThread::msleep(200 + QRandomGenerator::global()->bounded(1000));
        const int64_t back = NowNs();
        listener = ListenOn(port);
        connection = AcceptOne(listener, 10000);
        if (connection < 0)
            Fail(QStringLiteral("the client did not come back within 10 s"));
        WriteAll(connection, "12:34:56", 8);
        if (!ReadExactly(output.master, buffer, 10, 5000))
            Fail(QStringLiteral("no value on the display line after the server's return"));
        returns.push_back(double(NowNs() - back) / 1e6);
    }
    ::close(connection);
    ::close(listener);
    ::close(output.master);
    ::close(output.slave);
    return returns;
}

int Measure(int argc, char* argv[])
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::printf("%-34s %6s %9s %9s %9s\n", "return to first value relayed", "rounds", "median ms", "max ms", "target");
    Report("input line re-plugged (server)", LineReturns(rounds), 2500);
    Report("server restarted (client)", ServerReturns(rounds), 1500);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    return RunMeasurement(argc, argv, Measure);
}
