#pragma once
// The geometry model every other module works on.
//
// A polygon is an ordered list of parts; a part is a ring of points that is
// implicitly closed: its point list does not repeat the first point at the
// end, the successor of the last point is point 0. Rings are kept exactly as
// stored: no reordering, no orientation fix-up, no closing point.
//
// Orientation: signed areas are positive for clockwise rings (the shapefile's
// outer rings) and negative for counter-clockwise rings (its holes), in a
// coordinate system whose Y axis points up.

#include <span>
#include <vector>

namespace plyvet::gis {

struct Point {
    double x = 0.0;
    double y = 0.0;
    friend bool operator==(const Point&, const Point&) = default;
};

using Ring = std::vector<Point>;

struct Polygon {
    std::vector<Ring> parts;
    friend bool operator==(const Polygon&, const Polygon&) = default;
};

// Signed area of one implicitly closed ring (shoelace), positive when clockwise.
double ringArea(std::span<const Point> ring);

// Sum of the signed areas of all parts.
double area(const Polygon& polygon);

// Number of points of all parts together.
std::size_t pointCount(const Polygon& polygon);

}  // namespace plyvet::gis
