#pragma once
// Deletion of identical polygons: a copy "<name>i" of a corrected shapefile
// without the polygons that a later polygon of the same file duplicates,
// and a check log "<name>_i.log" that names every pair.
//
// Identical means: the later polygon covers exactly the same area
// (topological equality, so another start vertex, the other ring direction
// or an extra vertex on a straight edge still count) and the two share a
// non-empty area. Of a pair the earlier record is dropped and the later one
// kept; of three or more identical polygons only the last survives.
// Candidates come from a spatial index, so a file of n polygons costs
// O(n log n) plus one intersection per real candidate pair.
//
// A pair whose common area exceeds the tolerance is counted and logged with
// area and centre. A pair whose common area does not exceed it is dropped
// too, and gets a line of its own ("wurde nicht exportiert, da identisch
// mit"), so no polygon leaves the output unseen. When nothing was counted
// the output is deleted again.

#include "layerops/layer_walk.h"
#include "pipeline/export_preparation.h"
#include "pipeline/log_file.h"
#include "pipeline/run_options.h"
#include "pipeline/ui.h"

#include <string>
#include <vector>

namespace plyvet::layerops {

class IdenticalPolygons {
public:
    // `tolerance` is the text of the overlap tolerance field (empty: 0.1),
    // read with `options.decimalSeparator`.
    IdenticalPolygons(Ui& ui, RunSettings& settings, RunOptions& options, LogFile programLog, std::string tolerance);

    // The command over the file list (walked from the last entry to the
    // first): finished entries leave the list; a failed one too unless
    // `settings.continueRun` is false, which stops the walk at it. False
    // when the user declined a file that does not look corrected.
    bool run(std::vector<std::string>& list);

    // One shapefile; true when it was checked completely. Never throws.
    bool DeleteIdenticalPols(std::string path);

    const std::vector<LayerFileResult>& results() const { return results_; }

private:
    bool deleteIdentical(std::string& path, PreparedExport& job, LayerFileResult& result);
    // Writes record `record` with `polygon`; false when the output cannot take it.
    bool writeRecord(PreparedExport& job, int record, const gis::Polygon& polygon, LayerFileResult& result);
    // Moves a stopped file's partial output into place and says so.
    void keepPartial(PreparedExport& job);
    bool discardOutput(PreparedExport& job);
    void objectLine(std::string_view id, std::string_view suffix) const;

    Ui& ui_;
    RunSettings& settings_;
    RunOptions& options_;
    LogFile programLog_;
    std::string toleranceText_;
    LogFile checkLog_;
    ObjectLabel label_;
    std::vector<LayerFileResult> results_;
};

}  // namespace plyvet::layerops
