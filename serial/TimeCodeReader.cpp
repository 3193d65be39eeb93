#include "serial/TimeCodeReader.h"

#include "serial/ReaderEvents.h"

#include <QCoreApplication>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

TimeCodeReader::~TimeCodeReader()
{
    Stop();
}

void TimeCodeReader::Start(int fd, const std::atomic<int>* runFlag, QObject* window, int run)
{
    Stop();
    // Purged here, before the thread exists: what arrives once START has returned is never lost.
    ::tcflush(fd, TCIFLUSH);
    WakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    Thread = std::thread(ReadTimeCodes, fd, WakeFd, runFlag, window, run, std::make_shared<FrameBacklog>(BacklogLimit));
}

void TimeCodeReader::Stop()
{
    if (WakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(WakeFd, &one, sizeof one);
    }
    if (Thread.joinable())
        Thread.join();
    if (WakeFd >= 0)
        ::close(WakeFd);
    WakeFd = -1;
}

void TimeCodeReader::ReadTimeCodes(int fd, int wakeFd, const std::atomic<int>* runFlag, QObject* window, int run,
                                   std::shared_ptr<FrameBacklog> backlog)
{
    FrameSync sync;
    char bytes[256];
    // A wake-up from Stop ends the wait at once, so a quiet line wakes nobody; only without one (a
    // failed eventfd) is the run flag looked at every 100 ms.
    pollfd ready[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const nfds_t watched = wakeFd >= 0 ? 2 : 1;
    const int waitMs = wakeFd >= 0 ? -1 : 100;
    while (runFlag->load() != 0) {
        if (::poll(ready, watched, waitMs) <= 0)
            continue;
        if (ready[1].revents != 0)
            return;
        if (ready[0].revents == 0)
            continue;
        const ssize_t count = ::read(fd, bytes, sizeof bytes);
        if (count < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (count <= 0) {
            // An unplugged adapter or a vanished device: said once, then the reader ends.
            const int error = count == 0 ? EIO : errno;
            HandOverTo(window);
            QCoreApplication::postEvent(window, new ReadErrorEvent(error, run));
            return;
        }
        for (ssize_t i = 0; i < count; ++i) {
            if (const std::optional<TimeCode> code = sync.Feed(bytes[i]); code && backlog->Admit(*code)) {
                auto* frame = new ClockFrameEvent(*code, run, backlog);
                HandOverTo(window);
                QCoreApplication::postEvent(window, frame);
            }
        }
    }
}
