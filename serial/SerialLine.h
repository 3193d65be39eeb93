#pragma once

#include "serial/ComNames.h"
#include "serial/PortMessages.h"
#include "serial/RetryTimer.h"

#include <QString>
#include <functional>
#include <optional>
#include <termios.h>

// A serial line by its COM name, held exclusively at its speed. The name is looked up in the [Ports] map
// it was configured with at every open, and the path that gives is resolved afresh, so that an adapter
// plugged in again under a new node is found; while it is away it is tried again every 2 s, as often as
// a GPS daemon looks for its device.
class SerialLine
{
public:
    SerialLine() = default;
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;
    ~SerialLine() { Close(); }

    void Configure(const QString& name, const QString& speed, const ComDeviceMap& ports);
    // Opens and sets up the line; on failure nothing stays open.
    std::optional<PortFault> Open();
    void Close();
    bool IsOpen() const { return SerialHandle >= 0; }
    // The device the name stands for; empty for none.
    QString DeviceNow() const;
    // Tries to open it every 2 s until it opens or the tries stop: each failure is handed to `failed`,
    // the success to `back`.
    void Reopen(std::function<void(const PortFault&)> failed, std::function<void()> back);
    void StopReopening() { Retry.Stop(); }
    bool Reopening() const { return Retry.IsActive(); }

    static constexpr int ReopenMs = 2000;

    QString Name;
    QString Speed;
    int SerialHandle = -1;
    termios SerialDcb {};
    // The node that was opened, not a link to it: the lock file to remove is that node's.
    QString Device;
    // The path that led there, as [Ports] wrote it when the line opened.
    QString Written;

private:
    ComDeviceMap Ports;
    RetryTimer Retry;
};

// What the log says of a line the relay runs on (the primary input line, the display line): away, with
// the device and the system's words, the first time and again only for a new reason; back.
void TellLineAway(const SerialLine& line, const QString& why, int error, bool first);
void TellLineBack(const SerialLine& line);
