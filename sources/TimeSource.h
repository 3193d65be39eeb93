#pragma once

#include "sources/Sample.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <optional>

// Where a source or a line is: a line's device and speed, a server's port and address, its state and
// what is wrong with it.
struct PlaceReport
{
    SourceKind Kind = SourceKind::Clock;
    QString Name;
    QString Device;
    QString Speed;
    int Port = 0;
    QString Address;
    QString State;
    QString Fault;

    static PlaceReport OfLine(const QString& name, const QString& device, const QString& speed)
    {
        PlaceReport place;
        place.Kind = SourceKind::Line;
        place.Name = name;
        place.Device = device;
        place.Speed = speed;
        return place;
    }
    static PlaceReport OfServer(const QString& name, int port)
    {
        PlaceReport place;
        place.Kind = SourceKind::Server;
        place.Name = name;
        place.Port = port;
        return place;
    }
    static PlaceReport OfClock(const QString& name)
    {
        PlaceReport place;
        place.Name = name;
        return place;
    }
};

// This computer's clock where a source sends it: whether the kernel counts it as synchronised, and
// its maximum error.
struct ClockReport
{
    bool Synchronised = false;
    double MaxErrorS = 0;
};

class CLinkSocket;
class LinkOwner;
class SerialLine;
class TimeSource;

// Why a source is away, as the status line and the log say it: the text, the system's errno where there
// is one, the server's last word where it said one, and for a box at START its title and icon.
struct SourceFault
{
    explicit SourceFault(QString text_, int error_ = 0, QByteArray word_ = QByteArray())
        : text(std::move(text_))
        , error(error_)
        , word(std::move(word_))
    { }

    QString text;
    int error = 0;
    QByteArray word;
    // Comes back by itself (a line unplugged, a server away): waited for rather than given up on.
    bool heals = true;
    // The server turned this relay away with "Rejected": it is asked again less often.
    bool rejected = false;
    QString title;
    unsigned icon = 0;
};

// Who a source tells: each value with the moments it came, its loss, a new reason it cannot be reached
// while it is sought again, each attempt to reach it, and its return.
class SourceListener
{
public:
    virtual void OnSourceValue(TimeSource& source, const Sample& value) = 0;
    virtual void OnSourceLost(TimeSource& source, const SourceFault& fault) = 0;
    virtual void OnSourceAway(TimeSource& source, const SourceFault& fault) = 0;
    virtual void OnSourceSought(TimeSource& source) = 0;
    virtual void OnSourceBack(TimeSource& source) = 0;
    // The clock behind the source turned synchronised, or ceased to be.
    virtual void OnSourceSync(TimeSource& source, const ClockReport& sync) = 0;
    // The clock behind it went back further than is ever waited for: its time goes out from here on.
    virtual void OnSourceSteppedBack(TimeSource& source, std::chrono::seconds back) = 0;

protected:
    ~SourceListener() = default;
};

// Where clock values come from: an input line, a server, this computer's clock. Opened, it delivers
// values until stopped; lost, it seeks itself again and says so.
class TimeSource
{
public:
    virtual ~TimeSource() = default;

    // One attempt without a word; what failed, for the caller to say.
    virtual std::optional<SourceFault> Open() = 0;
    // Tried again by itself from now on, until it is back or stopped.
    virtual void Seek() = 0;
    virtual void Stop() = 0;
    // Open and able to deliver: a line open, a server connected.
    virtual bool IsOpen() const = 0;
    virtual SourceKind Kind() const = 0;
    // The input line it reads, for a source that is one; none otherwise.
    virtual const SerialLine* InputLine() const { return nullptr; }
    // "COM3", "clock2", "this computer's clock".
    virtual QString Name() const = 0;
    // Where it was reached: the device a line opened, the server's address; empty for none.
    virtual QString Where() const { return QString(); }
    // The id of the timer that seeks a server again while it runs; 0 otherwise.
    virtual int RetryTimerId() const { return 0; }
    // Where it is now, for the status query: the device or the port, its state and what is wrong.
    virtual PlaceReport Report() const = 0;
    // Whether this computer's clock behind it is synchronised, for the one source that is that clock.
    virtual std::optional<ClockReport> Sync() const { return std::nullopt; }
    // The source that this socket belongs to handles what it reports; none by default.
    virtual LinkOwner* LinkOf(const CLinkSocket*) { return nullptr; }

    // Opened, or sought when it cannot be.
    void Start()
    {
        if (Open())
            Seek();
    }
};
