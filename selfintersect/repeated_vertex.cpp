#include "selfintersect/repeated_vertex.h"

#include "cleaner/vertex_search.h"

namespace plyvet::selfintersect {

std::optional<std::size_t> firstComingBack(const gis::Ring& ring, const Measure& measure) {
    const cleaner_search::PairTest later = [&](std::size_t a, std::size_t b) {
        return b > a + 1 && measure.identical(ring[a], ring[b]);
    };
    // The first pair in (a, then b) order whose b lies beyond a's successor:
    // its a is the smallest a with any such b.
    if (const auto pair = cleaner_search::firstPair(ring, measure.identicalReach(), later)) return pair->first;
    return std::nullopt;
}

std::optional<std::size_t> firstComingBackPlain(const gis::Ring& ring, const Measure& measure) {
    for (std::size_t a = 0; a < ring.size(); ++a) {
        for (std::size_t b = a + 2; b < ring.size(); ++b) {
            if (measure.identical(ring[a], ring[b])) return a;
        }
    }
    return std::nullopt;
}

}  // namespace plyvet::selfintersect
