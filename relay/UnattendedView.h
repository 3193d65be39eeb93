#pragma once

#include "relay/Boxes.h"
#include "relay/RelayView.h"

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
