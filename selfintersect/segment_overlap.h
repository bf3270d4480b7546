#pragma once
// Two straight edges and what they have in common: the "Length" and
// "Intersect" of two lines that the overlap repair asks for.
//
// Semantics. The common shape of two closed segments is nothing, one point,
// or a line (a stretch of positive length, only when both lie on one line).
// A line's two points are the ends of the common stretch ordered along the
// direction of the FIRST segment: `begin` is where the stretch starts when
// walking from first.from to first.to, `end` where it stops. Both are always
// end points of the two segments, never computed coordinates.
//
// Precision. The orientation tests are exact: the sign of each cross product
// is found from error-free products and sums of the coordinates (no
// tolerance), so two segments are collinear only when their four end points
// lie exactly on one line. Products must stay within the range of double
// (coordinates below about 1e150). A proper crossing's point is computed in
// long double and rounded once; the repair only asks whether it exists.
// Non-finite coordinates have nothing in common with anything.

#include "pipeline/gis/geometry.h"

namespace plyvet::selfintersect {

struct Segment {
    gis::Point from;
    gis::Point to;
};

// Euclidean length sqrt(dx² + dy²).
double length(const Segment& segment);

struct CommonShape {
    enum class Kind { Nothing, Point, Line };
    Kind kind = Kind::Nothing;
    gis::Point begin{};  // Point: the common point; Line: start of the common stretch
    gis::Point end{};    // Line: end of the common stretch (along `first`)
};

CommonShape intersect(const Segment& first, const Segment& second);

}  // namespace plyvet::selfintersect
