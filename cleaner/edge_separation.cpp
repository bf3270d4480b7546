#include "cleaner/edge_separation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace plyvet::cleaner_search {

namespace {

struct EdgeBox {
    double xlo, xhi, ylo, yhi;
};

// Whether all of segment r-s lies beyond `gap` (maximum norm) on one side of
// the line through p and q. A square of half side gap reaches
// gap * (|nx| + |ny|) along a unit normal n, so the cross products must
// exceed gap * (|dx| + |dy|); each carries a relative error below 2^-50 of
// the sum of its products' sizes, which the bound covers several times over.
bool beyondLine(const gis::Point& p, const gis::Point& q, const gis::Point& r, const gis::Point& s, double gap) {
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

}  // namespace

bool edgesApart(const gis::Ring& ring, double distance) {
    const std::size_t n = ring.size();
    if (n < 4 || n > 0xFFFFFFFFu || !std::isfinite(distance) || distance < 0.0) {
        return false;
    }
    double largest = distance;
    std::vector<EdgeBox> boxes(n);
    // Sorted by the boxes' left ends; the keys travel with the edge numbers
    // only, so the sort moves 16 bytes an entry.
    std::vector<std::pair<double, std::uint32_t>> order(n);
    for (std::size_t k = 0; k < n; ++k) {
        const gis::Point& p = ring[k];
        const gis::Point& q = ring[k + 1 == n ? 0 : k + 1];
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
    std::sort(order.begin(), order.end());

    // A dense comb keeps some ten teeth side by side; far more means a ring
    // folded over itself, which the caller searches its own way.
    const std::size_t budget = 32 * n + 64;
    std::size_t work = 0;
    std::vector<std::uint32_t> active;  // edges still within reach in x
    for (const auto& [left, edge] : order) {
        const EdgeBox& box = boxes[edge];
        std::size_t kept = 0;
        for (const std::uint32_t other : active) {
            const EdgeBox& o = boxes[other];
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
            const gis::Point& pi = ring[i];
            const gis::Point& qi = ring[i + 1];
            const gis::Point& pj = ring[j];
            const gis::Point& qj = ring[j + 1 == n ? 0 : j + 1];
            if (!beyondLine(pi, qi, pj, qj, reach) && !beyondLine(pj, qj, pi, qi, reach)) {
                return false;
            }
        }
        active.resize(kept);
        active.push_back(edge);
    }
    return true;
}

}  // namespace plyvet::cleaner_search
