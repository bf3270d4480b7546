#include "selfintersect/split_at_vertex.h"

#include <algorithm>
#include <cmath>

namespace plyvet::selfintersect {

namespace {

struct SubArea {
    gis::Ring points;
    bool closed = false;
};

}  // namespace

std::vector<gis::Ring> cutAtRepeatedVertex(std::span<const gis::Point> ring, gis::Point splitVertex,
                                           const Measure& measure) {
    const std::size_t n = ring.size();
    const auto first = std::find_if(ring.begin(), ring.end(), [&](gis::Point p) {
        return measure.identical(splitVertex, p);
    });
    if (first == ring.end()) return {gis::Ring(ring.begin(), ring.end())};
    const auto start = static_cast<std::size_t>(first - ring.begin());

    // Sub-area 0 keeps what follows the last loop; sub-area 1 takes the first loop.
    std::vector<SubArea> subAreas{{{*first}}, {{*first}}};
    std::size_t current = 1;

    for (std::size_t step = 1; step < n; ++step) {
        const gis::Point p = ring[(start + step) % n];
        SubArea& open = subAreas[current];
        if (!measure.identical(splitVertex, p)) {
            open.points.push_back(p);
            continue;
        }
        // Back at V. A sub-area holding nothing but V has no loop to close.
        const bool hasLoop = std::any_of(open.points.begin(), open.points.end(), [&](gis::Point q) {
            return measure.roundedDistance(q, p) != 0.0;
        });
        if (!hasLoop) continue;

        if (!(std::fabs(gis::ringArea(open.points)) > 0.0)) open.points.clear();
        open.closed = true;

        std::size_t lower = current;
        while (lower > 0 && subAreas[lower - 1].closed) --lower;
        if (lower > 0) {
            current = lower - 1;
        } else {
            subAreas.push_back({{p}});
            current = subAreas.size() - 1;
        }
    }

    std::vector<gis::Ring> result;
    result.reserve(subAreas.size());
    for (SubArea& s : subAreas) result.push_back(std::move(s.points));
    return result;
}

}  // namespace plyvet::selfintersect
