#include "Harness.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace bench {

namespace {

pid_t Spawn(const QString& program, const QStringList& arguments, const std::vector<std::string>& extraEnvironment)
{
    std::vector<std::string> strings {program.toStdString()};
    for (const QString& argument : arguments)
        strings.push_back(argument.toStdString());
    std::vector<char*> argv;
    for (std::string& s : strings)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    std::vector<std::string> environment(extraEnvironment);
    for (char** e = environ; *e != nullptr; ++e)
        environment.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& s : environment)
        envp.push_back(s.data());
    envp.push_back(nullptr);

    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    return pid;
}

void EndProcess(pid_t& pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 500; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        QThread::msleep(10);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

void MakeRaw(int fd)
{
    termios line {};
    ::tcgetattr(fd, &line);
    ::cfmakeraw(&line);
    ::tcsetattr(fd, TCSANOW, &line);
}

} // namespace

Pty MakePty()
{
    Pty pty;
    char name[256] = {};
    if (::openpty(&pty.master, &pty.slave, name, nullptr, nullptr) != 0)
        Fail(QStringLiteral("cannot make a pseudo-terminal"));
    MakeRaw(pty.slave);
    // The relay and socat must not inherit the other lines of the run.
    ::fcntl(pty.master, F_SETFD, FD_CLOEXEC);
    ::fcntl(pty.slave, F_SETFD, FD_CLOEXEC);
    pty.slavePath = QString::fromLocal8Bit(name);
    return pty;
}

int64_t NowNs()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int ConnectLoopback(uint16_t port, int timeoutMs)
{
    const int64_t deadline = NowNs() + int64_t(timeoutMs) * 1000000;
    while (NowNs() < deadline) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sockaddr_in local {};
        socklen_t length = sizeof local;
        // Dialling a loopback port nobody listens on can connect the socket to itself (TCP
        // simultaneous open) when the system picks that very port as the source; that is no server.
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
            && ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0
            && local.sin_port != address.sin_port) {
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            return fd;
        }
        ::close(fd);
        QThread::usleep(500);
    }
    Fail(QStringLiteral("nothing listened on port %1").arg(port));
}

int ListenOn(uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int reuse = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0)
        Fail(QStringLiteral("cannot listen on loopback port %1").arg(port));
    return fd;
}

int ListenLoopback(uint16_t& port)
{
    // The port fields take 0..60000; the system's choice can lie above.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int fd = ListenOn(0);
        sockaddr_in address {};
        socklen_t length = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        if (port <= 60000)
            return fd;
        ::close(fd);
    }
    Fail(QStringLiteral("no free port up to 60000"));
}

int AcceptOne(int listener, int timeoutMs)
{
    pollfd ready {listener, POLLIN, 0};
    if (::poll(&ready, 1, timeoutMs) <= 0)
        return -1;
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

uint16_t FreePort()
{
    uint16_t port = 0;
    ::close(ListenLoopback(port));
    return port;
}

bool ReadExactly(int fd, char* buffer, size_t size, int timeoutMs)
{
    const int64_t deadline = NowNs() + int64_t(timeoutMs) * 1000000;
    size_t got = 0;
    while (got < size) {
        const int64_t left = (deadline - NowNs()) / 1000000;
        if (left < 0)
            return false;
        pollfd ready {fd, POLLIN, 0};
        if (::poll(&ready, 1, int(left) + 1) <= 0)
            continue;
        const ssize_t count = ::read(fd, buffer + got, size - got);
        if (count <= 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (count > 0)
            got += size_t(count);
    }
    return true;
}

bool WriteAll(int fd, const char* data, size_t size)
{
    size_t sent = 0;
    while (sent < size) {
        const ssize_t count = ::write(fd, data + sent, size - sent);
        if (count < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (count > 0)
            sent += size_t(count);
    }
    return true;
}

Horaline::Horaline(const HoralineSettings& settings)
{
    const QString file = Config.filePath(QStringLiteral("Remote Tickview System/Horaline.ini"));
    {
        QSettings ini(file, QSettings::IniFormat);
        const QString com = QStringLiteral("COM%1").arg(settings.com);
        ini.setValue(QStringLiteral("Ports/") + com, settings.device);
        ini.beginGroup(QStringLiteral("Settaggi"));
        ini.setValue(settings.mode == 1 ? QStringLiteral("InComName") : QStringLiteral("OutComName"), com);
        ini.setValue(QStringLiteral("InComSpeed"), QStringLiteral("38400"));
        ini.setValue(QStringLiteral("OutComSpeed"), QStringLiteral("38400"));
        ini.setValue(QStringLiteral("ServerName"), QStringLiteral("127.0.0.1"));
        ini.setValue(QStringLiteral("ServerPort"), int(settings.port));
        ini.setValue(QStringLiteral("ProgMode"), settings.mode);
        ini.setValue(QStringLiteral("ProgRun"), 1);
        ini.endGroup();
        if (!settings.standbyDevice.isEmpty()) {
            const QString spare = QStringLiteral("COM%1").arg(settings.com + 1);
            ini.setValue(QStringLiteral("Ports/") + spare, settings.standbyDevice);
            ini.setValue(QStringLiteral("Standby/InComName"), spare);
            ini.setValue(QStringLiteral("Standby/InComSpeed"), QStringLiteral("38400"));
        }
        if (settings.webPort != 0) {
            ini.setValue(QStringLiteral("Web/Listen"), QStringLiteral("127.0.0.1:%1").arg(settings.webPort));
            ini.setValue(QStringLiteral("Web/Displays"), 1000);
        }
        if (!settings.standbyDevice.isEmpty() || settings.ownClock) {
            ini.setValue(QStringLiteral("Standby/After"), settings.afterS);
            ini.setValue(QStringLiteral("Standby/OwnClock"), settings.ownClock ? 1 : 0);
        }
    }
    Process = Spawn(HoralineBinary(), settings.headless ? QStringList {QStringLiteral("--headless")} : QStringList(),
                    {"QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + Config.path().toStdString(),
                     "XDG_RUNTIME_DIR=" + Config.path().toStdString(), "QT_LOGGING_RULES=horaline.*=false"});
    if (Process < 0)
        Fail(QStringLiteral("cannot start ") + HoralineBinary());
}

Horaline::~Horaline()
{
    Stop();
}

void Horaline::Stop()
{
    EndProcess(Process);
}

double CpuSecondsOf(pid_t process)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(process));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // Fields after the command name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks / double(::sysconf(_SC_CLK_TCK));
}

long StatusKiBOf(pid_t process, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(process));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(std::strlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

double Horaline::CpuSeconds() const
{
    return CpuSecondsOf(Process);
}

long Horaline::ResidentKiB() const
{
    return StatusKiBOf(Process, "VmRSS:");
}

long Horaline::PeakResidentKiB() const
{
    return StatusKiBOf(Process, "VmHWM:");
}

Ser2net::Ser2net(const QString& device, uint16_t port)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                                           {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    if (program.isEmpty())
        return;
    const QString file = Config.filePath(QStringLiteral("ser2net.yaml"));
    QFile yaml(file);
    if (!yaml.open(QIODevice::WriteOnly))
        Fail(QStringLiteral("cannot write ") + file);
    yaml.write(
        QStringLiteral("connection: &relay\n  accepter: tcp,127.0.0.1,%1\n  connector: serialdev,%2,38400n81,local\n"
                       "  options:\n    max-connections: 5\n")
            .arg(port)
            .arg(device)
            .toUtf8());
    yaml.close();
    Process = Spawn(program,
                    {QStringLiteral("-n"), QStringLiteral("-c"), file, QStringLiteral("-P"),
                     Config.filePath(QStringLiteral("ser2net.pid"))},
                    {});
}

Ser2net::~Ser2net()
{
    EndProcess(Process);
}

ServerRelay::ServerRelay(int clientCount, bool headless)
    : input(MakePty())
    , port(FreePort())
    , relay({1, 250, input.slavePath, port, headless})
{
    for (int i = 0; i < clientCount; ++i)
        clients.push_back(ConnectLoopback(port, 10000));
}

ServerRelay::~ServerRelay()
{
    for (int client : clients)
        ::close(client);
    ::close(input.master);
    ::close(input.slave);
}

ClientRelay::ClientRelay(bool headless)
    : output(MakePty())
    , listener(ListenLoopback(port))
    , relay({0, 251, output.slavePath, port, headless})
    , connection(AcceptOne(listener, 15000))
{
    if (connection < 0)
        Fail(QStringLiteral("the client-mode Horaline did not connect"));
}

ClientRelay::~ClientRelay()
{
    ::close(connection);
    ::close(listener);
    ::close(output.master);
    ::close(output.slave);
}

Socat::Socat(const QStringList& arguments)
{
    Process = Spawn(QStandardPaths::findExecutable(QStringLiteral("socat")), arguments, {});
    if (Process < 0)
        Fail(QStringLiteral("socat is needed for the comparison: apt-get install socat"));
}

Socat::~Socat()
{
    EndProcess(Process);
}

Summary Summarise(std::vector<double> microseconds)
{
    std::sort(microseconds.begin(), microseconds.end());
    const auto at = [&](double fraction) {
        return microseconds[std::min(microseconds.size() - 1, size_t(fraction * double(microseconds.size())))];
    };
    return {at(0.5), at(0.99), microseconds.back()};
}

void Fail(const QString& reason)
{
    throw std::runtime_error(reason.toStdString());
}

int RunMeasurement(int argc, char* argv[], int (*measure)(int argc, char* argv[]))
{
    QCoreApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    try {
        return measure(argc, argv);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }
}

QString HoralineBinary()
{
    return QStringLiteral(HORALINE_BINARY);
}

} // namespace bench
