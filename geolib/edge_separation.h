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

#include "geolib/separation_pairs.h"
#include "geolib/separation_runs.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace plyvet::geolib {

namespace separation_detail {

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

// The sweep: all edges in one x order, each paired with the edges still
// within reach in x. Costs the edges times the edges a vertical line meets,
// little for combs and round outlines.
template <class Point>
bool apartSwept(const std::vector<EdgeBox>& boxes, const std::vector<Ends<Point>>& ends, const RingStarts& rings,
                double reach, std::size_t budget) {
    const std::size_t n = boxes.size();
    // Sorted by the boxes' left ends; the keys travel with the edge numbers
    // only, so the sort moves 16 bytes an entry.
    std::vector<Keyed> order(n);
    for (std::size_t g = 0; g < n; ++g) {
        order[g] = {boxes[g].xlo, static_cast<std::uint32_t>(g)};
    }
    {
        std::vector<Keyed> other;
        std::vector<std::size_t> bounds;
        sortByRuns(order, other, bounds);
    }
    std::size_t work = 0;
    // The edges still within reach in x: the scan over them runs without
    // branches (boxes that meet in y are rare and are collected first),
    // dropping those that fell behind as it goes. Both tables only grow, so
    // the loop does not allocate once they have reached the most edges
    // within reach at once.
    struct Active {
        double right, lo, hi;
        std::uint32_t edge;
    };
    std::vector<Active> active(16);
    std::vector<std::uint32_t> meeting(16);
    std::size_t count = 0;
    for (const auto& [left, edge] : order) {
        const EdgeBox& box = boxes[edge];
        const double high = box.yhi + reach;
        std::size_t kept = 0, met = 0;
        Active* const a = active.data();
        std::uint32_t* const meets = meeting.data();
        for (std::size_t k = 0; k < count; ++k) {
            const Active e = a[k];
            // Every later box starts further right: one that ended before
            // reach of this one meets none of them.
            const bool within = !(e.right + reach < left);
            const bool inY = !(e.lo > high) && !(box.ylo > e.hi + reach);
            a[kept] = e;
            meets[met] = e.edge;
            met += static_cast<std::size_t>(within && inY);
            kept += static_cast<std::size_t>(within);
        }
        work += kept;
        if (work > budget) {
            return false;
        }
        for (std::size_t m = 0; m < met; ++m) {
            if (!pairApart(ends, rings, std::min(meets[m], edge), std::max(meets[m], edge), reach)) {
                return false;
            }
        }
        if (kept == active.size()) {
            active.resize(2 * kept);
            meeting.resize(2 * kept);
        }
        active[kept] = {box.xhi, box.ylo, box.yhi, edge};
        count = kept + 1;
    }
    return true;
}

// The same pairs through a uniform grid of cells about twice the mean edge
// box in each direction, at most two cells an edge in all: for rings that a
// vertical line meets many times over (spirals, rings wound round a centre
// at many radii), where the sweep would pair each edge with dozens.
//
// Each edge is entered into the cells of its box stretched by the reach to
// the right and upwards. Two boxes pass the sweep's test exactly when their
// stretched boxes overlap (the same sums, compared the same way), and the
// cell of the lower left corner of that overlap holds both: the pair is
// tested there and nowhere else. Cell numbers come from a monotone function
// of the stored bounds, so the corner's cell lies within both edges' ranges.
// The stretched bounds are formed again wherever they are needed (the same
// sums, so the same values) rather than kept: on a large ring the tables of
// the grid are what its time goes on.
template <class Point>
bool apartInGrid(const std::vector<EdgeBox>& boxes, const std::vector<Ends<Point>>& ends, const RingStarts& rings,
                 double reach, std::size_t budget) {
    const std::size_t n = boxes.size();
    double minX = std::numeric_limits<double>::infinity(), maxX = -minX, minY = minX, maxY = -minX;
    double sumW = 0.0, sumH = 0.0;
    for (const EdgeBox& b : boxes) {
        const double xhi = b.xhi + reach, yhi = b.yhi + reach;
        minX = std::min(minX, b.xlo);
        maxX = std::max(maxX, xhi);
        minY = std::min(minY, b.ylo);
        maxY = std::max(maxY, yhi);
        sumW += xhi - b.xlo;
        sumH += yhi - b.ylo;
    }
    // Columns and rows: cells twice the mean stretched box, no more cells
    // than two an edge. A span or mean that is 0 or not finite gets one
    // column (row), which only costs time.
    const double maxCells = 2.0 * static_cast<double>(n);
    const auto count = [&](double span, double mean) {
        const double c = span / (2.0 * mean);
        return std::isfinite(c) && c > 1.0 ? std::min(c, maxCells) : 1.0;
    };
    double cols = count(maxX - minX, sumW / static_cast<double>(n));
    double rows = count(maxY - minY, sumH / static_cast<double>(n));
    if (cols * rows > maxCells) {
        const double shrink = std::sqrt(cols * rows / maxCells);
        cols = std::max(1.0, cols / shrink);
        rows = std::max(1.0, rows / shrink);
    }
    const auto nx = static_cast<std::size_t>(cols), ny = static_cast<std::size_t>(rows);
    const double spanX = maxX - minX, spanY = maxY - minY;
    const double toCol = nx > 1 && spanX > 0.0 && std::isfinite(spanX) ? static_cast<double>(nx) / spanX : 0.0;
    const double toRow = ny > 1 && spanY > 0.0 && std::isfinite(spanY) ? static_cast<double>(ny) / spanY : 0.0;
    const double lastCol = static_cast<double>(nx - 1), lastRow = static_cast<double>(ny - 1);
    // Non-decreasing in v: a difference, a product by a positive factor, a
    // clamp and a truncation each keep the order. A factor of 0 means one
    // column (row); only then can the difference be infinite. Every v is at
    // or above the least bound, so the clamped product lies in [0, last]
    // and truncates through a signed integer, which takes one instruction.
    const auto col = [&](double v) {
        return toCol == 0.0 ? std::size_t{0}
                            : static_cast<std::size_t>(static_cast<std::int64_t>(std::min((v - minX) * toCol, lastCol)));
    };
    const auto row = [&](double v) {
        return toRow == 0.0 ? std::size_t{0}
                            : static_cast<std::size_t>(static_cast<std::int64_t>(std::min((v - minY) * toRow, lastRow)));
    };
    struct Cells {
        std::size_t c0, c1, r0, r1;
    };
    const auto cellsOf = [&](const EdgeBox& b) {
        return Cells{col(b.xlo), col(b.xhi + reach), row(b.ylo), row(b.yhi + reach)};
    };

    // Counting sort of (cell, edge) entries by cell; the entries of a cell
    // keep the edge order. The counts are summed into the end of each
    // cell's entries, and the edges, taken from the last, are placed from
    // there downwards: start[cell] then holds where the cell's entries
    // begin, start[cells] where they all end.
    const std::size_t cells = nx * ny;
    std::vector<std::uint32_t> start(cells + 1, 0);
    std::size_t entries = 0;
    for (const EdgeBox& b : boxes) {
        const auto [c0, c1, r0, r1] = cellsOf(b);
        entries += (c1 - c0 + 1) * (r1 - r0 + 1);
        if (entries > budget || entries > 0xFFFFFFFFu) {
            return false;
        }
        for (std::size_t r = r0; r <= r1; ++r) {
            for (std::size_t c = c0; c <= c1; ++c) ++start[r * nx + c];
        }
    }
    std::size_t pairs = 0, sum = 0;
    for (std::size_t cell = 0; cell < cells; ++cell) {
        const std::size_t k = start[cell];
        pairs += k * (k - 1) / 2 * static_cast<std::size_t>(k > 1);
        sum += k;
        start[cell] = static_cast<std::uint32_t>(sum);
    }
    start[cells] = static_cast<std::uint32_t>(entries);
    if (pairs > budget) {
        return false;
    }
    std::vector<std::uint32_t> member(entries);
    for (std::size_t g = n; g-- > 0;) {
        const auto [c0, c1, r0, r1] = cellsOf(boxes[g]);
        for (std::size_t r = r0; r <= r1; ++r) {
            for (std::size_t c = c0; c <= c1; ++c) member[--start[r * nx + c]] = static_cast<std::uint32_t>(g);
        }
    }
    for (std::size_t r = 0; r < ny; ++r) {
        for (std::size_t c = 0; c < nx; ++c) {
            const std::size_t cell = r * nx + c;
            for (std::size_t u = start[cell]; u < start[cell + 1]; ++u) {
                const std::uint32_t i = member[u];
                const EdgeBox& a = boxes[i];
                const double axhi = a.xhi + reach, ayhi = a.yhi + reach;
                for (std::size_t v = u + 1; v < start[cell + 1]; ++v) {
                    const std::uint32_t j = member[v];
                    const EdgeBox& b = boxes[j];
                    if (!(a.xlo <= b.xhi + reach && b.xlo <= axhi && a.ylo <= b.yhi + reach && b.ylo <= ayhi)) {
                        continue;
                    }
                    if (col(std::max(a.xlo, b.xlo)) != c || row(std::max(a.ylo, b.ylo)) != r) {
                        continue;  // tested in the corner's cell
                    }
                    if (!pairApart(ends, rings, i, j, reach)) {  // i < j: entries keep the edge order
                        return false;
                    }
                }
            }
        }
    }
    return true;
}

// How apart pairs the edges: the cheaper search for the ring, or one of them.
enum class Pairing { Chosen, Sweep, Grid };

// Rings of this many edges or more go to the grid when a vertical line meets
// more than kGridCrowding edges on average; smaller ones cost the sweep
// little whatever their shape.
inline constexpr std::size_t kGridMinimum = 256;
inline constexpr double kGridCrowding = 16.0;

// The search behind edgesApart and ringsApart: all edges of the closed rings
// at once; two edges are exempt only when they are neighbours in the same
// ring. Every ring has at least 3 vertices. `workPerEdge` bounds the pairs
// (and for the grid also the cell entries) per edge before it gives up.
template <class Point>
bool apart(std::span<const std::span<const Point>> rings, double distance, std::size_t workPerEdge,
           Pairing pairing = Pairing::Chosen) {
    if (!std::isfinite(distance) || distance < 0.0) {
        return false;
    }
    std::size_t n = 0;
    for (const std::span<const Point> ring : rings) {
        if (ring.size() < 3) return false;
        n += ring.size();
    }
    if (n > 0xFFFFFFFFu) {
        return false;
    }
    double largest = distance;
    std::vector<EdgeBox> boxes(n);
    std::vector<Ends<Point>> ends(n);
    std::vector<std::uint32_t> starts;
    starts.reserve(rings.size() + 1);
    std::size_t g = 0;
    double minX = std::numeric_limits<double>::infinity(), maxX = -minX, sumW = 0.0;
    for (const std::span<const Point> ring : rings) {
        const std::size_t m = ring.size();
        starts.push_back(static_cast<std::uint32_t>(g));
        for (std::size_t k = 0; k < m; ++k, ++g) {
            const Point& p = ring[k];
            const Point& q = ring[k + 1 == m ? 0 : k + 1];
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
                return false;
            }
            largest = std::max({largest, std::fabs(p.x), std::fabs(p.y)});
            boxes[g] = {std::min(p.x, q.x), std::max(p.x, q.x), std::min(p.y, q.y), std::max(p.y, q.y)};
            ends[g] = {&p, &q};
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            sumW += boxes[g].xhi - boxes[g].xlo;
        }
    }
    // Box gaps are differences of coordinates: widening the distance by a few
    // units in the last place of the largest one keeps "apart" certain.
    const double reach = distance * (1 + 0x1p-48) + 0x1p-48 * largest;
    if (!std::isfinite(reach)) {
        return false;
    }
    // A dense comb keeps some ten teeth side by side; far more means a ring
    // folded over itself, which the caller searches its own way.
    const std::size_t budget = workPerEdge * n + 64;
    if (pairing == Pairing::Chosen) {
        // The mean number of stretched boxes over a point of the x range.
        const double crowding = (sumW + static_cast<double>(n) * reach) / (maxX - minX + reach);
        pairing = n >= kGridMinimum && crowding > kGridCrowding ? Pairing::Grid : Pairing::Sweep;
    }
    starts.push_back(static_cast<std::uint32_t>(n));
    const RingStarts starting(std::move(starts));
    return pairing == Pairing::Grid ? apartInGrid(boxes, ends, starting, reach, budget)
                                    : apartSwept(boxes, ends, starting, reach, budget);
}

}  // namespace separation_detail

namespace separation_detail {

// A proof without pairing edges, for rings seen from one point in strictly
// turning order (every convex ring and most parcels, from the mean of their
// vertices): when each edge turns the view from the centre c the same way
// and the turns add up to one full turn, edge k covers the angles between
// its ends and nothing else. Two edges that are not neighbours then have a
// whole edge's angle between them on either side, at least the smallest
// angle a of any edge; and every point of every edge lies at least r from c,
// r the least distance of c from an edge. Two points at distances of
// at least r from c and at an angle of at least a (a below a right angle,
// as n >= 4 angles make a full turn) are at least r sin a apart, and the
// maximum norm is at least that over sqrt 2.
//
// Everything is compared squared: r^2 = cross^2 / |edge|^2 (or an end's
// squared distance when the foot of the perpendicular misses the edge) and
// sin^2 a = cross^2 / (|c->p|^2 |c->q|^2) for cross the cross product of
// the two ends as seen from c. Each cross product must be clear of its own
// rounding by a factor of 2^12, so the bound carries a relative error far
// below the 2^-9 it is cut by; the absolute term covers the rounding of the
// coordinates as seen from c. False for every doubt.
//
// viewFromCentre gives the centre and r^2 (cut for its rounding) of a ring
// so proved, none for every doubt.
struct CentreView {
    double cx, cy;
    double leastRadius2;  // no point of an edge lies closer to (cx, cy)
    double largest;       // the largest coordinate of the ring
};

// The sums of the vertex coordinates, in ring order, and the largest
// absolute coordinate: what the proof needs of a first pass.
struct Centre {
    double sumX = 0.0, sumY = 0.0, largest = 0.0;
    void add(double x, double y) {
        sumX += x;
        sumY += y;
        largest = std::max(largest, std::max(std::fabs(x), std::fabs(y)));
    }
};

// least = min(least, num / den), the quotient formed only when its
// cross-multiplied form says it may lower `least` (or that product is too
// small to be trusted). Where the test and the quotient disagree in the last
// place, `least` stays an ulp high, far below what the bounds are cut by.
inline void lowerToQuotient(double& least, double num, double den) {
    const double bound = least * den;
    if (!(num >= bound) || bound < 0x1p-900) {
        least = std::min(least, num / den);
    }
}

template <class Point>
std::optional<CentreView> viewFrom(std::span<const Point> ring, const Centre& centre, double distance);

// Large rings are first looked at through a sample of their vertices.
inline constexpr std::size_t kTurnSampleSteps = 1024;
inline constexpr std::size_t kTurnSampleMinimum = 8 * kTurnSampleSteps;

// Whether a ring of kTurnSampleMinimum vertices or more certainly fails the
// proof from (cx, cy) on the turns alone, told from about kTurnSampleSteps
// of its vertices: one in every `step` (about n / kTurnSampleSteps), in ring order
// and back to vertex 0. The proof sees each vertex as the rounded difference
// from the centre, the same difference formed here. When it holds, the edges
// between those differences all turn one way (say left), each by less than
// half a turn, and together by exactly one turn; a step of the sample then
// turns by the sum of the turns of its edges, more than none and less than a
// full turn, and the steps add up to one turn. Only a step of half a turn or
// more has a cross product that is not positive, and with at least three
// steps at most one step can be that large. So two steps that turn clearly
// left and two that turn clearly right (the floating cross product clear of
// its rounding, as in the proof) rule the proof out, for either way. False
// for every doubt, and for smaller rings; then the proof itself decides.
template <class Point>
bool turnsBothWays(std::span<const Point> ring, double cx, double cy) {
    const std::size_t n = ring.size();
    if (n < kTurnSampleMinimum || !std::isfinite(cx) || !std::isfinite(cy)) {
        return false;
    }
    // Odd, so that a comb's sample does not fall on its notches alone.
    const std::size_t step = (n / kTurnSampleSteps) | 1;
    std::size_t left = 0, right = 0;
    double ax = ring[0].x - cx, ay = ring[0].y - cy;
    for (std::size_t k = step;; k += step) {
        const Point& q = ring[k < n ? k : 0];
        const double bx = q.x - cx, by = q.y - cy;
        const double l = ax * by, r = ay * bx;
        const double cross = l - r;
        const bool clear = std::fabs(cross) > 0x1p-40 * (std::fabs(l) + std::fabs(r));
        left += clear && cross > 0;
        right += clear && cross < 0;
        if (k >= n) {
            break;
        }
        ax = bx;
        ay = by;
    }
    return left >= 2 && right >= 2;
}

template <class Point>
std::optional<CentreView> viewFromEveryEdge(std::span<const Point> ring, const Centre& centre, double distance);

template <class Point>
std::optional<CentreView> viewFromCentre(std::span<const Point> ring, double distance) {
    Centre centre;
    for (const Point& p : ring) {
        centre.add(p.x, p.y);
    }
    return viewFrom(ring, centre, distance);
}

// The proof from a centre gathered by the caller, who passes over the ring
// anyway: add() took every vertex in ring order. A large ring the sample
// rules out costs no pass of its own.
template <class Point>
std::optional<CentreView> viewFrom(std::span<const Point> ring, const Centre& centre, double distance) {
    const auto n = static_cast<double>(ring.size());
    if (turnsBothWays(ring, centre.sumX / n, centre.sumY / n)) {
        return std::nullopt;
    }
    return viewFromEveryEdge(ring, centre, distance);
}

// The proof itself, edge by edge.
template <class Point>
std::optional<CentreView> viewFromEveryEdge(std::span<const Point> ring, const Centre& centre, double distance) {
    const std::size_t n = ring.size();
    if (n < 4 || !std::isfinite(distance) || distance < 0.0) {
        return std::nullopt;
    }
    const double cx = centre.sumX / static_cast<double>(n);
    const double cy = centre.sumY / static_cast<double>(n);
    const double largest = centre.largest;
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(largest)) {
        return std::nullopt;
    }
    // Edges seen edge-on (or too close to tell) and the turning of each edge
    // are counted rather than left at: the loop has no branch that depends
    // on the ring, and a ring that fails has cost one pass.
    double leastSine2 = 1.0, leastRadius2 = std::numeric_limits<double>::infinity();
    std::size_t doubtful = 0, leftTurning = 0, upward = 0, downward = 0;
    double ax = ring[0].x - cx, ay = ring[0].y - cy;
    double a2 = ax * ax + ay * ay;
    for (std::size_t k = 0; k < n; ++k) {
        const Point& q = ring[k + 1 == n ? 0 : k + 1];
        const double bx = q.x - cx, by = q.y - cy;
        const double left = ax * by, right = ay * bx;
        const double cross = left - right;
        doubtful += !(std::fabs(cross) > 0x1p-40 * (std::fabs(left) + std::fabs(right)));
        leftTurning += cross > 0;
        // The turns pass the ray from c towards +x once per full turn: an
        // edge turning left that goes from below c to not below it (or one
        // turning right that goes the other way) crosses that ray.
        upward += ay < 0 && by >= 0;
        downward += ay >= 0 && by < 0;
        const double cross2 = cross * cross;
        const double ex = bx - ax, ey = by - ay;
        const double b2 = bx * bx + by * by;
        lowerToQuotient(leastSine2, cross2, a2 * b2);
        // The nearest point of the edge: an end when the foot of the
        // perpendicular from c falls outside the edge (a nearly radial edge),
        // else the foot. Where rounding puts the foot on the wrong side of an
        // end, the two differ by far less than the bound is cut by.
        // The nearer end is then the lesser of a2 and b2, never more than the
        // end the foot falls beyond. Chosen without a branch: on a ring whose
        // radius wanders (a random walk) the choice flips unpredictably from
        // edge to edge. An end is lowered to as the quotient r2 / 1, r2 exactly.
        const bool beforeStart = ax * ex + ay * ey >= 0, beyondEnd = bx * ex + by * ey <= 0;
        const bool atEnd = beforeStart || beyondEnd;
        const double endRadius2 = std::min(a2, b2);
        lowerToQuotient(leastRadius2, atEnd ? endRadius2 : cross2, atEnd ? 1.0 : ex * ex + ey * ey);
        ax = bx;
        ay = by;
        a2 = b2;
    }
    // Every edge must turn the same way, and the turns must add up to one.
    const std::size_t turns = leftTurning == n ? upward : leftTurning == 0 ? downward : 0;
    if (doubtful != 0 || turns != 1) {
        return std::nullopt;
    }
    const double need = 1.4142135623730951 * (1 + 0x1p-40) * distance + 0x1p-44 * largest;
    if (!(leastRadius2 * leastSine2 * (1 - 0x1p-9) > need * need)) {
        return std::nullopt;
    }
    return CentreView{cx, cy, leastRadius2 * (1 - 0x1p-9), largest};
}

template <class Point>
bool apartSeenFromCentre(std::span<const Point> ring, double distance) {
    return viewFromCentre(ring, distance).has_value();
}

// One ring inside the other with room to spare, both proved from their
// centres: every vertex of `inner`, and so all of it (a disc that holds the
// vertices holds their hull), lies nearer the outer ring's centre than any
// point of the outer ring by more than the distance (times sqrt 2 for the
// maximum norm). The absolute term covers the rounding of the coordinates
// as seen from that centre.
template <class Point>
bool insideWithRoom(std::span<const Point> outer, std::span<const Point> inner, double distance) {
    const auto o = viewFromCentre(outer, distance);
    if (!o || !viewFromCentre(inner, distance)) {
        return false;
    }
    double far2 = 0.0, largest = o->largest;
    for (const Point& p : inner) {
        const double dx = p.x - o->cx, dy = p.y - o->cy;
        far2 = std::max(far2, dx * dx + dy * dy);
        largest = std::max({largest, std::fabs(p.x), std::fabs(p.y)});
    }
    const double need = 1.4142135623730951 * (1 + 0x1p-40) * distance + 0x1p-44 * largest;
    return std::sqrt(o->leastRadius2) - std::sqrt(far2) * (1 + 0x1p-40) > need;
}

}  // namespace separation_detail

// edgesApart with the ring's centre gathered by the caller (Centre::add of
// every vertex in ring order), who passes over the ring anyway; the form
// below gathers it itself.
template <class Point>
bool edgesApart(std::span<const Point> ring, const separation_detail::Centre& centre, double distance,
                std::size_t workPerEdge = 128) {
    if (ring.size() < 4) {
        return false;
    }
    if (separation_detail::viewFrom(ring, centre, distance).has_value()) {
        return true;
    }
    // Large rings of few runs that a vertical line meets a few times each
    // (combs and zigzags along x) are asked by runs first; crowded ones
    // (spirals) go to the grid.
    if (ring.size() >= separation_detail::kRunSeparationMinimum &&
        separation_detail::sampledCrowding(ring) <= separation_detail::kGridCrowding &&
        separation_detail::apartByRuns(ring, distance, workPerEdge * ring.size() + 64)) {
        return true;
    }
    const std::span<const Point> rings[] = {ring};
    return separation_detail::apart<Point>(rings, distance, workPerEdge);
}

template <class Point>
bool edgesApart(std::span<const Point> ring, double distance, std::size_t workPerEdge = 128) {
    if (ring.size() < 4) {
        return false;
    }
    separation_detail::Centre centre;
    for (const Point& p : ring) {
        centre.add(p.x, p.y);
    }
    return edgesApart(ring, centre, distance, workPerEdge);
}

// Whether two closed rings of at least 3 vertices each are simple and keep
// their distance: every two of their edges (within one ring and across the
// two) are more than `distance` apart in x or in y at every pair of their
// points, except neighbours within one ring. The same doubts and budget as
// edgesApart answer "no".
template <class Point>
bool ringsApart(std::span<const Point> a, std::span<const Point> b, double distance, std::size_t workPerEdge = 128) {
    if (separation_detail::insideWithRoom(a, b, distance) || separation_detail::insideWithRoom(b, a, distance)) {
        return true;
    }
    const std::span<const Point> rings[] = {a, b};
    return separation_detail::apart<Point>(rings, distance, workPerEdge);
}

}  // namespace plyvet::geolib
