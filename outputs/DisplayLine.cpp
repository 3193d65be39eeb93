#include "outputs/DisplayLine.h"

#include "serial/SerialLine.h"

#include <cerrno>

namespace {

// About three frames' time at the slowest speed: longer, and a held-back port would hold the relay up.
constexpr int SerialWriteTimeoutMs = 1000;

} // namespace

void DisplayLine::Put(const OutputValue& value)
{
    Frame = FormatOutputFrame(value.Clock);
    Written.reset();
    if (value.Running && Line.IsOpen())
        Written = Write(Frame);
}

std::optional<QString> DisplayLine::StatusText(const QString& spare) const
{
    if (!Written)
        return Line.IsOpen() ? std::nullopt : std::optional<QString>(LineFault);
    if (*Written == 0)
        return spare.isEmpty() ? QStringLiteral("%1 is transmitting").arg(Line.Name) : spare;
    if (*Written == ETIMEDOUT)
        return QStringLiteral("Error %1 writing to %2 !").arg(*Written).arg(Line.Name);
    return std::nullopt;
}

std::optional<PortFault> DisplayLine::Open()
{
    Writer.Forget();
    return Line.Open();
}

void DisplayLine::Close()
{
    Line.StopReopening();
    Line.Close();
    Writer.Forget();
}

void DisplayLine::Await(const QString& why, int error)
{
    Line.Close();
    Writer.Forget();
    LineFault = why;
    Listener.OnOutputStatus(why);
    Listener.OnOutputFault(why);
    TellLineAway(Line, why, error, true);
    Line.Reopen(
        [this](const PortFault& fault) {
            // Said once, and again only when the reason changes: the retry meets it every two seconds.
            const QString now = PortFailureMessage(PortSide::Output, fault, Line.Name).text;
            if (now == LineFault)
                return;
            LineFault = now;
            Listener.OnOutputStatus(now);
            Listener.OnOutputFault(now);
            TellLineAway(Line, now, fault.error, false);
        },
        [this] {
            LineFault.clear();
            TellLineBack(Line);
            Back();
        });
}

void DisplayLine::Reopen()
{
    Close();
    if (const std::optional<PortFault> fault = Open())
        return Await(PortFailureMessage(PortSide::Output, *fault, Line.Name).text, fault->error);
    Back();
}

int DisplayLine::Write(const OutputBytes& frame)
{
    const int error = Writer.Write(Line.SerialHandle, frame.data(), frame.size(), SerialWriteTimeoutMs);
    // A line held back by flow control is still there; any other failure is a line gone.
    if (error != 0 && error != ETIMEDOUT) {
        Listener.OnOutputEvent(OutputEvent::LineLost);
        Await(QStringLiteral("Error %1 writing to %2 !").arg(error).arg(Line.Name), error);
    }
    return error;
}
