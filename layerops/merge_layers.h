#pragma once
// Merging layers: every record of every listed shapefile, in list order and
// file order, into one new shapefile chosen in a save dialog, with a merge
// log "<output without .shp>_m.log".
//
// The inputs must agree with the first one in shape type, field count,
// code page and, field by field in table order, in type, length, precision
// and scale; the output takes the first input's structure unchanged and its
// projection file. Every input needs a projection file (".prj"): without one
// the command stops before anything is written. Values are copied by field
// name. The sources are never changed, and an output that would replace
// one of them is refused.

#include "pipeline/log_file.h"
#include "pipeline/run_options.h"
#include "pipeline/ui.h"

#include <filesystem>
#include <string>
#include <vector>

namespace plyvet::layerops {

struct MergeResult {
    bool merged = false;              // the output was written completely
    std::filesystem::path output;     // the chosen output, empty when none was chosen
    std::filesystem::path mergeLog;   // empty when none was created
    int records = 0;                  // records copied
};

class MergeLayers {
public:
    // `options.outputFolder` is the save dialog's start folder; a failed
    // connection to the output folder clears it.
    MergeLayers(Ui& ui, RunOptions& options, LogFile programLog);

    // The command over the file list (cmdMergeLayers_Click): checks the
    // entries, asks for the output and merges. The list is not changed.
    void run(const std::vector<std::string>& list);

    // Merges `inputs` (full .shp paths, at least one) into `outputPath`.
    // True when the output was written completely. Never throws.
    bool merge(const std::vector<std::string>& inputs, const std::string& outputPath);

    const MergeResult& result() const { return result_; }

private:
    struct Input;
    bool mergeInputs(const std::vector<std::string>& inputs, const std::string& outputPath);
    void showAndLog(const std::string& text);

    Ui& ui_;
    RunOptions& options_;
    LogFile programLog_;
    LogFile mergeLog_;
    MergeResult result_;
};

}  // namespace plyvet::layerops
