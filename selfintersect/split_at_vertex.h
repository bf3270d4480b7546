#pragma once
// Cutting a ring at a vertex it passes more than once.
//
// The ring is walked from its first visit of the split vertex V (rings that
// start elsewhere are rotated, so no stretch before the first visit is cut
// off from its loop). Each return to V closes the loop walked since the last
// visit: a loop that encloses area becomes a sub-area of its own, a loop of
// zero area (a spike out and back) is dropped. The walk goes on in the oldest
// sub-area that is still open, or, when every one is closed, in a new one
// that starts at V. So a ring V A B V C D V E F gives V C D, V A B, V E F.
//
// Result: the sub-areas by index, each a ring starting at V (a visit of V is
// never repeated inside one sub-area); sub-areas may be empty (a dropped
// loop) or hold V alone (a ring whose last vertex repeats V). A ring that
// never comes within the threshold of V comes back whole as sub-area 0.

#include "pipeline/gis/geometry.h"
#include "selfintersect/cleaning_context.h"

#include <span>
#include <vector>

namespace plyvet::selfintersect {

std::vector<gis::Ring> cutAtRepeatedVertex(std::span<const gis::Point> ring, gis::Point splitVertex,
                                           const Measure& measure);

}  // namespace plyvet::selfintersect
