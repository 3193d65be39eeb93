#pragma once

#include "serial/FrameBacklog.h"

#include <QEvent>
#include <memory>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

// Posted by the time-code reader for each frame its backlog lets through (under a flood the frames in
// between give way to the newest); the six bytes and their moments travel inside, so the receiver never
// sees a value half old and half new.
constexpr QEvent::Type WM_CLOCKFRAME = QEvent::Type(0x8002);
// Posted once when the reader ends on a read error.
constexpr QEvent::Type WM_READERROR = QEvent::Type(0x8003);

// Qt's event queue orders what the reader wrote before posting ahead of what the relay reads, but Qt
// is not built with ThreadSanitizer, which would take the hand-over for a data race. These tell it.
inline void HandOverTo(const QObject* receiver)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<QObject*>(receiver));
#else
    Q_UNUSED(receiver);
#endif
}

inline void TakeOverIn(const QObject* receiver)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<QObject*>(receiver));
#else
    Q_UNUSED(receiver);
#endif
}

class ClockFrameEvent : public QEvent
{
public:
    ClockFrameEvent(const ReadFrame& read, int run, int line, std::shared_ptr<FrameBacklog> backlog)
        : QEvent(WM_CLOCKFRAME)
        , Read(read)
        , Run(run)
        , Line(line)
        , Backlog(std::move(backlog))
    { }
    const ReadFrame Read;
    const int Run; // the run it belongs to, so nothing of an earlier run shows in a later one
    const int Line; // 0 the primary line, 1 the standby's
    // Shared with the reader of that run, so that a frame of an earlier run never counts in a later one.
    const std::shared_ptr<FrameBacklog> Backlog;
};

class ReadErrorEvent : public QEvent
{
public:
    ReadErrorEvent(int error, int run, int line)
        : QEvent(WM_READERROR)
        , Error(error)
        , Run(run)
        , Line(line)
    { }
    const int Error;
    const int Run;
    const int Line;
};
