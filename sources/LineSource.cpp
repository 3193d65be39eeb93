#include "sources/LineSource.h"

#include "serial/Boxes.h"
#include "serial/ReaderEvents.h"

LineSource::LineSource(SourceListener& listener, LineReading& reading, int place)
    : Listener(listener)
    , Reading(reading)
    , Place(place)
{
    Reading.Attach(Place, this);
}

LineSource::~LineSource()
{
    Stop();
    Reading.Attach(Place, nullptr);
}

SourceFault LineSource::FaultOf(const PortFault& fault) const
{
    const PortMessage message = PortFailureMessage(PortSide::Input, fault, Line.Name);
    SourceFault said(message.text, fault.error);
    said.heals = HealsByItself(fault.failure);
    said.title = message.title;
    said.icon = IconOf(message.severity);
    return said;
}

std::optional<SourceFault> LineSource::Open()
{
    std::optional<PortFault> fault;
    Reading.Around([this, &fault] { fault = Line.Open(); });
    if (!fault) {
        Fault.clear();
        return std::nullopt;
    }
    const SourceFault failed = FaultOf(*fault);
    Fault = failed.text;
    return failed;
}

void LineSource::Seek()
{
    Line.Reopen(
        [this](const PortFault& fault) {
            const SourceFault away = FaultOf(fault);
            if (away.text == Fault)
                return;
            Fault = away.text;
            Listener.OnSourceAway(*this, away);
        },
        [this] {
            Fault.clear();
            Reading.Around([] {});
            Listener.OnSourceBack(*this);
        });
}

void LineSource::Close()
{
    Reading.Around([this] { Line.Close(); });
}

void LineSource::Stop()
{
    Line.StopReopening();
    Close();
    Fault.clear();
}

void LineSource::TakeFrame(const ReadFrame& read)
{
    const QByteArray text(read.Code.data(), int(read.Code.size()));
    Listener.OnSourceValue(
        *this, SampleOf(text, SourceKind::Line, MonotonicMs(read.At), read.WallAt, read.Last, read.Trailing));
}

void LineSource::ReadFailed(int error)
{
    // The reader lets go of it before it closes, so no reader ever touches the port opened next.
    Close();
    Fault = QStringLiteral("Error %1 reading %2 !").arg(error).arg(Line.Name);
    Listener.OnSourceLost(*this, SourceFault(Fault, error));
    Seek();
}

PlaceReport LineSource::Report() const
{
    PlaceReport report = PlaceReport::OfLine(Line.Name, Line.IsOpen() ? Line.Device : Line.DeviceNow(), Line.Speed);
    report.State = Line.IsOpen() ? QStringLiteral("open") : QStringLiteral("lost");
    if (!Line.IsOpen())
        report.Fault = Fault.trimmed();
    return report;
}

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
