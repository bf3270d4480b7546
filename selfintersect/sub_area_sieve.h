#pragma once
// Keeping the sub-areas of a cut ring that are not slivers, with their log
// lines: " ( Polygon-Part <i>: Ausgangs-Teilfläche: <a> )" for each one
// looked at, then "Übernommene Teil-Fläche" or "Nicht übernommene
// Teil-Fläche". Areas are signed (positive clockwise) and logged unrounded;
// the sliver test uses the absolute area.

#include "pipeline/gis/geometry.h"
#include "selfintersect/cleaning_context.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace plyvet::selfintersect {

enum class CutKind {
    // Cut at a repeated vertex: sub-areas without points are passed over,
    // every other one is reported, even one of area 0.
    RepeatedVertex,
    // Cut at an edge crossing: sub-areas of area exactly 0 are passed over
    // without a line.
    Crossing,
};

// The kept rings in sub-area order. std::nullopt when the area of a sub-area
// is not a finite number: its failure line is written and the cut must be
// given up, so the rings kept before it are not returned either.
std::optional<std::vector<gis::Ring>> sieveSubAreas(std::vector<gis::Ring> subAreas,
                                                    std::size_t part, CutKind kind,
                                                    const Measure& measure, ObjectLog& log);

}  // namespace plyvet::selfintersect
