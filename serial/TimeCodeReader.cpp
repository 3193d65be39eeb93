#include "serial/TimeCodeReader.h"

#include "serial/ReaderEvents.h"

#include <QCoreApplication>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

TimeCodeReader::~TimeCodeReader()
{
    Stop();
}

void TimeCodeReader::Start(int fd, const std::atomic<int>* runFlag, QObject* receiver, int run, int standbyFd)
{
    Stop();
    // Purged here, before the thread exists: what arrives once START has returned is never lost.
    for (const int line : {fd, standbyFd}) {
        if (line >= 0)
            ::tcflush(line, TCIFLUSH);
    }
    WakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    Thread = std::thread(ReadTimeCodes, std::array<int, 2> {fd, standbyFd}, WakeFd, runFlag, receiver, run);
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

void TimeCodeReader::ReadTimeCodes(std::array<int, 2> fds, int wakeFd, const std::atomic<int>* runFlag,
                                   QObject* receiver, int run)
{
    std::array<FrameSync, 2> sync;
    const std::array<std::shared_ptr<FrameBacklog>, 2> backlog {std::make_shared<FrameBacklog>(BacklogLimit),
                                                                std::make_shared<FrameBacklog>(BacklogLimit)};
    char bytes[256];
    // A wake-up from Stop ends the wait at once, so a quiet line wakes nobody; only without one (a
    // failed eventfd) is the run flag looked at every 100 ms. A negative descriptor is passed over.
    pollfd ready[3] = {{wakeFd, POLLIN, 0}, {fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}};
    const int waitMs = wakeFd >= 0 ? -1 : 100;
    while (runFlag->load() != 0 && (ready[1].fd >= 0 || ready[2].fd >= 0)) {
        if (::poll(ready, 3, waitMs) <= 0)
            continue;
        if (ready[0].revents != 0)
            return;
        for (int line = 0; line < 2; ++line) {
            pollfd& port = ready[line + 1];
            if (port.fd < 0 || port.revents == 0)
                continue;
            const ssize_t count = ::read(port.fd, bytes, sizeof bytes);
            if (count < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (count <= 0) {
                // An unplugged adapter or a vanished device: said once, and the line is read no more.
                const int error = count == 0 ? EIO : errno;
                port.fd = -1;
                // Made before the hand-over, as a frame is, so that all it holds is handed over.
                auto* lost = new ReadErrorEvent(error, run, line);
                HandOverTo(receiver);
                QCoreApplication::postEvent(receiver, lost);
                continue;
            }
            // The moment of every frame this read completes, taken before any of them waits anywhere.
            const auto at = std::chrono::steady_clock::now();
            const auto wallAt = std::chrono::system_clock::now();
            // Where each frame this read completes ends: the reader was waiting only if it completed one.
            std::array<ssize_t, sizeof bytes / TimeFrameSize + 1> ends {};
            std::array<TimeCode, ends.size()> codes {};
            size_t found = 0;
            for (ssize_t i = 0; i < count; ++i) {
                if (const std::optional<TimeCode> code = sync[line].Feed(bytes[i])) {
                    codes[found] = *code;
                    ends[found++] = i;
                }
            }
            for (size_t f = 0; f < found; ++f) {
                const int trailing = int(count - 1 - ends[f]);
                const bool last = found == 1 && trailing < TimeFrameSize && size_t(count) < sizeof bytes;
                const ReadFrame read {codes[f], at, wallAt, last, trailing};
                if (backlog[line]->Admit(read)) {
                    auto* frame = new ClockFrameEvent(read, run, line, backlog[line]);
                    HandOverTo(receiver);
                    QCoreApplication::postEvent(receiver, frame);
                }
            }
        }
    }
}
