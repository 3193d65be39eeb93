#pragma once

#include <optional>

// What the command line asks for: the relay, with or without a window, or an answer and an exit.
struct LaunchRequest
{
    bool headless = false;
    // Only to ask the running Horaline of these settings how it stands, and print it.
    bool status = false;
    bool json = false;
    // Set when the program has answered (help, version, a wrong option) and is to end with this code.
    std::optional<int> exitCode;
};

LaunchRequest ReadCommandLine(int argc, char* argv[]);

// No display to show a window on: no X, no Wayland, and no platform asked for.
bool NoDisplay();
