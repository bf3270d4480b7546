// The plain quadratic crossing search, kept as the reference for any faster
// search: build one line record per edge (with a quadratic repeated-vertex
// check on the way), then test the pairs (a, b), a < b, in increasing order
// and stop at the first pair that meets. All tests are exact comparisons of
// doubles; the caller's rounding of the input is the tolerance.

#include "geolib/crossing.h"
#include "geolib/crossing_pair.h"

#include <vector>

namespace plyvet::geolib::core {

std::int32_t findFirstMeetingPlain(std::span<const PlyvetXY> ring, std::int32_t& a,
                                   std::int32_t& b, PlyvetXY& point) {
    const auto n = static_cast<std::int32_t>(ring.size());
    const std::int32_t startA = a;
    const std::int32_t startB = b;
    if (!validResume(startA, startB, n)) return kFailure;
    const bool resumed = startA != 0 || startB != 0;

    std::vector<LineRecord> lines;
    lines.reserve(ring.size());  // may throw: reported as -1 at the boundary

    for (std::int32_t k = 0; k < n; ++k) {
        for (std::int32_t m = 0; m < k; ++m) {
            if (ring[m].x == ring[k].x && ring[m].y == ring[k].y)
                return reportRepeatedVertex({m, k}, n, a, b, point, ring);
        }
        lines.push_back(makeLine(ring[k], ring[k + 1 < n ? k + 1 : 0]));
    }

    for (std::int32_t ia = startA; ia <= n - 2; ++ia) {
        const std::int32_t firstB = (resumed && ia == startA) ? startB : ia + 1;
        for (std::int32_t ib = firstB; ib <= n - 1; ++ib) {
            if (const auto found = testEdgePair(ring, ia, ib, lines[ia], lines[ib]))
                return reportPairFinding(PairFinding{ia, ib, *found}, a, b, point);
        }
    }
    return reportPairFinding(std::nullopt, a, b, point);
}

}  // namespace plyvet::geolib::core
