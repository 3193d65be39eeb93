#pragma once

#include "app/CommandLine.h"

// `--status` and `--check`: asked, answered on the standard output, and ended with the answer's exit
// status. Nothing runs and nothing is written.
int AnswerQuestion(const LaunchRequest& request, int argc, char* argv[], Program program);
