#include "relay/RelayRecipe.h"

#include "config/SettingKeys.h"
#include "relay/SourceSwitch.h"
#include "sources/LineSource.h"
#include "sources/OwnClockSource.h"
#include "sources/ServerSource.h"

#include <algorithm>

namespace {

// A client's first attempt comes two seconds after the start, and a server's first value up to a
// second after it answers: its silence counts from then.
constexpr qint64 ClientGraceMs = 3000;

} // namespace

RelayRecipe RecipeOf(const RelayConfig& config)
{
    RelayRecipe recipe;
    const StandbyConfig& spare = config.Standby;
    if (config.RelayMode == 1) {
        recipe.Primary = {SourceKind::Line, config.InComName, config.InComSpeed, 0};
        if (spare.Present && !spare.InComName.isEmpty())
            recipe.Standby = SourcePlan {SourceKind::Line, spare.InComName, spare.InComSpeed, 0};
        recipe.ClockFormat = QStringLiteral("hhmmss");
        recipe.ToClients = true;
        if (config.Ntp.Present)
            recipe.Feed = FeedPlan {config.Ntp.Socket,
                                    config.Ntp.TimeZone,
                                    config.Ntp.Authoritative,
                                    Key::Authoritative.Title(),
                                    {config.InComSpeed.toInt(), config.Standby.InComSpeed.toInt()}};
    } else {
        recipe.Primary = {SourceKind::Server, config.ServerName, QString(), config.ClientPort};
        if (spare.Present && !spare.ServerName.isEmpty())
            recipe.Standby = SourcePlan {SourceKind::Server, spare.ServerName, QString(), spare.ServerPort};
        recipe.ClockFormat = QStringLiteral("hh:mm:ss");
        recipe.GraceMs = ClientGraceMs;
    }
    if (config.Source.PrimaryClock)
        recipe.Primary = {SourceKind::Clock, QString(), QString(), 0};
    recipe.OwnClock = spare.Present && spare.OwnClock;
    recipe.ClockMaxErrorS = config.Source.MaxErrorS;
    recipe.Ports = config.Ports;
    return recipe;
}

TimeSource& RunSources::Make(Source part, const SourcePlan& plan, const RelayRecipe& recipe)
{
    std::unique_ptr<TimeSource>& made = Sources[size_t(part)];
    switch (plan.Kind) {
    case SourceKind::Line: {
        auto line = std::make_unique<LineSource>(Listener, Reading, int(part));
        line->Configure(plan.Name, plan.Speed, recipe.Ports);
        made = std::move(line);
        break;
    }
    case SourceKind::Server: {
        auto link = std::make_unique<ServerSource>(Listener, Router);
        link->Configure(plan.Name, plan.Port);
        made = std::move(link);
        break;
    }
    case SourceKind::Clock:
        made = std::make_unique<OwnClockSource>(Listener, recipe.ClockFormat, recipe.ClockMaxErrorS,
                                                std::chrono::seconds(SwitchTimings().StepBackMs / 1000));
        break;
    }
    return *made;
}

Source RunSources::PartOf(const TimeSource& source) const
{
    return Source(
        std::find_if(Sources.begin(), Sources.end(), [&source](const auto& each) { return each.get() == &source; })
        - Sources.begin());
}

LinkOwner* RunSources::LinkOf(const CLinkSocket* socket) const
{
    for (const std::unique_ptr<TimeSource>& source : Sources) {
        if (LinkOwner* owner = source ? source->LinkOf(socket) : nullptr)
            return owner;
    }
    return nullptr;
}

std::optional<ClockReport> RunSources::ClockSync() const
{
    std::optional<ClockReport> clock;
    for (const std::unique_ptr<TimeSource>& source : Sources) {
        if (source && source->Sync())
            clock = source->Sync();
    }
    return clock;
}

void RunSources::DropSpares()
{
    for (const Source spare : {Source::Standby, Source::OwnClock}) {
        if (Sources[size_t(spare)])
            Sources[size_t(spare)]->Stop();
        Sources[size_t(spare)].reset();
    }
}

void RunSources::Stop()
{
    Reading.StopReader();
    for (std::unique_ptr<TimeSource>& source : Sources) {
        if (source)
            source->Stop();
        source.reset();
    }
}

void RunOutputs::Remove(const ClockOutput* output)
{
    Built.erase(std::remove(Built.begin(), Built.end(), output), Built.end());
}

RunOutputs::Attachment::Attachment(RunOutputs& outputs, ClockOutput& output)
    : Outputs(outputs)
    , Output(output)
{
    Outputs.Attached.push_back(&Output);
}

RunOutputs::Attachment::~Attachment()
{
    std::vector<ClockOutput*>& attached = Outputs.Attached;
    attached.erase(std::remove(attached.begin(), attached.end(), &Output), attached.end());
}

void RunOutputs::Put(const OutputValue& value) const
{
    for (ClockOutput* output : Built)
        output->Put(value);
    for (ClockOutput* output : Attached)
        output->Put(value);
}
