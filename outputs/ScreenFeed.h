#pragma once

#include "outputs/ClockOutput.h"

#include <QByteArray>
#include <QString>
#include <QTimer>
#include <functional>

// Where the screens' messages go: the web port, which keeps their sockets.
class ScreenSink
{
public:
    virtual void SendToScreens(const QByteArray& message) = 0;
    // Whether any screen follows the clock: none, and no message is made.
    virtual bool AnyScreen() const = 0;

protected:
    ~ScreenSink() = default;
};

// The studio clocks on screens: each value the relay relays, as it relays it, as one JSON text
// {"time":"HH:MM:SS","source":"primary","health":"relaying"}; once no value has come for SilenceMs, or
// the relay stopped, one {"time":null,...} with the health as it then stands.
class ScreenFeed final : public ClockOutput
{
public:
    // `health` gives the relay's health word as the status query says it.
    ScreenFeed(ScreenSink& sink, std::function<QString()> health);

    void Put(const OutputValue& value) override;
    // What a screen gets as it connects: the value of now while one is live, else the silence.
    QByteArray Current() const;

    static constexpr int SilenceMs = 2000;

private:
    QByteArray Message(const QString& time, const QString& source) const;
    void Silent();

    ScreenSink& Sink;
    std::function<QString()> Health;
    QTimer Silence;
    // The value of now, while one is live, with its source; the last value's text and the moment it was
    // read, so that a value handed again (to a client just admitted) goes to no screen twice.
    QString Time;
    QString Source;
    QByteArray LastText;
    std::chrono::system_clock::time_point LastAt;
};
