#include "app/StartUp.h"

#include "service/Log.h"
#include "service/SettingsCheck.h"
#include "service/StatusQuery.h"
#include "settings/SettingsPath.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <iterator>
#include <sys/socket.h>
#include <unistd.h>

LaunchRequest StartUp(int argc, char* argv[], Program program)
{
    OpenMissingStandardDescriptors();
    // GLib's event loop wakes itself with a write each time a socket asks to be told it can write, and
    // again when it no longer asks: two system calls and a turn of the loop around every value sent.
    // Qt's own loop needs none of them. QT_NO_GLIB set, even empty (GLib's loop again), is left as it is.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    LaunchRequest request = ReadCommandLine(argc, argv, program);
    if (request.exitCode)
        return request;
    if (!request.settings.isEmpty())
        NameSettings(request.settings);
    if (request.status || request.check) {
        const QCoreApplication application(argc, argv);
        NameApplication(program);
        request.exitCode = request.check ? PrintSettingsCheck() : QueryStatus(request.json);
    }
    return request;
}

int RunLogged(const std::function<int()>& run)
{
    InstallLogFormat();
    InstallLogWriter();
    const int exitCode = run();
    FlushLog(500);
    return exitCode;
}

namespace {

// Only write(2) and lock-free atomics are safe inside a handler. Each signal sets its own flag and wakes
// the event loop through a socket pair that never blocks: a storm of one signal is one pending event,
// and a full pair means a wake-up is on its way already.
int SignalPipe[2] = {-1, -1};

// The order they are told in: an end asked for goes before a reload.
constexpr int Handled[] = {SIGTERM, SIGINT, SIGHUP};
std::atomic<bool> Pending[std::size(Handled)];
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler may only touch lock-free atomics");

void OnSignal(int signalNumber)
{
    const int saved = errno;
    for (size_t i = 0; i < std::size(Handled); ++i) {
        if (Handled[i] == signalNumber)
            Pending[i] = true;
    }
    const char wake = 0;
    [[maybe_unused]] const ssize_t written = ::write(SignalPipe[0], &wake, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, SignalPipe) != 0)
        return;
    Notifier = new QSocketNotifier(SignalPipe[1], QSocketNotifier::Read, this);
    connect(Notifier, &QSocketNotifier::activated, this, &TerminationSignals::Drain);

    struct sigaction action
    {
    };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : Handled)
        sigaction(signalNumber, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    for (int signalNumber : Handled)
        std::signal(signalNumber, SIG_DFL);
    for (int& end : SignalPipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

void TerminationSignals::Drain()
{
    char wakes[256];
    while (::read(SignalPipe[1], wakes, sizeof wakes) > 0) { }
    for (size_t i = 0; i < std::size(Handled); ++i) {
        if (Pending[i].exchange(false))
            emit Received(Handled[i]);
    }
}
