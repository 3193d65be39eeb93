#pragma once

#include "outputs/ClockOutput.h"
#include "serial/FrameWriter.h"
#include "serial/SerialLine.h"

#include <functional>

class OutputListener;

// The display line of a client relay: each frame written whole or not at all, and once the line is
// lost, reopened every 2 s by its COM name. While it is away frames are dropped, never queued: a
// display shows the time now, not then.
class DisplayLine final : public ClockOutput
{
public:
    // `back` runs each time the line is open again after it was away; each value is built into `frame`.
    DisplayLine(OutputListener& listener, std::function<void()> back, OutputBytes& frame)
        : Listener(listener)
        , Back(std::move(back))
        , Frame(frame)
    { }

    // The frame of the received text, written while the relay runs and the line is open.
    void Put(const OutputValue& value) override;
    // What the status line says after a value of a running relay: "COM2 is transmitting" (or, with a
    // spare in use, that spare), why the line is away, or that flow control held the frame back.
    std::optional<QString> StatusText(const QString& spare) const;

    // Opens it without a word; the fault for the caller to say.
    std::optional<PortFault> Open();
    // It is away: said, and reopened every 2 s.
    void Await(const QString& why, int error);
    // Closed and opened again, on a name or speed that changed: awaited if it does not open.
    void Reopen();
    void Close();
    // 0 when the frame went out, ETIMEDOUT when flow control held it back; any other errno and the
    // line is gone, and awaited again.
    int Write(const OutputBytes& frame);
    // Why it is away, as last said.
    const QString& Fault() const { return LineFault; }

    SerialLine Line;

private:
    OutputListener& Listener;
    std::function<void()> Back;
    OutputBytes& Frame;
    FrameWriter Writer;
    QString LineFault;
    // The last value's write: 0, an errno, or none written.
    std::optional<int> Written;
};
