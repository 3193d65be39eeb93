#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <functional>

// Tells when values stop coming from a source that is still open, so that a stale time is never shown
// as if all were well.
class SilenceWatch
{
public:
    explicit SilenceWatch(std::function<void()> fallenSilent);
    SilenceWatch(const SilenceWatch&) = delete;
    SilenceWatch& operator=(const SilenceWatch&) = delete;

    // Values are expected from now on; a silence as long as the limit is told once. A source sends a
    // value a second: five missed are a silence.
    void Watch(int limitMs = 5000);
    // A value came: true when it ends a silence that was told.
    bool Fed();
    void Stop();
    int Limit() const { return LimitMs; }

    // What the status said when the silence was told, to say again when values come back.
    QString StatusBefore;

private:
    QTimer Check;
    QElapsedTimer SinceLast;
    int LimitMs = 0;
    bool Silent = false;
    // A value came since the last look.
    bool Fresh = false;
    std::function<void()> FallenSilent;
};
