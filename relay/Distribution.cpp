#include "relay/RelayController.h"
#include "serial/PortMessages.h"
#include "serial/ReaderEvents.h"

#include <cerrno>

namespace {

// About three frames' time at the slowest speed: longer, and a held-back port would hold the relay up.
constexpr int SerialWriteTimeoutMs = 1000;

} // namespace

bool RelayController::event(QEvent* event)
{
    TakeOverIn(this);
    if (event->type() == WM_CLOCKFRAME) {
        const auto* frame = static_cast<ClockFrameEvent*>(event);
        const std::optional<TimeCode> newest = frame->Backlog->Release();
        if (frame->Run != ReaderRun || RunFlag == 0)
            return true;
        const Source source = frame->Line == 0 ? Source::Primary : Source::Standby;
        const auto take = [this, source](const TimeCode& code) {
            const QByteArray digits(code.data(), int(code.size()));
            if (Offered(source, digits))
                RelayValue(digits);
        };
        take(frame->Code);
        if (newest)
            take(*newest);
        return true;
    }
    if (event->type() == WM_READERROR) {
        const auto* failure = static_cast<ReadErrorEvent*>(event);
        if (failure->Run == ReaderRun && RunFlag != 0 && failure->Line == 1)
            OnStandbyLineLost(failure->Error);
        else if (failure->Run == ReaderRun && RunFlag != 0)
            OnLineLost(PortSide::Input, QStringLiteral("Error %1 reading %2 !").arg(failure->Error).arg(InComName),
                       failure->Error);
        return true;
    }
    return QObject::event(event);
}

void RelayController::OnClockFrame()
{
    ReplaceSpaces(ClockBuffer);
    // The clients before the views: a view can wait a moment, the clocks on the wall cannot.
    DistributeClock();
    const QByteArray text = FormatClockText(ClockBuffer);
    LastValueText = QString::fromLatin1(text);
    SetClock(ControlText(text.constData(), size_t(text.size())));
}

void RelayController::DistributeClock()
{
    RefreshRelayMode();
    if (RelayMode == 0) {
        OutputFrame = FormatOutputFrame(ClockBuffer);
        // While the line is away values are dropped, never queued: a display shows the time now, not then.
        if (RunFlag != 0 && SerialHandle < 0) {
            SetStatus(LineFault);
        } else if (RunFlag != 0) {
            const int error
                = DisplayWriter.Write(SerialHandle, OutputFrame.data(), OutputFrame.size(), SerialWriteTimeoutMs);
            const QString written = error == 0 ? QStringLiteral("%1 is transmitting").arg(OutComName)
                                               : QStringLiteral("Error %1 writing to %2 !").arg(error).arg(OutComName);
            // A line held back by flow control is still there; any other failure is a line gone.
            if (error != 0 && error != ETIMEDOUT)
                OnLineLost(PortSide::Output, written, error);
            else
                SetStatus(error == 0 && !SpareInUse().isEmpty() ? SpareInUse() : written);
        }
    }
    if (RelayMode == 1) {
        BroadcastClock(FormatNetMessage(ClockBuffer));
        // While a spare is in use the status line says so, whatever else it said in between.
        if (RunFlag != 0 && !SpareInUse().isEmpty())
            SetStatus(SpareInUse());
    }
}
