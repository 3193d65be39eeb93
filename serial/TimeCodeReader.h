#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <thread>

class FrameBacklog;
class QObject;

// Reads time codes from an open serial port, and from a standby's where there is one, on one thread of
// its own, and posts them, through a bounded backlog per line, to the object that handles them.
class TimeCodeReader
{
public:
    TimeCodeReader() = default;
    TimeCodeReader(const TimeCodeReader&) = delete;
    TimeCodeReader& operator=(const TimeCodeReader&) = delete;
    ~TimeCodeReader();

    // Bytes already received are discarded before it returns; the reader goes on while runFlag is 1 and a
    // line is left to read. Either line may be -1, none: frames and errors name their line, 0 or 1.
    void Start(int fd, const std::atomic<int>* runFlag, QObject* receiver, int run, int standbyFd = -1);
    // Returns once the reader has ended, so that the port may be closed and reused.
    void Stop();

    // Enough for the relay to fall behind by more than a second at the highest rates it keeps up with,
    // and by two minutes at the line's own rate; some six megabytes of events at the most.
    static constexpr int BacklogLimit = 65536;

private:
    static void ReadTimeCodes(std::array<int, 2> fds, int wakeFd, const std::atomic<int>* runFlag, QObject* receiver,
                              int run);

    std::thread Thread;
    int WakeFd = -1;
};
