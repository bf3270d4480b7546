#pragma once
// Parsing of the command line: `plyvet correct [options] FILE.shp...` and
// the layer commands `identical`, `overlaps` and `merge`.
// Pure and Qt-free so it can be tested on its own.

#include "pipeline/run_options.h"

#include <string>
#include <utility>
#include <vector>

namespace plyvet::app {

enum class Command { None, Help, Version, Correct, Identical, Overlaps, Merge };

struct CommandLine {
    Command command = Command::None;
    RunOptions options;
    RunSettings settings;
    std::vector<std::string> files;
    std::vector<std::pair<std::string, std::string>> renames;  // --rename OLD=NEW
    std::string reportFile;  // --report FILE.html, absolute; empty for no report
    int reportLimit = -1;    // --report-limit N; -1 when not given (the report's default)
    std::string tolerance = "0.1";  // --tolerance X: identical and overlap checks
    std::string mergeOutput;        // merge's --output FILE.shp, absolute
    std::string error;  // a usage error; empty when the line is fine
};

CommandLine parseCommandLine(const std::vector<std::string>& args);

// The help text of the command line (German, like the program).
std::string usageText();

}  // namespace plyvet::app
