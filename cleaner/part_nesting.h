#pragma once
// How two parts lie to each other when their outlines keep clearly apart.
//
// The validation asks the overlay for every pair of parts whose bounds meet:
// one intersection and two differences, the costliest steps of cleaning a
// parcel with a hole. When both rings are simple and every edge of one stays
// clearly away from every edge of the other, the outlines cannot meet, so
// one ring lies wholly inside the other or the two are disjoint, and one
// point-in-ring test tells which. Those are exactly the answers the overlay
// gives for such a pair; every closer or doubtful pair gets no answer, and
// the caller asks the overlay.

#include "pipeline/gis/geometry.h"

#include <optional>

namespace plyvet::cleaner_search {

enum class Nesting {
    SecondInFirst,  // the second ring lies inside the first
    FirstInSecond,  // the first ring lies inside the second
    Disjoint,       // neither: the two enclose no common area
};

// The nesting of two closed rings (orientation does not matter), or none
// when a ring has fewer than 4 vertices, a coordinate is not finite, a ring
// is not clearly simple, the outlines come within a few hundred-billionths
// of the largest coordinate of each other, or rounding leaves it in doubt.
std::optional<Nesting> nestingApart(const gis::Ring& first, const gis::Ring& second);

// Whether p lies inside the closed ring (even-odd rule, a horizontal
// through p counting the vertices on it once), or none when p lies so close
// to an edge crossing that horizontal that rounding leaves the side in
// doubt. Points on the outline get an answer only by chance (on a
// horizontal edge, say): callers keep p clear of the outline.
std::optional<bool> insideRing(const gis::Ring& ring, gis::Point p);

}  // namespace plyvet::cleaner_search
