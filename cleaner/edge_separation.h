#pragma once
// Whether the edges of a ring keep their distance from each other.
//
// A ring whose edges that share no vertex all lie more than d apart (in the
// maximum norm) has no two vertices within d of each other except the two
// ends of one edge, and no vertex within d of an edge except that edge's own
// ends. The vertex searches use this to skip their grid on the common,
// well-spaced ring; answering "yes" is a promise, so every doubt answers "no".

#include "pipeline/gis/geometry.h"

#include "geolib/edge_separation.h"

#include <cstddef>
#include <limits>

namespace plyvet::cleaner_search {

// True only when every two edges of the closed ring whose index ranges share
// no vertex (edge k runs from vertex k to vertex k + 1, the last back to 0)
// are more than `distance` apart in x or in y at every pair of their points.
// False whenever geolib::edgesApart (geolib/edge_separation.h) is, which
// says when that is; the budget is some hundred comparisons per edge.
bool edgesApart(const gis::Ring& ring, double distance);

// A ring's magnitude (vertex_search.h) and its edge separation at a distance
// worked out from it, with one pass over the ring for both.
class RingSurvey {
public:
    explicit RingSurvey(const gis::Ring& ring);
    // The largest absolute coordinate; infinity when one is not finite.
    double magnitude() const { return zeroIfFinite_ == 0.0 ? centre_.largest : std::numeric_limits<double>::infinity(); }
    bool edgesApart(double distance) const;

private:
    const gis::Ring& ring_;
    geolib::separation_detail::Centre centre_;
    double zeroIfFinite_ = 0.0;  // x * 0 summed: NaN once a coordinate is not finite
};

}  // namespace plyvet::cleaner_search
