#pragma once
// The overlap check: a check log "<name>_ü.log" that reports every pair of
// polygons of one shapefile whose common area, rounded to the granularity,
// exceeds the tolerance, with the area, its share of the earlier polygon and
// the centre of the common area. It writes no shapefile.
//
// Each unordered pair is examined once, when its earlier record is the one
// searched for; the line names the later record first. Polygons that only
// touch (a common edge or corner) share no area and are not reported.
// Candidates come from a spatial index: O(n log n) plus one intersection
// per pair whose shapes meet.

#include "layerops/layer_walk.h"
#include "pipeline/gis/shapefile.h"
#include "pipeline/log_file.h"
#include "pipeline/run_options.h"
#include "pipeline/ui.h"

#include <optional>
#include <string>
#include <vector>

namespace plyvet::layerops {

class OverlapCheck {
public:
    // `tolerance` is the text of the overlap tolerance field (empty: 0.1),
    // read with `options.decimalSeparator`; `options.granularity` gives the
    // decimals the areas are rounded to before the comparison.
    OverlapCheck(Ui& ui, RunSettings& settings, RunOptions& options, LogFile programLog, std::string tolerance);

    // The command over the file list, from the last entry to the first; no
    // entry is removed. False when the user declined a file that does not
    // look corrected (the walk ends there).
    bool run(const std::vector<std::string>& list);

    // One shapefile; true when it was checked completely. Never throws.
    bool ChkOverlappingPols(std::string path);

    const std::vector<LayerFileResult>& results() const { return results_; }

private:
    bool check(std::string& path, LayerFileResult& result);
    // The reading side of the correction run's preparation; the reader on success.
    std::optional<gis::ShapefileReader> open(std::string& path, std::string& sourceShp, std::string& baseName);
    void showAndLog(const std::string& text);

    Ui& ui_;
    RunSettings& settings_;
    RunOptions& options_;
    LogFile programLog_;
    std::string toleranceText_;
    LogFile checkLog_;
    int recordCount_ = 0;  // records to walk, after the record-count check
    std::vector<LayerFileResult> results_;
};

}  // namespace plyvet::layerops
