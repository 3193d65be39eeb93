#pragma once

#include "config/RelayConfig.h"
#include "outputs/ChronyFeed.h"
#include "sources/LineSource.h"
#include "sources/Sample.h"
#include "sources/TimeSource.h"

#include <QString>
#include <array>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

class LinkOwner;

// One source of a run: its kind, and the line's name and speed or the server's name and port.
struct SourcePlan
{
    SourceKind Kind = SourceKind::Clock;
    QString Name;
    QString Speed;
    int Port = 0;
};

// A run as its mode makes it, read once from the configuration at the start and at each reload: its
// sources and its outputs, and the form its values take. The sources, the choice between them and the
// outputs are built from it and never ask the mode.
struct RelayRecipe
{
    SourcePlan Primary;
    std::optional<SourcePlan> Standby;
    // This computer's clock as the last resort.
    bool OwnClock = false;
    // What that clock sends: time codes as a line's ("hhmmss"), or a server's text ("hh:mm:ss"); the
    // largest maximum error at which it is still synchronised.
    QString ClockFormat;
    double ClockMaxErrorS = 0;
    // Where each COM name leads.
    ComDeviceMap Ports;
    // Values are time codes, sent as HH:MM:SS to the clients of the clock port (and fed to chrony where
    // it is asked); otherwise received texts, written to the display line.
    bool ToClients = false;
    // chrony's feed, where [NTP] asks for one and values are time codes.
    std::optional<FeedPlan> Feed;
    // How long after the start the primary's silence counts: a server's first value comes a while after.
    qint64 GraceMs = 0;
};

RelayRecipe RecipeOf(const RelayConfig& config);

// The sources of a run by their part (the primary, the standby, this computer's clock), each made from
// its plan, and the reading of the input lines among them.
class RunSources
{
public:
    RunSources(SourceListener& listener, LinkOwner& router)
        : Listener(listener)
        , Router(router)
    { }

    // None where the run has none at that part.
    TimeSource* At(Source part) const { return Sources[size_t(part)].get(); }
    // Made from its plan, in place of what was there: the one line of each source kind.
    TimeSource& Make(Source part, const SourcePlan& plan, const RelayRecipe& recipe);
    Source PartOf(const TimeSource& source) const;
    // The one whose socket this is; none when it is no source's.
    LinkOwner* LinkOf(const CLinkSocket* socket) const;
    // This computer's clock as the source that sends it says it stands; none where no source sends it.
    std::optional<ClockReport> ClockSync() const;
    // The standby and this computer's clock stopped and gone; the primary runs on.
    void DropSpares();
    // All stopped and gone; the reader first, so that no reader ever touches a later run's line.
    void Stop();

    LineReading Reading;

private:
    SourceListener& Listener;
    LinkOwner& Router;
    std::array<std::unique_ptr<TimeSource>, 3> Sources;
};

// Where a run's values go: the outputs its start built (the clients or the display line, and chrony's
// feed where it is asked for), and those a part outside the relay attached (the screens), which stay
// from run to run.
class RunOutputs
{
public:
    void Build(std::initializer_list<ClockOutput*> outputs) { Built.assign(outputs); }
    void Add(ClockOutput* output) { Built.push_back(output); }
    void Remove(const ClockOutput* output);
    // Attached until the handle goes, which must go before the output does.
    class Attachment
    {
    public:
        Attachment(RunOutputs& outputs, ClockOutput& output);
        ~Attachment();
        Attachment(const Attachment&) = delete;
        Attachment& operator=(const Attachment&) = delete;

    private:
        RunOutputs& Outputs;
        ClockOutput& Output;
    };
    [[nodiscard]] Attachment Attach(ClockOutput& output) { return {*this, output}; }
    void Put(const OutputValue& value) const;

private:
    std::vector<ClockOutput*> Built;
    std::vector<ClockOutput*> Attached;
};
