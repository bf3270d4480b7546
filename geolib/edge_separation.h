#pragma once
// Whether the edges of a ring keep their distance from each other.
//
// A ring whose edges that share no vertex all lie more than d apart (in the
// maximum norm) has no two vertices within d of each other except the two
// ends of one edge, no vertex within d of an edge except that edge's own
// ends, and no two edges within d of each other except neighbours. Searches
// that only look for things closer than d use this to skip their index on the
// common, well-spaced ring; answering "yes" is a promise, so every doubt
// answers "no".
//
// edgesApart(ring, distance, workPerEdge) is true only when every two edges
// of the closed ring whose index ranges share no vertex (edge k runs from
// vertex k to vertex k + 1, the last back to 0) are more than `distance`
// apart in x or in y at every pair of their points. False for rings of fewer
// than 4 vertices, for coordinates or a distance that are not finite,
// whenever the floating-point error leaves the answer open, and when the ring
// is so folded that telling would cost more than `workPerEdge` comparisons
// per edge (the caller then searches its own way). Header only: the helper
// library and the program both use it, on their own point types (anything
// with double members x and y).

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace plyvet::geolib {

namespace separation_detail {

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

// Sorts by key. Along a ring the keys rise and fall in long runs (a round
// outline is one rising and one falling run): the runs are taken as they
// are and merged, which costs little more than reading them.
using Keyed = std::pair<double, std::uint32_t>;

inline void sortByRuns(std::vector<Keyed>& items, std::vector<Keyed>& other, std::vector<std::size_t>& bounds) {
    const std::size_t n = items.size();
    bounds.assign(1, 0);
    for (std::size_t i = 0; i < n;) {
        std::size_t j = i + 1;
        if (j < n && items[j] < items[i]) {
            while (j < n && items[j] < items[j - 1]) ++j;
            std::reverse(items.begin() + static_cast<std::ptrdiff_t>(i), items.begin() + static_cast<std::ptrdiff_t>(j));
        } else {
            while (j < n && !(items[j] < items[j - 1])) ++j;
        }
        bounds.push_back(j);
        i = j;
    }
    other.resize(n);
    std::vector<std::size_t> merged;
    while (bounds.size() > 2) {
        merged.assign(1, 0);
        for (std::size_t r = 0; r + 1 < bounds.size(); r += 2) {
            const auto at = [&](std::size_t k) { return items.begin() + static_cast<std::ptrdiff_t>(k); };
            const std::size_t mid = bounds[r + 1];
            const std::size_t end = r + 2 < bounds.size() ? bounds[r + 2] : mid;
            std::merge(at(bounds[r]), at(mid), at(mid), at(end), other.begin() + static_cast<std::ptrdiff_t>(bounds[r]));
            merged.push_back(end);
        }
        items.swap(other);
        bounds.swap(merged);
    }
}

}  // namespace separation_detail

template <class Point>
bool edgesApart(std::span<const Point> ring, double distance, std::size_t workPerEdge = 128) {
    const std::size_t n = ring.size();
    if (n < 4 || n > 0xFFFFFFFFu || !std::isfinite(distance) || distance < 0.0) {
        return false;
    }
    double largest = distance;
    std::vector<separation_detail::EdgeBox> boxes(n);
    // Sorted by the boxes' left ends; the keys travel with the edge numbers
    // only, so the sort moves 16 bytes an entry.
    std::vector<separation_detail::Keyed> order(n);
    for (std::size_t k = 0; k < n; ++k) {
        const Point& p = ring[k];
        const Point& q = ring[k + 1 == n ? 0 : k + 1];
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            return false;
        }
        largest = std::max({largest, std::fabs(p.x), std::fabs(p.y)});
        boxes[k] = {std::min(p.x, q.x), std::max(p.x, q.x), std::min(p.y, q.y), std::max(p.y, q.y)};
        order[k] = {boxes[k].xlo, static_cast<std::uint32_t>(k)};
    }
    // Box gaps are differences of coordinates: widening the distance by a few
    // units in the last place of the largest one keeps "apart" certain.
    const double reach = distance * (1 + 0x1p-48) + 0x1p-48 * largest;
    if (!std::isfinite(reach)) {
        return false;
    }
    {
        std::vector<separation_detail::Keyed> other;
        std::vector<std::size_t> bounds;
        separation_detail::sortByRuns(order, other, bounds);
    }

    // A dense comb keeps some ten teeth side by side; far more means a ring
    // folded over itself, which the caller searches its own way.
    const std::size_t budget = workPerEdge * n + 64;
    std::size_t work = 0;
    std::vector<std::uint32_t> active;  // edges still within reach in x
    for (const auto& [left, edge] : order) {
        const separation_detail::EdgeBox& box = boxes[edge];
        std::size_t kept = 0;
        for (const std::uint32_t other : active) {
            const separation_detail::EdgeBox& o = boxes[other];
            if (o.xhi + reach < left) {
                continue;  // every later box starts further right
            }
            active[kept++] = other;
            if (++work > budget) {
                return false;
            }
            if (o.ylo > box.yhi + reach || box.ylo > o.yhi + reach) {
                continue;
            }
            const std::uint32_t i = std::min(other, edge), j = std::max(other, edge);
            if (j == i + 1 || (i == 0 && j + 1 == n)) {
                continue;  // neighbours share a vertex
            }
            const Point& pi = ring[i];
            const Point& qi = ring[i + 1];
            const Point& pj = ring[j];
            const Point& qj = ring[j + 1 == n ? 0 : j + 1];
            if (!separation_detail::beyondLine(pi, qi, pj, qj, reach) && !separation_detail::beyondLine(pj, qj, pi, qi, reach)) {
                return false;
            }
        }
        active.resize(kept);
        active.push_back(edge);
    }
    return true;
}

}  // namespace plyvet::geolib
