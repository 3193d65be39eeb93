// A time-code source and monitor for serial lines, for testing wiring and for driving Horaline.
//   horaline-timecode write DEVICE [--speed 9600] [--start HH:MM:SS] [--rate N] [--count N]
//   horaline-timecode pty [--start HH:MM:SS] [--rate N] [--count N]
//   horaline-timecode read DEVICE [--speed 9600] [--count N]
//   horaline-timecode display [--count N]
// write sends STX + HHMMSS of the current time, or counts up from --start one second per frame, at
// --rate frames a second; pty does the same on a new pseudo-terminal whose path it prints first;
// read prints every frame it sees on a line, input frames and display frames alike; display plays a
// clock display on a new pseudo-terminal: it prints the path, then every frame written to it.
#include "serial/ClockFormat.h"
#include "serial/SerialDevice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTime>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

int Fail(const QString& message)
{
    std::fprintf(stderr, "horaline-timecode: %s\n", qPrintable(message));
    return 1;
}

int OpenLine(const QString& device, const QString& speed, int& fd)
{
    const SerialOpenResult opened = OpenSerialDevice(device);
    if (opened.fd < 0)
        return Fail(
            QStringLiteral("cannot open %1: %2").arg(device, QString::fromLocal8Bit(std::strerror(opened.error))));
    termios line {};
    bool configured = ::tcgetattr(opened.fd, &line) == 0;
    if (configured) {
        ConfigureLine(line, SpeedFromText(speed));
        configured = ::tcsetattr(opened.fd, TCSANOW, &line) == 0;
    }
    if (!configured) {
        const int error = errno;
        CloseSerialDevice(opened.fd, device);
        return Fail(
            QStringLiteral("%1 is no serial line: %2").arg(device, QString::fromLocal8Bit(std::strerror(error))));
    }
    fd = opened.fd;
    return 0;
}

int WriteFrames(int fd, const QTime& start, double rate, long count)
{
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
    Clock::time_point next = Clock::now();
    for (long sent = 0; count < 0 || sent < count; ++sent) {
        const QTime time = start.isValid() ? start.addSecs(int(sent % 86400)) : QTime::currentTime();
        const QByteArray frame = STX + time.toString(QStringLiteral("HHmmss")).toLatin1();
        if (const int error = WriteBounded(fd, frame.constData(), size_t(frame.size()), 5000))
            return Fail(QStringLiteral("write failed: %1").arg(QString::fromLocal8Bit(std::strerror(error))));
        next += period;
        std::this_thread::sleep_until(next);
    }
    return 0;
}

int ReadFrames(int fd, long count)
{
    FrameSync sync;
    char bytes[256];
    for (long seen = 0; count < 0 || seen < count;) {
        pollfd ready {fd, POLLIN, 0};
        if (::poll(&ready, 1, -1) < 0 && errno != EINTR)
            return Fail(QStringLiteral("poll failed"));
        const ssize_t received = ::read(fd, bytes, sizeof bytes);
        if (received < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (received <= 0)
            return Fail(QStringLiteral("the line went away"));
        for (ssize_t i = 0; i < received && (count < 0 || seen < count); ++i) {
            if (const std::optional<TimeCode> code = sync.Feed(bytes[i])) {
                ClockChars buffer {};
                StoreTimeCode(buffer, *code);
                std::printf("%s\n", FormatClockText(buffer).constData());
                std::fflush(stdout);
                ++seen;
            }
        }
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes or reads STX + HHMMSS time codes on a serial line."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("mode"), QStringLiteral("write, pty, read or display"));
    parser.addPositionalArgument(QStringLiteral("device"), QStringLiteral("serial device (write and read)"));
    const QCommandLineOption speed(QStringLiteral("speed"), QStringLiteral("line speed"), QStringLiteral("baud"),
                                   QStringLiteral("9600"));
    const QCommandLineOption start(QStringLiteral("start"), QStringLiteral("first time, counting up"),
                                   QStringLiteral("HH:MM:SS"));
    const QCommandLineOption rate(QStringLiteral("rate"), QStringLiteral("frames a second"), QStringLiteral("n"),
                                  QStringLiteral("1"));
    const QCommandLineOption count(QStringLiteral("count"), QStringLiteral("stop after n frames"), QStringLiteral("n"),
                                   QStringLiteral("-1"));
    parser.addOptions({speed, start, rate, count});
    parser.process(application);

    const QStringList arguments = parser.positionalArguments();
    const QString mode = arguments.value(0);
    bool numbers = true;
    bool ok = false;
    const double frameRate = parser.value(rate).toDouble(&ok);
    numbers = numbers && ok && frameRate > 0;
    const long frames = parser.value(count).toLong(&ok);
    numbers = numbers && ok;
    const QTime first
        = parser.isSet(start) ? QTime::fromString(parser.value(start), QStringLiteral("HH:mm:ss")) : QTime();
    if (!numbers || (parser.isSet(start) && !first.isValid()))
        return Fail(QStringLiteral("--rate must be above 0, --count a whole number and --start HH:MM:SS"));

    if ((mode == QLatin1String("pty") || mode == QLatin1String("display")) && arguments.size() == 1) {
        int master = -1;
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return Fail(QStringLiteral("cannot make a pseudo-terminal"));
        // The slave end stays open here, so the line stays up while its user comes and goes.
        termios line {};
        ::tcgetattr(slave, &line);
        ::cfmakeraw(&line);
        ::tcsetattr(slave, TCSANOW, &line);
        std::printf("%s\n", name);
        std::fflush(stdout);
        return mode == QLatin1String("pty") ? WriteFrames(master, first, frameRate, frames)
                                            : ReadFrames(master, frames);
    }
    if ((mode == QLatin1String("write") || mode == QLatin1String("read")) && arguments.size() == 2) {
        int fd = -1;
        if (OpenLine(arguments[1], parser.value(speed), fd) != 0)
            return 1;
        const int result
            = mode == QLatin1String("write") ? WriteFrames(fd, first, frameRate, frames) : ReadFrames(fd, frames);
        CloseSerialDevice(fd, arguments[1]);
        return result;
    }
    parser.showHelp(2);
}
