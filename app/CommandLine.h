#pragma once

#include <QString>
#include <optional>

// What the command line asks for: the relay, with or without a window, or an answer and an exit.
struct LaunchRequest
{
    bool headless = false;
    // Only to ask the running Horaline of these settings how it stands, and print it.
    bool status = false;
    bool json = false;
    // Only to check the settings, print what is wrong with them, and end.
    bool check = false;
    // The settings file named with --settings, which is read and never written; empty for the per-user one.
    QString settings;
    // Qt's own -qwindowgeometry and -qwindowtitle, which its dialogs do not take by themselves.
    QString windowGeometry;
    QString windowTitle;
    // Set when the program has answered (help, version, a wrong option) and is to end with this code.
    std::optional<int> exitCode;
};

// The program with its window, or the relay alone, which never has one and takes --headless only so that
// the window's program can hand it its own command line.
enum class Program
{
    Window,
    Relay,
};

LaunchRequest ReadCommandLine(int argc, char* argv[], Program program);

// No display to show a window on: no X, no Wayland, and no platform asked for.
bool NoDisplay();

// The settings follow the program file's name ("Horaline"); the relay alone runs for the name it is
// told in this variable, or for Horaline's.
constexpr const char* ApplicationNameVariable = "HORALINE_APPLICATION_NAME";
void NameApplication(Program program);
