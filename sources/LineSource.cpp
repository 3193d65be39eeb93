#include "sources/LineSource.h"

#include "serial/Boxes.h"
#include "sources/LineReading.h"

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
