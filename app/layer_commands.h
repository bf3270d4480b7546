#pragma once
// The headless layer commands: `plyvet identical`, `plyvet overlaps` and
// `plyvet merge`, on the same code as the main window's commands. Each
// prints one line per file on stdout and returns the exit code (0 every file
// done, 1 a file failed or the command was stopped).

#include "app/cli_options.h"

namespace plyvet::app {

int runIdentical(CommandLine& cl);
int runOverlaps(CommandLine& cl);
int runMerge(CommandLine& cl);

}  // namespace plyvet::app
