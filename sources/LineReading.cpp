#include "sources/LineReading.h"

#include "serial/ReaderEvents.h"
#include "sources/LineSource.h"

void LineReading::StartReader()
{
    Reading = true;
    std::array<int, Places> fds {-1, -1};
    for (size_t place = 0; place < Lines.size(); ++place)
        fds[place] = Lines[place] != nullptr ? Lines[place]->Line.SerialHandle : -1;
    ReaderRunFlag = 1;
    Reader.Start(fds[0], &ReaderRunFlag, this, ++ReaderRun, fds[1]);
}

void LineReading::StopReader()
{
    Reading = false;
    ReaderRunFlag = 0;
    // Returns once the reader has ended: only then may one of its lines close.
    Reader.Stop();
}

bool LineReading::event(QEvent* event)
{
    TakeOverIn(this);
    if (event->type() == WM_CLOCKFRAME) {
        const auto* frame = static_cast<ClockFrameEvent*>(event);
        const std::optional<ReadFrame> newest = frame->Backlog->Release();
        LineSource* line = Lines.at(size_t(frame->Line));
        if (frame->Run != ReaderRun || !Reading || line == nullptr)
            return true;
        line->TakeFrame(frame->Read);
        if (newest)
            line->TakeFrame(*newest);
        return true;
    }
    if (event->type() == WM_READERROR) {
        const auto* failure = static_cast<ReadErrorEvent*>(event);
        if (failure->Run == ReaderRun && Reading && Lines.at(size_t(failure->Line)) != nullptr)
            Lines.at(size_t(failure->Line))->ReadFailed(failure->Error);
        return true;
    }
    return QObject::event(event);
}
