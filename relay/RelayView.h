#pragma once

#include <QString>

// What the relay asks of whoever shows it: the window, or the log when nobody is there.
class RelayView
{
public:
    // One box; the answer. The window shows it modally; unattended it is logged and answered with its
    // default button.
    virtual int MessageBox(const QString& text, const QString& title, unsigned type) = 0;
    // The mode as the operator's controls hold it now, which decides at a stop which sequence stops.
    virtual int ExchangeMode() = 0;

protected:
    ~RelayView() = default;
};
