#pragma once

#include <QByteArray>
#include <cstddef>

// Writes frames to a display line that flow control may hold back, each whole or not at all: a display
// shows garbage for a torn frame. What a held-back line left unsent of a frame is finished before any
// later frame begins; a frame that meets a line still holding back is dropped whole.
class FrameWriter
{
public:
    // 0 when the frame went out; ETIMEDOUT when the line held it back (dropped, or its tail kept to
    // finish first); otherwise the errno of a line that failed.
    int Write(int fd, const char* data, size_t size, int timeoutMs);
    // A line closed, or opened anew, has nothing left to finish.
    void Forget() { Tail.clear(); }

private:
    QByteArray Tail;
};
