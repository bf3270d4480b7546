#pragma once
// The pair test behind the edge separation proofs (edge_separation.h,
// separation_runs.h): whether two edges of one or two rings keep a distance
// in the maximum norm, neighbours in one ring exempt. Header only, on any
// point type with double members x and y.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace plyvet::geolib::separation_detail {

struct EdgeBox {
    double xlo, xhi, ylo, yhi;
};

// Whether all of segment r-s lies beyond `gap` (maximum norm) on one side of
// the line through p and q. A square of half side gap reaches
// gap * (|nx| + |ny|) along a unit normal n, so the cross products must
// exceed gap * (|dx| + |dy|). Each difference and product carries a relative
// error below 2^-53, the cross product below 4 * 2^-53 of the sum of the
// products' sizes; 2^-48 of that sum covers it eight times over, and the
// reach gets the same margin for its own rounding. The absolute term covers
// products that fall below the normal range.
template <class Point>
inline bool beyondLine(const Point& p, const Point& q, const Point& r, const Point& s, double gap) {
    const double dx = q.x - p.x, dy = q.y - p.y;
    const double rx = r.x - p.x, ry = r.y - p.y;
    const double sx = s.x - p.x, sy = s.y - p.y;
    const double crossR = dx * ry - dy * rx;
    const double crossS = dx * sy - dy * sx;
    const double errR = 0x1p-48 * (std::fabs(dx * ry) + std::fabs(dy * rx)) + 0x1p-1000;
    const double errS = 0x1p-48 * (std::fabs(dx * sy) + std::fabs(dy * sx)) + 0x1p-1000;
    const double reach = gap * (std::fabs(dx) + std::fabs(dy)) * (1 + 0x1p-48);
    return (crossR > reach + errR && crossS > reach + errS) || (crossR < -(reach + errR) && crossS < -(reach + errS));
}

// Each edge's two ends.
template <class Point>
struct Ends {
    const Point* p;
    const Point* q;
};

// Which edges are neighbours: the edges of each ring are numbered on from
// those of the ring before, and the first and last edge of a ring (the pair
// that closes it) are neighbours too. Told from the edge numbers alone, so
// that the pair tests load an edge's ends only for pairs that are not
// neighbours.
class RingStarts {
public:
    // Each ring's first edge in ascending order, then the number of edges.
    explicit RingStarts(std::vector<std::uint32_t> starts) : starts_(std::move(starts)) {}

    // For edges i < j.
    bool neighbours(std::uint32_t i, std::uint32_t j) const {
        const std::size_t rings = starts_.size() - 1;
        if (j == i + 1) {
            // Numbered one after the other: in one ring unless j begins the next.
            for (std::size_t r = 1; r < rings; ++r) {
                if (starts_[r] == j) return false;
            }
            return true;
        }
        for (std::size_t r = 0; r < rings; ++r) {
            if (starts_[r] == i) return j + 1 == starts_[r + 1];
        }
        return false;
    }

private:
    std::vector<std::uint32_t> starts_;
};

// Whether the two edges i < j, which pass the box test, keep their distance:
// neighbours in one ring share a vertex and are exempt. `endsOf(k)` gives
// edge k's Ends; it is asked only for pairs that are not neighbours.
template <class EndsOf>
bool pairApart(const RingStarts& rings, std::uint32_t i, std::uint32_t j, double reach, EndsOf&& endsOf) {
    if (rings.neighbours(i, j)) {
        return true;
    }
    const auto [p, q] = endsOf(i);
    const auto [r, s] = endsOf(j);
    return beyondLine(*p, *q, *r, *s, reach) || beyondLine(*r, *s, *p, *q, reach);
}

// The same with the ends of every edge in a table.
template <class Point>
bool pairApart(const std::vector<Ends<Point>>& ends, const RingStarts& rings, std::uint32_t i, std::uint32_t j,
               double reach) {
    return pairApart(rings, i, j, reach, [&](std::uint32_t k) { return ends[k]; });
}

}  // namespace plyvet::geolib::separation_detail
