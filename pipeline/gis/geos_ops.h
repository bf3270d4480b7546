#pragma once
// Geometric operations and the spatial search, over the GEOS C API.
//
// A Polygon is turned into a GEOS (multi)polygon by orientation: clockwise
// rings are shells, counter-clockwise rings are holes of the smallest shell
// that contains their first point (a hole no shell contains becomes a shell
// of its own). Rings that enclose no area (fewer than 3 points, zero area)
// are left out. Results come back the same way: shells clockwise, holes
// counter-clockwise, no closing points; GEOS picks start vertex and part order.
//
// Failures of GEOS (an overlay of invalid input, for instance) raise a
// RuntimeError with number err::kGisFailure. Each thread uses its own GEOS
// context; a SpatialIndex must be used by one thread at a time.

#include "pipeline/gis/geometry.h"

#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace plyvet::gis {

// The part of `a` inside `b`; std::nullopt when they share no area.
std::optional<Polygon> intersection(const Polygon& a, const Polygon& b);

// The part of `a` outside `b`; std::nullopt when `b` covers `a` completely.
std::optional<Polygon> difference(const Polygon& a, const Polygon& b);

// True when `p` lies inside `polygon` or on its boundary.
bool containsPoint(const Polygon& polygon, Point p);

// containsPoint for each of `points`, in their order, with the polygon
// converted once: the same answers at the cost of one conversion and a
// look-up per point.
std::vector<bool> containsPoints(const Polygon& polygon, std::span<const Point> points);

// Centroid of the polygon's area. Raises for an empty polygon.
Point centroid(const Polygon& polygon);

// Distance from `p` to the polygon (0 inside); infinity for a polygon without area.
double distance(const Polygon& polygon, Point p);

// Relation codes of the spatial search.
enum class Relation : int {
    Overlapping = 6,  // candidates that share area or boundary with the search shape
    Identical = 14,   // shapes that cover exactly the same area as the search shape
};

// The relation test of the spatial search for one pair, without an index:
// Identical is topological equality (another start vertex or ring direction
// is still identical), Overlapping is "shares any point". A polygon without
// area (no ring that encloses any) relates to nothing. Raises on an unknown
// relation code or when the geometry library fails on the input.
bool relates(const Polygon& candidate, const Polygon& shape, Relation relation);

// A spatial index over a fixed list of polygons (a GEOSSTRtree). A search
// looks up bounding-box candidates in the tree and tests only those with the
// relation, so the cost grows with the number of real candidates, never with
// the square of the layer size.
class SpatialIndex {
public:
    explicit SpatialIndex(std::span<const Polygon> polygons);
    ~SpatialIndex();
    SpatialIndex(SpatialIndex&&) noexcept;
    SpatialIndex& operator=(SpatialIndex&&) noexcept;

    // Indexes (into the list given at construction) of the polygons in
    // `relation` with `shape`, in increasing order.
    std::vector<int> search(const Polygon& shape, Relation relation) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace plyvet::gis
