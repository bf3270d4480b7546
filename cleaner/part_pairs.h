#pragma once
// Which parts of a polygon can meet at all: pairs whose bounding boxes come
// within a margin of each other. The part-level passes compare parts pair by
// pair; asked for every pair that is quadratic in the parts of a polygon,
// though for most pairs the boxes alone settle that nothing meets. The
// sweep here sorts the boxes by their left edge and looks only at boxes
// whose x ranges come within the largest margin, then applies the exact
// pair test, so it lists exactly the pairs the plain loop over all pairs
// lists, in the same order. The plain loop is kept as the reference the
// tests compare with.

#include "pipeline/gis/geometry.h"

#include <cstddef>
#include <functional>
#include <vector>

namespace plyvet::cleaner_search {

// Axis-aligned bounds of a ring; not usable when a coordinate is not finite
// or the ring is empty.
struct Bounds {
    double minX = 0.0;
    double minY = 0.0;
    double maxX = 0.0;
    double maxY = 0.0;
    bool usable = false;

    // The largest absolute coordinate.
    double magnitude() const;
};

Bounds boundsOf(const gis::Ring& ring);

// True only when no point of one lies within `margin` of the other. Bounds
// that are not usable are never apart.
bool apart(const Bounds& a, const Bounds& b, double margin);

// The margin of the pair (i, j); never above `maxMargin` below.
using PairMargin = std::function<double(std::size_t i, std::size_t j)>;

// For each i, the j != i (ascending) whose bounds are not apart by
// margin(i, j); `maxMargin` bounds every margin(i, j) from above.
std::vector<std::vector<std::size_t>> meetingPairs(const std::vector<Bounds>& bounds, const PairMargin& margin,
                                                   double maxMargin);
std::vector<std::vector<std::size_t>> meetingPairsPlain(const std::vector<Bounds>& bounds, const PairMargin& margin);

}  // namespace plyvet::cleaner_search
