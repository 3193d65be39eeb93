#pragma once

#include "serial/Boxes.h"

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

// The view of a relay that runs with nobody there: each box, already in the log, is answered with its
// default button, and the mode is the one the relay was configured with.
class UnattendedView final : public RelayView
{
public:
    explicit UnattendedView(int mode)
        : Mode(mode)
    { }

    int MessageBox(const QString&, const QString&, unsigned type) override { return DefaultAnswer(type); }
    int ExchangeMode() override { return Mode; }
    // The settings, read again, chose the other mode.
    void SetMode(int mode) { Mode = mode; }

private:
    int Mode;
};
