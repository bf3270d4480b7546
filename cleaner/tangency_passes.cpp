// Self-tangency passes: a part whose outline passes twice through the same
// point without crossing is split there into two rings.
//
// Both passes split at most one touching per part and run; the repetition of
// the pass in Clean() finds the next one. Every piece keeps the vertex order
// of the old part and is strictly smaller than it, so repeated splitting ends.
// Parts of fewer than 5 vertices cannot touch themselves this way and are
// copied unchanged.

#include "cleaner/event_texts.h"
#include "cleaner/polygon_cleaner.h"
#include "cleaner/vertex_search.h"

#include <utility>

namespace plyvet {

namespace texts = cleaner_texts;

namespace {

constexpr std::size_t kMinimumTouchingVertices = 5;

// Vertices first..last (inclusive) of ring, appended to out.
void appendRange(gis::Ring& out, const gis::Ring& ring, std::size_t first, std::size_t last) {
    for (std::size_t k = first; k <= last && k < ring.size(); ++k) {
        out.push_back(ring[k]);
    }
}

void addIfRing(gis::Polygon& polygon, gis::Ring&& ring) {
    if (ring.size() >= 3) {
        polygon.parts.push_back(std::move(ring));
    }
}

}  // namespace

void clsPolygonCleaner::EliminateSelfTangencyInAngles(bool& changed) {
    bool splitAny = false;
    gis::Polygon result;
    result.parts.reserve(polygon_.parts.size());
    for (std::size_t i = 0; i < polygon_.parts.size(); ++i) {
        const gis::Ring& ring = polygon_.parts[i];
        const std::size_t n = ring.size();
        if (n < kMinimumTouchingVertices) {
            addIfRing(result, std::move(polygon_.parts[i]));  // `ring` is not used again
            continue;
        }
        // The first coinciding pair with the outer index running first, so A < B.
        const SeparationAnswer separation = edgesApartOnEdgeMargin(ring);
        const auto pair = cleaner_search::firstPair(
            ring, identicalMargin(separation.magnitude),
            [&](std::size_t a, std::size_t b) { return identical(ring[a], ring[b]); }, separation.apart);
        if (!pair) {
            addIfRing(result, std::move(polygon_.parts[i]));  // `ring` is not used again
            continue;
        }
        const auto [first, second] = *pair;
        raiseHeaderIfFiltered(i, n);
        raise(texts::tangencyInPoint(i));
        raise(texts::tangencyFirstPoint(i, first, coordinate(ring[first].x), coordinate(ring[first].y)));
        raise(texts::tangencySecondPoint(i, second, coordinate(ring[second].x), coordinate(ring[second].y)));
        splitAny = true;

        // Each piece holds the touching point once.
        gis::Ring one;
        gis::Ring two;
        if (first == 0) {
            appendRange(one, ring, 0, second - 1);
            appendRange(two, ring, second, n - 1);
        } else if (second == n - 1) {
            appendRange(one, ring, 0, first);
            appendRange(two, ring, first + 1, second);
        } else {
            appendRange(one, ring, 0, first);
            appendRange(one, ring, second + 1, n - 1);
            appendRange(two, ring, first + 1, second);
        }
        addIfRing(result, std::move(one));
        addIfRing(result, std::move(two));
    }
    polygon_ = std::move(result);
    changed = splitAny;
}

void clsPolygonCleaner::EliminateSelfTangencyInLine(bool& changed) {
    bool splitAny = false;
    gis::Polygon result;
    result.parts.reserve(polygon_.parts.size());
    for (std::size_t i = 0; i < polygon_.parts.size(); ++i) {
        const gis::Ring& ring = polygon_.parts[i];
        const std::size_t n = ring.size();
        // On a ring whose edges keep the margin apart only an edge's own ends
        // come that near it, and an edge's ends are no touching of it.
        if (n < kMinimumTouchingVertices) {
            addIfRing(result, std::move(polygon_.parts[i]));  // `ring` is not used again
            continue;
        }
        const SeparationAnswer separation = edgesApartOnEdgeMargin(ring);
        if (separation.apart) {
            addIfRing(result, std::move(polygon_.parts[i]));  // `ring` is not used again
            continue;
        }
        // First touching: edge (s, s + 1) in order, then vertex t in order. The
        // closing edge (n - 1, 0) is not tested; the neighbour exclusion works
        // on the plain index values, not across the wrap-around.
        const auto touches = [&](std::size_t s, std::size_t t) {
            const std::size_t e = s + 1;
            if (t == s || t == e || t + 1 == s || t == e + 1) {
                return false;
            }
            const gis::Point& ps = ring[s];
            const gis::Point& pt = ring[t];
            const gis::Point& pe = ring[e];
            if (!ThreePointsOnLineNisMiddle(ps.x, ps.y, pt.x, pt.y, pe.x, pe.y)) {
                return false;
            }
            // A vertex on a straight run of its own outline is no corner.
            const gis::Point& before = ring[t == 0 ? n - 1 : t - 1];
            const gis::Point& after = ring[t + 1 == n ? 0 : t + 1];
            return !ThreePointsOnLine(before.x, before.y, pt.x, pt.y, after.x, after.y);
        };
        const auto touching =
            cleaner_search::firstOnEdge(ring, onEdgeMargin(separation.magnitude), touches, false);
        if (!touching) {
            addIfRing(result, std::move(polygon_.parts[i]));  // `ring` is not used again
            continue;
        }
        const auto [s, t] = *touching;
        const std::size_t e = s + 1;
        raiseHeaderIfFiltered(i, n);
        raise(texts::tangencyOnLine(i));
        raise(texts::tangencySplitPoint(i, t, coordinate(ring[t].x), coordinate(ring[t].y)));
        splitAny = true;

        // The first ring runs t .. s and closes through the touching point on
        // the edge; the second runs e .. t. Vertex t is the corner of both.
        gis::Ring one;
        gis::Ring two;
        if (t > e) {
            appendRange(one, ring, 0, s);
            appendRange(one, ring, t, n - 1);
            appendRange(two, ring, e, t);
        } else {
            appendRange(one, ring, t, s);
            appendRange(two, ring, e, n - 1);
            appendRange(two, ring, 0, t);
        }
        addIfRing(result, std::move(one));
        addIfRing(result, std::move(two));
    }
    polygon_ = std::move(result);
    changed = splitAny;
}

}  // namespace plyvet
