#pragma once

#include "support/RelayFixture.h"
#include "ui/CRelayDlg.h"

#include <QComboBox>
#include <QPushButton>
#include <memory>

// The window started on settings a test chooses, for what only the window does: its serial line a pseudo-terminal
// mapped to a COM name, its port a free one, so that tests never touch real hardware or a relay running on this
// machine. With run 1 it starts as a relay left running does at launch; a device given stands in for the line's own.
struct WindowUnderTest
{
    WindowUnderTest(int mode, int com, quint16 port, int run = 0, const QString& device = QString())
        : Port(port)
    {
        WriteTestSettings(Line, mode, com, port, run, device);
        Window = std::make_unique<CRelayDlg>();
        Window->SetPrompter(Boxes.Prompter());
        Window->Create();
    }

    const RelayControls& Ui() const { return Window->Controls(); }
    void Start() const { Ui().Start->click(); }

    PtyPair Line;
    quint16 Port;
    BoxRecorder Boxes;
    std::unique_ptr<CRelayDlg> Window;
};
