#pragma once

// What the benchmarks share: pseudo-terminals, a Horaline started as its own process on settings made
// for the run, loopback sockets, the clock and the statistics.

#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <optional>
#include <sys/types.h>
#include <vector>

namespace bench {

struct Pty
{
    int master = -1;
    int slave = -1; // kept open so that the line stays up between users
    QString slavePath;
};
Pty MakePty();

int64_t NowNs();

// A blocking loopback connection, with TCP_NODELAY; retries until the deadline, then fails the run.
int ConnectLoopback(uint16_t port, int timeoutMs);
// A loopback listener on a port chosen before (0: any), reusable while its connections linger in TIME_WAIT.
int ListenOn(uint16_t port);
// A loopback listener on a free port up to 60000, the highest the port fields accept.
int ListenLoopback(uint16_t& port);
int AcceptOne(int listener, int timeoutMs);
uint16_t FreePort();

// Reads exactly size bytes or gives up at the deadline.
bool ReadExactly(int fd, char* buffer, size_t size, int timeoutMs);
bool WriteAll(int fd, const char* data, size_t size);

struct HoralineSettings
{
    int mode = 1; // 1 server, 0 client
    int com = 250;
    QString device;
    uint16_t port = 0;
    bool headless = false; // --headless: the relay alone, no window
    QString standbyDevice = QString(); // server mode: a standby input line, as COM<com + 1>; empty: no [Standby]
    int afterS = 3;
    bool ownClock = false; // [Standby] OwnClock=1: this computer's time when no source serves
    uint16_t webPort = 0; // [Web] Listen on 127.0.0.1 at this port, room for 1000 screens; 0: no [Web]
};

// The real program, as an operator would leave it: its settings start the relay by itself.
class Horaline
{
public:
    explicit Horaline(const HoralineSettings& settings);
    ~Horaline();
    Horaline(const Horaline&) = delete;
    Horaline& operator=(const Horaline&) = delete;

    pid_t Pid() const { return Process; }
    // Seconds of processor time used so far, user and system.
    double CpuSeconds() const;
    long ResidentKiB() const;
    // The most it was resident at any moment so far.
    long PeakResidentKiB() const;
    void Stop();

private:
    QTemporaryDir Config;
    pid_t Process = -1;
};

// A server-mode Horaline reading a new pseudo-terminal, with clients connected once it listens.
struct ServerRelay
{
    explicit ServerRelay(int clientCount, bool headless = false);
    ~ServerRelay();
    ServerRelay(const ServerRelay&) = delete;
    ServerRelay& operator=(const ServerRelay&) = delete;

    Pty input;
    uint16_t port;
    Horaline relay;
    std::vector<int> clients;
};

// A client-mode Horaline writing to a new pseudo-terminal, connected to a loopback server of the run.
struct ClientRelay
{
    explicit ClientRelay(bool headless = false);
    ~ClientRelay();
    ClientRelay(const ClientRelay&) = delete;
    ClientRelay& operator=(const ClientRelay&) = delete;

    Pty output;
    uint16_t port = 0;
    int listener;
    Horaline relay;
    int connection; // the server's side of Horaline's connection
};

// What a process costs: processor seconds used so far (user and system), and a field of its status in
// KiB (VmRSS:, VmHWM:).
double CpuSecondsOf(pid_t process);
long StatusKiBOf(pid_t process, const char* field);

// ser2net relaying a pseudo-terminal to up to five clients on a loopback port, for comparison; Pid()
// is -1 where ser2net is not installed.
class Ser2net
{
public:
    Ser2net(const QString& device, uint16_t port);
    ~Ser2net();
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;
    pid_t Pid() const { return Process; }

private:
    QTemporaryDir Config;
    pid_t Process = -1;
};

// A plain byte relay between a pseudo-terminal and a TCP connection, for comparison.
class Socat
{
public:
    Socat(const QStringList& arguments);
    ~Socat();
    Socat(const Socat&) = delete;
    Socat& operator=(const Socat&) = delete;

private:
    pid_t Process = -1;
};

struct Summary
{
    double median;
    double p99;
    double max;
};
Summary Summarise(std::vector<double> microseconds);

QString HoralineBinary();

// Ends the run with a reason; RunMeasurement catches it, so every started process is stopped on the
// way out.
[[noreturn]] void Fail(const QString& reason);

// The body of a benchmark's main: the application object, line-buffered output, and a failure told
// on standard error with exit code 1.
int RunMeasurement(int argc, char* argv[], int (*measure)(int argc, char* argv[]));

} // namespace bench
