#include "cleaner/vertex_search.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace plyvet::cleaner_search {

namespace {

bool finite(const gis::Ring& ring) {
    return std::all_of(ring.begin(), ring.end(),
                       [](const gis::Point& p) { return std::isfinite(p.x) && std::isfinite(p.y); });
}

// Vertex indices sorted by x, for box queries. Only built for finite rings:
// NaN has no place in a sort order.
class SortedByX {
public:
    explicit SortedByX(const gis::Ring& ring) : ring_(ring), order_(ring.size()) {
        std::iota(order_.begin(), order_.end(), Index{0});
        std::stable_sort(order_.begin(), order_.end(), [&](Index a, Index b) { return ring[a].x < ring[b].x; });
    }

    // Indices, ascending, of the vertices inside [xlo, xhi] x [ylo, yhi].
    std::vector<Index> inBox(double xlo, double xhi, double ylo, double yhi) const {
        auto it = std::lower_bound(order_.begin(), order_.end(), xlo,
                                   [&](Index k, double x) { return ring_[k].x < x; });
        std::vector<Index> found;
        for (; it != order_.end() && ring_[*it].x <= xhi; ++it) {
            const double y = ring_[*it].y;
            if (y >= ylo && y <= yhi) {
                found.push_back(*it);
            }
        }
        std::sort(found.begin(), found.end());
        return found;
    }

private:
    const gis::Ring& ring_;
    std::vector<Index> order_;
};

}  // namespace

double magnitude(const gis::Ring& ring) {
    double m = 0.0;
    for (const gis::Point& p : ring) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            return std::numeric_limits<double>::infinity();
        }
        m = std::max({m, std::fabs(p.x), std::fabs(p.y)});
    }
    return m;
}

std::optional<IndexPair> firstPairPlain(const gis::Ring& ring, const PairTest& same) {
    for (Index a = 0; a < ring.size(); ++a) {
        for (Index b = 0; b < ring.size(); ++b) {
            if (b != a && same(a, b)) {
                return IndexPair{a, b};
            }
        }
    }
    return std::nullopt;
}

std::optional<IndexPair> firstPair(const gis::Ring& ring, double margin, const PairTest& same) {
    if (!std::isfinite(margin) || !finite(ring)) {
        return firstPairPlain(ring, same);
    }
    const SortedByX sorted(ring);
    for (Index a = 0; a < ring.size(); ++a) {
        const gis::Point& p = ring[a];
        for (const Index b : sorted.inBox(p.x - margin, p.x + margin, p.y - margin, p.y + margin)) {
            if (b != a && same(a, b)) {
                return IndexPair{a, b};
            }
        }
    }
    return std::nullopt;
}

std::optional<IndexPair> firstOnEdgePlain(const gis::Ring& ring, const PairTest& touches) {
    for (Index s = 0; s + 1 < ring.size(); ++s) {
        for (Index t = 0; t < ring.size(); ++t) {
            if (touches(s, t)) {
                return IndexPair{s, t};
            }
        }
    }
    return std::nullopt;
}

std::optional<IndexPair> firstOnEdge(const gis::Ring& ring, double margin, const PairTest& touches) {
    if (!std::isfinite(margin) || !finite(ring)) {
        return firstOnEdgePlain(ring, touches);
    }
    const SortedByX sorted(ring);
    for (Index s = 0; s + 1 < ring.size(); ++s) {
        const gis::Point& a = ring[s];
        const gis::Point& b = ring[s + 1];
        const auto candidates = sorted.inBox(std::min(a.x, b.x) - margin, std::max(a.x, b.x) + margin,
                                             std::min(a.y, b.y) - margin, std::max(a.y, b.y) + margin);
        for (const Index t : candidates) {
            if (touches(s, t)) {
                return IndexPair{s, t};
            }
        }
    }
    return std::nullopt;
}

std::size_t countPairsPlain(const gis::Ring& one, const gis::Ring& other, const PairTest& same) {
    std::size_t count = 0;
    for (Index a = 0; a < one.size(); ++a) {
        for (Index b = 0; b < other.size(); ++b) {
            if (same(a, b)) {
                ++count;
            }
        }
    }
    return count;
}

std::size_t countPairs(const gis::Ring& one, const gis::Ring& other, double margin, const PairTest& same) {
    if (!std::isfinite(margin) || !finite(one) || !finite(other)) {
        return countPairsPlain(one, other, same);
    }
    const SortedByX sorted(other);
    std::size_t count = 0;
    for (Index a = 0; a < one.size(); ++a) {
        const gis::Point& p = one[a];
        for (const Index b : sorted.inBox(p.x - margin, p.x + margin, p.y - margin, p.y + margin)) {
            if (same(a, b)) {
                ++count;
            }
        }
    }
    return count;
}

}  // namespace plyvet::cleaner_search
