#include "serial/FrameWriter.h"

#include "serial/SerialDevice.h"

#include <cerrno>
#include <sys/ioctl.h>

namespace {

// A line with more than a frame still queued is held back: a new frame would only wait there and show
// a stale time later.
bool HoldsBack(int fd, size_t frameSize)
{
    int queued = 0;
    return ::ioctl(fd, TIOCOUTQ, &queued) == 0 && size_t(queued) > frameSize;
}

} // namespace

int FrameWriter::Write(int fd, const char* data, size_t size, int timeoutMs)
{
    if (!Tail.isEmpty()) {
        size_t sent = 0;
        const int error = WriteBounded(fd, Tail.constData(), size_t(Tail.size()), timeoutMs, &sent);
        Tail.remove(0, qsizetype(sent));
        if (error != 0)
            return error;
    }
    if (HoldsBack(fd, size))
        return ETIMEDOUT;
    size_t sent = 0;
    const int error = WriteBounded(fd, data, size, timeoutMs, &sent);
    if (error == ETIMEDOUT && sent > 0)
        Tail = QByteArray(data + sent, qsizetype(size - sent));
    return error;
}
