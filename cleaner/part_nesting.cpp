#include "cleaner/part_nesting.h"

#include "cleaner/vertex_search.h"
#include "geolib/edge_separation.h"

#include <algorithm>
#include <cmath>

namespace plyvet::cleaner_search {

std::optional<bool> insideRing(const gis::Ring& ring, gis::Point p) {
    bool inside = false;
    const std::size_t n = ring.size();
    for (std::size_t k = 0; k < n; ++k) {
        const gis::Point& a = ring[k];
        const gis::Point& b = ring[k + 1 == n ? 0 : k + 1];
        // Half-open in y, so a vertex on the horizontal counts once.
        if ((a.y > p.y) == (b.y > p.y)) {
            continue;
        }
        // The edge crosses the horizontal through p at x = p.x + cross / dy.
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double rx = p.x - a.x, ry = p.y - a.y;
        const double cross = dx * ry - dy * rx;
        const double error = 0x1p-48 * (std::fabs(dx * ry) + std::fabs(dy * rx)) + 0x1p-1000;
        if (!(std::fabs(cross) > error)) {
            return std::nullopt;  // on the edge, too close to tell, or not finite
        }
        if ((cross > 0) == (dy > 0)) {
            inside = !inside;  // the crossing lies to the right of p
        }
    }
    return inside;
}

std::optional<Nesting> nestingApart(const gis::Ring& first, const gis::Ring& second) {
    // With 4 vertices or more, two neighbouring edges that fold back onto
    // each other bring a vertex onto an edge it shares no vertex with, which
    // the separation sees; a triangle could fold unseen.
    if (first.size() < 4 || second.size() < 4) {
        return std::nullopt;
    }
    const double largest = std::max(magnitude(first), magnitude(second));
    if (!std::isfinite(largest)) {
        return std::nullopt;
    }
    // Well clear of the overlay's own rounding: a few thousand units in the
    // last place of the largest coordinate.
    if (!geolib::ringsApart<gis::Point>(first, second, 0x1p-40 * largest)) {
        return std::nullopt;
    }
    // The outlines do not meet, so all of a ring lies on the side of the
    // other that any one of its vertices lies on.
    const auto secondInside = insideRing(first, second.front());
    if (!secondInside) {
        return std::nullopt;
    }
    if (*secondInside) {
        return Nesting::SecondInFirst;
    }
    const auto firstInside = insideRing(second, first.front());
    if (!firstInside) {
        return std::nullopt;
    }
    return *firstInside ? Nesting::FirstInSecond : Nesting::Disjoint;
}

}  // namespace plyvet::cleaner_search
