// Screens that follow the clock over the web port's WebSocket, beside a TCP clock client in the same run:
// how long after the client each screen gets a value, the relay's processor time per value, and its
// memory per 100 screens. A headless server relay, 1, 50 and 200 screens on 127.0.0.1.
//   displays [values per run]        (default 200, one every 50 ms)
#include "Harness.h"

#include <QByteArray>
#include <QThread>
#include <cstdio>
#include <map>
#include <poll.h>
#include <unistd.h>

using namespace bench;

namespace {

QByteArray TimeText(int n)
{
    const int second = n % 86400;
    return QByteArray::number(second / 3600).rightJustified(2, '0') + ':'
        + QByteArray::number(second / 60 % 60).rightJustified(2, '0') + ':'
        + QByteArray::number(second % 60).rightJustified(2, '0');
}

// A screen as a browser is one: the feed asked for, its answer read; then it only listens.
int OpenScreen(uint16_t webPort)
{
    const int screen = ConnectLoopback(webPort, 10000);
    const QByteArray ask(
        "GET /display/feed HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
        "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
    WriteAll(screen, ask.constData(), size_t(ask.size()));
    QByteArray answer;
    char c = 0;
    while (!answer.endsWith("\r\n\r\n")) {
        if (!ReadExactly(screen, &c, 1, 5000))
            Fail(QStringLiteral("a screen got no answer to its upgrade"));
        answer.append(c);
    }
    if (!answer.startsWith("HTTP/1.1 101"))
        Fail(QStringLiteral("a screen was refused: ") + QString::fromLatin1(answer.left(40)));
    return screen;
}

// The time texts of the whole text frames in what a screen has received; what is left waits for more.
std::vector<QByteArray> TakeFrames(QByteArray& received)
{
    std::vector<QByteArray> times;
    while (received.size() >= 2) {
        const int length = quint8(received[1]) & 0x7f;
        if (length >= 126 || received.size() < 2 + length)
            break;
        const QByteArray payload = received.mid(2, length);
        received.remove(0, 2 + length);
        const qsizetype at = payload.indexOf("\"time\":\"");
        if (at >= 0)
            times.push_back(payload.mid(at + 8, 8));
    }
    return times;
}

void Run(int screenCount, int values)
{
    const Pty input = MakePty();
    const uint16_t port = FreePort();
    const uint16_t webPort = FreePort();
    HoralineSettings settings {1, 250, input.slavePath, port, true};
    settings.webPort = webPort;
    Horaline relay(settings);
    const int client = ConnectLoopback(port, 10000);
    QThread::msleep(300);
    const long before = relay.ResidentKiB();
    std::vector<int> screens;
    for (int i = 0; i < screenCount; ++i)
        screens.push_back(OpenScreen(webPort));
    QThread::msleep(300);
    const long with = relay.ResidentKiB();
    std::vector<QByteArray> pending(screens.size());
    // The first message of each (the silence, before any value) is read before the values start.
    for (size_t i = 0; i < screens.size(); ++i) {
        char header[2];
        if (!ReadExactly(screens[i], header, 2, 5000))
            Fail(QStringLiteral("a screen heard nothing as it connected"));
        std::vector<char> rest(size_t(quint8(header[1]) & 0x7f));
        ReadExactly(screens[i], rest.data(), rest.size(), 5000);
    }

    std::vector<double> behind;
    const double cpuStart = relay.CpuSeconds();
    for (int n = 1; n <= values; ++n) {
        const QByteArray text = TimeText(n);
        const QByteArray frame = "\x02" + QByteArray(text).replace(":", "");
        WriteAll(input.master, frame.constData(), size_t(frame.size()));
        char message[8];
        if (!ReadExactly(client, message, sizeof(message), 5000) || QByteArray(message, 8) != text)
            Fail(QStringLiteral("the TCP client did not get ") + QString::fromLatin1(text));
        const int64_t clientAt = NowNs();
        size_t heard = 0;
        std::vector<bool> done(screens.size(), false);
        std::vector<pollfd> waits;
        while (heard < screens.size()) {
            waits.clear();
            for (size_t i = 0; i < screens.size(); ++i)
                if (!done[i])
                    waits.push_back({screens[i], POLLIN, 0});
            if (::poll(waits.data(), waits.size(), 5000) <= 0)
                Fail(QStringLiteral("a screen did not get ") + QString::fromLatin1(text));
            const int64_t at = NowNs();
            for (const pollfd& wait : waits) {
                if ((wait.revents & POLLIN) == 0)
                    continue;
                const size_t i = size_t(std::find(screens.begin(), screens.end(), wait.fd) - screens.begin());
                char buffer[4096];
                const ssize_t got = ::read(wait.fd, buffer, sizeof(buffer));
                if (got <= 0)
                    Fail(QStringLiteral("a screen was closed"));
                pending[i].append(buffer, got);
                for (const QByteArray& time : TakeFrames(pending[i])) {
                    if (time != text || done[i])
                        Fail(QStringLiteral("a screen got %1 for %2")
                                 .arg(QString::fromLatin1(time), QString::fromLatin1(text)));
                    done[i] = true;
                    ++heard;
                    behind.push_back(double(at - clientAt) / 1000.0);
                }
            }
        }
        QThread::msleep(50);
    }
    const double cpu = relay.CpuSeconds() - cpuStart;
    const Summary s = Summarise(behind);
    std::printf("%4d screens: behind the TCP client median %6.0f us, p99 %6.0f us, max %6.0f us; CPU %5.0f us a value; "
                "resident %ld KiB, %ld KiB before the screens",
                screenCount, s.median, s.p99, s.max, cpu / values * 1e6, with, before);
    // One screen's share is lost in the noise of the rest.
    if (screenCount >= 50)
        std::printf(", %.0f KiB per 100 screens", double(with - before) * 100.0 / screenCount);
    std::printf("\n");
    for (int screen : screens)
        ::close(screen);
    ::close(client);
    ::close(input.master);
    ::close(input.slave);
}

int Measure(int argc, char* argv[])
{
    const int values = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    for (const int screens : {1, 50, 200})
        Run(screens, values);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    return RunMeasurement(argc, argv, Measure);
}
