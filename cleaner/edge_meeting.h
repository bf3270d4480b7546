#pragma once
// Where two straight edges meet: nowhere, in a point, or along a common
// stretch when they lie on one line. Used by the overlap confirmation of two
// parts that share no area, to tell parts that only touch at a vertex from
// parts that run along each other.
//
// Collinearity and the ends of the edges are judged with a tolerance of
// 1e-12 relative to the coordinates' magnitude, so edges that are collinear
// in their decimal input still count as collinear after binary rounding.
// Edges of zero length are points. Non-finite coordinates meet nothing.

#include "pipeline/gis/geometry.h"

namespace plyvet::cleaner_geometry {

struct EdgeMeeting {
    enum class Kind { None, Point, Stretch };
    Kind kind = Kind::None;
    gis::Point from;  // the meeting point, or one end of the common stretch
    gis::Point to;    // the other end of the stretch; equals `from` for a point
};

EdgeMeeting meetEdges(gis::Point a1, gis::Point a2, gis::Point b1, gis::Point b2);

}  // namespace plyvet::cleaner_geometry
