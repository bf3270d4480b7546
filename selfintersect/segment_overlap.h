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
// Precision. Orientation tests use the cross product evaluated in long double
// (x87 extended on x86-64); two segments are collinear when both end points
// of the second give a cross product of exactly 0 against the first. For
// coordinates with a few decimals, as the cleaner's rings have, this is
// exact. Non-finite coordinates have nothing in common with anything.

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
