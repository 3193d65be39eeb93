#pragma once

#include "app/CommandLine.h"

#include <functional>

// What both programs do before anything runs: the standard descriptors made safe, the command line read,
// the settings named, and `--status` or `--check` answered on the standard output (nothing runs and
// nothing is written then). The request, with its exitCode set where the program is to end with it.
LaunchRequest StartUp(int argc, char* argv[], Program program);

// Runs the program with the log installed, and gives the log a moment to write what it holds at the end.
int RunLogged(const std::function<int()>& run);
