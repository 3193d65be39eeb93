#pragma once

#include "config/RelayConfig.h"
#include "outputs/ChronyFeed.h"
#include "sources/Sample.h"

#include <QString>
#include <optional>

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
    // What that clock sends: time codes as a line's ("hhmmss"), or a server's text ("hh:mm:ss").
    QString ClockFormat;
    // Values are time codes, sent as HH:MM:SS to the clients of the clock port (and fed to chrony where
    // it is asked); otherwise received texts, written to the display line.
    bool ToClients = false;
    // chrony's feed, where [NTP] asks for one and values are time codes.
    std::optional<FeedPlan> Feed;
    // How long after the start the primary's silence counts: a server's first value comes a while after.
    qint64 GraceMs = 0;
};

RelayRecipe RecipeOf(const RelayConfig& config);
