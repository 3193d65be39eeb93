#pragma once

#include <atomic>
#include <thread>

class QObject;

// Reads time codes from an open serial port on a thread of its own and posts each frame to the window.
class TimeCodeReader
{
public:
    TimeCodeReader() = default;
    TimeCodeReader(const TimeCodeReader&) = delete;
    TimeCodeReader& operator=(const TimeCodeReader&) = delete;
    ~TimeCodeReader();

    // Bytes already received are discarded before it returns; the reader goes on while runFlag is 1.
    void Start(int fd, const std::atomic<int>* runFlag, QObject* window, int run);
    // Returns once the reader has ended, so that the port may be closed and reused.
    void Stop();

private:
    static void ReadTimeCodes(int fd, int wakeFd, const std::atomic<int>* runFlag, QObject* window, int run);

    std::thread Thread;
    int WakeFd = -1;
};
