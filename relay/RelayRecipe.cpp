#include "relay/RelayRecipe.h"

#include "config/SettingKeys.h"

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
    return recipe;
}
