#include "cleaner/vertex_search.h"

#include "cleaner/edge_separation.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace plyvet::cleaner_search {

namespace {

// x * 0 is zero for every finite x and NaN otherwise, so one sum tells
// whether a ring is finite without a branch per coordinate.
bool finite(const gis::Ring& ring) {
    double zeroIfFinite = 0.0;
    for (const gis::Point& p : ring) {
        zeroIfFinite += p.x * 0.0 + p.y * 0.0;
    }
    return zeroIfFinite == 0.0;
}

// A grid over the vertices of a ring for box and corridor queries: every
// vertex hangs in a chained hash table under its cell (column, row), so a
// query looks at the few cells it covers in constant time each, and
// building it sorts nothing. Built once per search; a query allocates
// nothing (it appends to the caller's buffer). Only built for finite rings:
// NaN has no cell.
//
// Point queries use cells of twice the margin (a query then covers at most
// two columns and two rows); edge queries cells of about the mean edge length
// (an edge then crosses a few cells only). Cells grow when the extent would
// need more than 2^30 of them a side. A query that would visit more cells
// than the ring has vertices looks at every vertex instead.
class Grid {
public:
    Grid(const gis::Ring& ring, double cell) : ring_(ring) {
        double minX = ring.empty() ? 0.0 : ring[0].x;
        double minY = ring.empty() ? 0.0 : ring[0].y;
        double maxX = minX;
        double maxY = minY;
        for (const gis::Point& p : ring) {
            minX = std::min(minX, p.x);
            minY = std::min(minY, p.y);
            maxX = std::max(maxX, p.x);
            maxY = std::max(maxY, p.y);
        }
        x0_ = minX;
        y0_ = minY;
        const double extent = std::max(maxX - minX, maxY - minY);
        cell_ = std::max({cell, extent / kMaxCells, std::numeric_limits<double>::min()});
        if (!std::isfinite(cell_)) {
            cell_ = std::numeric_limits<double>::max();
        }
        maxColumn_ = column(maxX);
        maxRow_ = row(maxY);
        std::size_t slots = 16;
        while (slots < 2 * ring.size()) slots *= 2;
        mask_ = slots - 1;
        head_.assign(slots, kNone);
        next_.resize(ring.size());
        columns_.resize(ring.size());
        rows_.resize(ring.size());
        for (std::size_t k = ring.size(); k-- > 0;) {
            // Filled backwards, so each chain lists its vertices in ascending order.
            const auto c = static_cast<std::int32_t>(column(ring[k].x));
            const auto r = static_cast<std::int32_t>(row(ring[k].y));
            columns_[k] = c;
            rows_[k] = r;
            std::uint32_t& first = head_[slot(c, r)];
            next_[k] = first;
            first = static_cast<std::uint32_t>(k);
        }
    }

    // Appends every vertex inside [xlo, xhi] x [ylo, yhi] (bounds included) to `out`.
    void inBox(double xlo, double xhi, double ylo, double yhi, std::vector<Index>& out) const {
        const auto inside = [&](Index k) {
            const gis::Point& p = ring_[k];
            if (p.x >= xlo && p.x <= xhi && p.y >= ylo && p.y <= yhi) {
                out.push_back(k);
            }
        };
        const std::int64_t c0 = column(xlo), c1 = column(xhi);
        const std::int64_t r0 = row(ylo), r1 = row(yhi);
        if (static_cast<double>(c1 - c0 + 1) * static_cast<double>(r1 - r0 + 1) > static_cast<double>(ring_.size())) {
            for (Index k = 0; k < ring_.size(); ++k) inside(k);
            return;
        }
        for (std::int64_t c = c0; c <= c1; ++c) {
            for (std::int64_t r = r0; r <= r1; ++r) {
                visit(c, r, inside);
            }
        }
    }

    // Appends every vertex within `margin` of the segment a-b to `out`: the
    // columns the segment's corridor crosses, and in each only the rows it
    // covers there.
    void nearSegment(gis::Point a, gis::Point b, double margin, std::vector<Index>& out) const {
        const double minX = std::min(a.x, b.x);
        const double maxX = std::max(a.x, b.x);
        const double dx = b.x - a.x;
        const double dy = b.y - a.y;
        const double length2 = dx * dx + dy * dy;
        // Room for the floating error of the corridor test; real hits lie
        // well inside the margin (see the header).
        const double reach = margin * (1.0 + 1e-9) + 1e-12 * (1.0 + std::fabs(a.x) + std::fabs(a.y));
        const double minY = std::min(a.y, b.y);
        const double maxY = std::max(a.y, b.y);
        const auto near = [&](Index k) {
            const gis::Point& p = ring_[k];
            if (p.x < minX - reach || p.x > maxX + reach || p.y < minY - reach || p.y > maxY + reach) {
                return;
            }
            const double px = p.x - a.x;
            const double py = p.y - a.y;
            const double t = length2 > 0.0 ? std::clamp((px * dx + py * dy) / length2, 0.0, 1.0) : 0.0;
            const double ox = px - t * dx;
            const double oy = py - t * dy;
            if (ox * ox + oy * oy <= reach * reach) {
                out.push_back(k);
            }
        };
        const std::int64_t c0 = column(minX - reach), c1 = column(maxX + reach);
        // near() takes no vertex outside these rows, so no column looks beyond
        // them: a pad that overflows to infinity would otherwise walk every row.
        const std::int64_t firstRow = row(minY - reach), lastRow = row(maxY + reach);
        const std::int64_t span = lastRow - firstRow + 1;
        if (static_cast<double>(c1 - c0 + 1) + static_cast<double>(span) > static_cast<double>(ring_.size())) {
            for (Index k = 0; k < ring_.size(); ++k) near(k);
            return;
        }
        const auto yAt = [&](double x) {
            const double t = std::clamp((x - a.x) / dx, 0.0, 1.0);
            return a.y + t * dy;
        };
        for (std::int64_t c = c0; c <= c1; ++c) {
            // The part of the segment whose x lies within reach of this column.
            double ylo = std::min(a.y, b.y);
            double yhi = std::max(a.y, b.y);
            const double from = std::max(minX, x0_ + static_cast<double>(c) * cell_ - reach);
            const double to = std::min(maxX, x0_ + static_cast<double>(c + 1) * cell_ + reach);
            if (dx != 0.0 && from <= to) {
                ylo = std::min(yAt(from), yAt(to));
                yhi = std::max(yAt(from), yAt(to));
            }
            const double pad = reach + 1e-9 * (1.0 + std::fabs(ylo) + std::fabs(yhi));
            for (std::int64_t r = std::max(row(ylo - pad), firstRow), last = std::min(row(yhi + pad), lastRow);
                 r <= last; ++r) {
                visit(c, r, near);
            }
        }
    }

private:
    static constexpr double kMaxCells = 1073741824.0;  // 2^30 a side
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    std::int64_t column(double x) const { return clamp((x - x0_) / cell_, maxColumn_); }
    std::int64_t row(double y) const { return clamp((y - y0_) / cell_, maxRow_); }
    static std::int64_t clamp(double offset, std::int64_t last) {
        if (!(offset > 0.0)) return 0;  // also NaN
        const double cell = std::floor(offset);
        return cell >= static_cast<double>(last) ? last : static_cast<std::int64_t>(cell);
    }
    std::size_t slot(std::int64_t c, std::int64_t r) const {
        const auto h = (static_cast<std::uint64_t>(c) * 0x9E3779B97F4A7C15ull) ^
                       (static_cast<std::uint64_t>(r) * 0xC2B2AE3D27D4EB4Full);
        return static_cast<std::size_t>((h ^ (h >> 29)) & mask_);
    }

    template <class Visit>
    void visit(std::int64_t c, std::int64_t r, Visit&& f) const {
        for (std::uint32_t k = head_[slot(c, r)]; k != kNone; k = next_[k]) {
            if (columns_[k] == c && rows_[k] == r) {
                f(Index{k});
            }
        }
    }

    const gis::Ring& ring_;
    double x0_ = 0.0;
    double y0_ = 0.0;
    double cell_ = 1.0;
    // No index lies beyond 2^30, even when the extent overflows to infinity
    // (-1e308 to 1e308), so a loop over the cells can step one past the last.
    std::int64_t maxColumn_ = static_cast<std::int64_t>(kMaxCells);
    std::int64_t maxRow_ = static_cast<std::int64_t>(kMaxCells);
    std::size_t mask_ = 0;
    std::vector<std::uint32_t> head_;
    std::vector<std::uint32_t> next_;
    std::vector<std::int32_t> columns_;
    std::vector<std::int32_t> rows_;
};

// Cell size for edge queries: the mean edge length, unless the vertices lie
// denser than that (a comb of tall teeth: long edges, close vertices), where
// the cell of a uniform spread over the bounding box serves better; never
// below a sixteenth of the mean edge, so an edge crosses few columns.
double edgeCell(const gis::Ring& ring) {
    if (ring.empty()) {
        return 0.0;
    }
    double perimeter = 0.0;
    double minX = ring[0].x;
    double minY = ring[0].y;
    double maxX = minX;
    double maxY = minY;
    for (std::size_t k = 0; k < ring.size(); ++k) {
        const gis::Point& p = ring[k];
        const gis::Point& q = ring[k + 1 == ring.size() ? 0 : k + 1];
        perimeter += std::hypot(q.x - p.x, q.y - p.y);
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    }
    const auto n = static_cast<double>(ring.size());
    const double meanEdge = perimeter / n;
    const double spread = std::sqrt((maxX - minX) * (maxY - minY) / n);
    return std::max(std::min(meanEdge, spread), meanEdge / 16.0);
}

// Cell size for point queries: twice the margin at least, so a query box
// covers at most two columns and two rows. Where the margin is far below the
// spacing of the vertices (the usual case: a rounding unit against edges of
// metres), such cells make almost every query cover four cells holding
// nothing but the vertex itself; cells of an eighth of the mean edge (in the
// sum of |dx| and |dy|, no square roots) hold about one vertex still and
// leave most queries inside one cell.
double pointCell(const gis::Ring& ring, double margin) {
    double length = 0.0;
    for (std::size_t k = 0; k + 1 < ring.size(); ++k) {
        length += std::fabs(ring[k + 1].x - ring[k].x) + std::fabs(ring[k + 1].y - ring[k].y);
    }
    const double meanEdge = ring.size() > 1 ? length / static_cast<double>(ring.size() - 1) : 0.0;
    return std::max(2.0 * margin, meanEdge / 8.0);
}

// Rings longer than this are searched plainly: the grid numbers vertices in 32 bits.
constexpr std::size_t kMaxGridVertices = 0xFFFFFFFFu;

}  // namespace

double magnitude(const gis::Ring& ring) {
    double m = 0.0, zeroIfFinite = 0.0;
    for (const gis::Point& p : ring) {
        m = std::max(m, std::max(std::fabs(p.x), std::fabs(p.y)));
        zeroIfFinite += p.x * 0.0 + p.y * 0.0;
    }
    return zeroIfFinite == 0.0 ? m : std::numeric_limits<double>::infinity();
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

std::optional<IndexPair> firstPair(const gis::Ring& ring, double margin, const PairTest& same, Apart apart) {
    if (!std::isfinite(margin) || ring.size() > kMaxGridVertices) {
        return firstPairPlain(ring, same);
    }
    // A spaced ring holds no pair at all, since `same` needs its two vertices
    // within the margin in x and in y. Two vertices that are not neighbours
    // lie on edges that share no vertex, and those keep further apart; two
    // neighbours a and a + 1 are ends of the edge before a and of the edge
    // after a + 1, which share no vertex either, as a spaced ring has at
    // least 4. A spaced ring is finite; any other must be for the grid.
    const bool spaced = apart.has_value() ? *apart : edgesApart(ring, margin);
    if (spaced) {
        return std::nullopt;
    }
    if (!finite(ring)) {
        return firstPairPlain(ring, same);
    }
    const Grid grid(ring, pointCell(ring, margin));
    std::vector<Index> candidates;
    for (Index a = 0; a < ring.size(); ++a) {
        const gis::Point& p = ring[a];
        candidates.clear();
        grid.inBox(p.x - margin, p.x + margin, p.y - margin, p.y + margin, candidates);
        std::sort(candidates.begin(), candidates.end());
        for (const Index b : candidates) {
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

std::optional<IndexPair> firstOnEdge(const gis::Ring& ring, double margin, const PairTest& touches, Apart apart) {
    if (!std::isfinite(margin) || ring.size() > kMaxGridVertices) {
        return firstOnEdgePlain(ring, touches);
    }
    // A spaced ring is finite; any other must be for the grid.
    const bool spaced = apart.has_value() ? *apart : edgesApart(ring, margin);
    if (!spaced && !finite(ring)) {
        return firstOnEdgePlain(ring, touches);
    }
    if (spaced) {
        // Only the edge's own ends lie within the margin of it.
        for (Index s = 0; s + 1 < ring.size(); ++s) {
            for (const Index t : {s, s + 1}) {
                if (touches(s, t)) {
                    return IndexPair{s, t};
                }
            }
        }
        return std::nullopt;
    }
    const Grid grid(ring, std::max(2.0 * margin, edgeCell(ring)));
    std::vector<Index> candidates;
    for (Index s = 0; s + 1 < ring.size(); ++s) {
        candidates.clear();
        grid.nearSegment(ring[s], ring[s + 1], margin, candidates);
        std::sort(candidates.begin(), candidates.end());
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

class PairCounter::Lookup {
public:
    Lookup(const gis::Ring& ring, double cell) : grid(ring, cell) {}
    Grid grid;
};

PairCounter::PairCounter(const gis::Ring& one, double margin) : one_(one) {
    if (std::isfinite(margin) && finite(one) && one.size() <= kMaxGridVertices) {
        index_ = std::make_unique<const Lookup>(one, 2.0 * margin);
    }
}

PairCounter::~PairCounter() = default;

std::size_t PairCounter::count(const gis::Ring& other, double margin, const PairTest& same) const {
    if (!index_ || !std::isfinite(margin) || !finite(other)) {
        return countPairsPlain(one_, other, same);
    }
    // Every pair for which same(a, b) can hold: the vertices of `one` within
    // the margin of other[b] in x and y.
    std::vector<Index> candidates;
    std::size_t count = 0;
    for (Index b = 0; b < other.size(); ++b) {
        const gis::Point& q = other[b];
        candidates.clear();
        index_->grid.inBox(q.x - margin, q.x + margin, q.y - margin, q.y + margin, candidates);
        for (const Index a : candidates) {
            if (same(a, b)) {
                ++count;
            }
        }
    }
    return count;
}

}  // namespace plyvet::cleaner_search
