// The test of one pair of edges and the other pieces both crossing scans share.
//
// Precision: every named quantity (slopes, intercepts, crossing coordinates)
// is a double, as the comparisons see it; each expression that produces one
// is evaluated in long double (x87 extended on x86) and rounded once when
// stored. The interval tests therefore compare doubles only.

#include "geolib/crossing_pair.h"

#include <algorithm>
#include <bit>
#include <utility>
#include <vector>

namespace plyvet::geolib::core {

namespace {

using Real = long double;

bool within(double v, double p, double q) { return withinRange(v, p, q); }

// The tighter test of the first crossing check: v equals the second value, or
// exactly one of the two values lies below v. The first value counts as
// inside only when the second lies below v.
bool towardSecond(double v, double first, double second) {
    return v == second || ((first < v) != (second < v));
}

int sign(double v) { return (v > 0.0) - (v < 0.0); }

// Two lines through two points each, in two-point form; a vertical line takes
// its X directly. Nothing when the lines are parallel.
std::optional<PlyvetXY> intersectLines(const PlyvetXY& p1, const PlyvetXY& p2, const PlyvetXY& p3,
                                       const PlyvetXY& p4) {
    const bool vertical1 = p1.x == p2.x;
    const bool vertical2 = p3.x == p4.x;
    if (vertical1 && vertical2) return std::nullopt;
    Real m1 = 0, c1 = 0, m2 = 0, c2 = 0;
    if (!vertical1) {
        m1 = (Real{p1.y} - p2.y) / (Real{p1.x} - p2.x);
        c1 = (Real{p1.x} * p2.y - Real{p1.y} * p2.x) / (Real{p1.x} - p2.x);
    }
    if (!vertical2) {
        m2 = (Real{p3.y} - p4.y) / (Real{p3.x} - p4.x);
        c2 = (Real{p3.x} * p4.y - Real{p3.y} * p4.x) / (Real{p3.x} - p4.x);
    }
    Real x, y;
    if (vertical1) {
        x = p1.x;
        y = m2 * x + c2;
    } else if (vertical2) {
        x = p3.x;
        y = m1 * x + c1;
    } else {
        if (m1 == m2) return std::nullopt;
        x = (c2 - c1) / (m1 - m2);
        y = m1 * x + c1;
    }
    return PlyvetXY{static_cast<double>(x), static_cast<double>(y)};
}

PlyvetXY midpoint(const PlyvetXY& s, const PlyvetXY& e) {
    return {static_cast<double>(Real{s.x} + (Real{e.x} - s.x) / 2),
            static_cast<double>(Real{s.y} + (Real{e.y} - s.y) / 2)};
}

// One pair of edges: A1 -> A2 (edge a), B1 -> B2 (edge b), a < b.
class PairTest {
public:
    PairTest(const PlyvetXY& a1, const PlyvetXY& a2, const LineRecord& la, const PlyvetXY& b1,
             const PlyvetXY& b2, const LineRecord& lb, bool adjacent, bool followsA,
             bool closesRing)
        : a1_(a1), a2_(a2), b1_(b1), b2_(b2), la_(la), lb_(lb), adjacent_(adjacent),
          followsA_(followsA), closesRing_(closesRing) {}

    std::optional<Finding> run() const {
        if (la_.vertical && lb_.vertical) return bothVertical();
        if (la_.vertical) return oneVertical(a1_, a2_, b1_, b2_, lb_);
        if (lb_.vertical) return oneVertical(b1_, b2_, a1_, a2_, la_);
        if (la_.slope != lb_.slope) return differentSlopes();
        return sameSlope();
    }

private:
    // Two vertical edges on one X that share some stretch. A neighbour counts
    // only when it runs back over the other edge, not when it continues it.
    std::optional<Finding> bothVertical() const {
        if (b1_.x != a1_.x) return std::nullopt;
        if (!(within(b1_.y, a1_.y, a2_.y) || within(b2_.y, a1_.y, a2_.y) ||
              within(a1_.y, b1_.y, b2_.y) || within(a2_.y, b1_.y, b2_.y)))
            return std::nullopt;
        if (followsA_ && sign(b1_.y - b2_.y) != sign(a2_.y - a1_.y)) return std::nullopt;
        if (closesRing_ && sign(a1_.y - a2_.y) != sign(b2_.y - b1_.y)) return std::nullopt;
        // The middle of the common stretch, as for edges on one sloped line:
        // from the higher of the two lower ends to the lower of the two upper
        // ends. (Taking the lower end of edge a and whichever end of edge b lies
        // on a would put the point off the overlap, even off both edges, when
        // edge b contains edge a or edge a runs downwards.)
        const double aLow = std::min(a1_.y, a2_.y), aHigh = std::max(a1_.y, a2_.y);
        const double bLow = std::min(b1_.y, b2_.y), bHigh = std::max(b1_.y, b2_.y);
        const double low = std::max(aLow, bLow), high = std::min(aHigh, bHigh);
        return Finding{kCollinearOverlap, midpoint({a1_.x, low}, {a1_.x, high})};
    }

    // Edge v1 -> v2 vertical, edge s1 -> s2 with the line record s not.
    std::optional<Finding> oneVertical(const PlyvetXY& v1, const PlyvetXY& v2, const PlyvetXY& s1,
                                       const PlyvetXY& s2, const LineRecord& s) const {
        const double y = static_cast<double>(Real{s.slope} * v1.x + s.intercept);
        if (within(v1.x, s1.x, s2.x) && within(y, v1.y, v2.y) && within(y, s1.y, s2.y) &&
            !adjacent_)
            return Finding{kMeetInPoint, {v1.x, y}};
        return std::nullopt;
    }

    std::optional<Finding> differentSlopes() const {
        const double x = static_cast<double>((Real{lb_.intercept} - la_.intercept) /
                                             (Real{la_.slope} - lb_.slope));
        if (!within(x, a1_.x, a2_.x) || !within(x, b1_.x, b2_.x) || adjacent_) return std::nullopt;

        // The second intersection from the end points themselves. It cannot
        // find the lines parallel when the line records did not (same end
        // points, same formula); should it ever, the first intersection
        // stands in rather than a value left over from an earlier pair.
        const PlyvetXY point = intersectLines(a1_, a2_, b1_, b2_)
                                   .value_or(PlyvetXY{x, static_cast<double>(
                                                             Real{la_.slope} * x + la_.intercept)});
        if (within(point.y, a1_.y, a2_.y) && towardSecond(point.y, b1_.y, b2_.y) &&
            towardSecond(point.x, a1_.x, a2_.x) && towardSecond(point.x, b1_.x, b2_.x))
            return Finding{kMeetInPoint, point};

        // A touching at an end point, or noise in the last place: accept the
        // point when it lies on both edges at 4 decimals.
        auto r = [](double v) { return roundToDecimals(v, 4); };
        const double px = r(point.x), py = r(point.y);
        if (within(px, r(a1_.x), r(a2_.x)) && within(px, r(b1_.x), r(b2_.x)) &&
            within(py, r(a1_.y), r(a2_.y)) && within(py, r(b1_.y), r(b2_.y)))
            return Finding{kMeetInPoint, point};
        return std::nullopt;
    }

    // Both edges on lines of one slope: only one common line matters.
    std::optional<Finding> sameSlope() const {
        if (la_.intercept != lb_.intercept) return std::nullopt;
        if (!(within(a2_.x, b1_.x, b2_.x) || within(b1_.x, a1_.x, a2_.x) ||
              within(a1_.x, b1_.x, b2_.x) || within(b2_.x, a1_.x, a2_.x)))
            return std::nullopt;
        // End points ordered by X; on equal X the second end point is the lower one.
        const auto [aLo, aHi] = a1_.x < a2_.x ? std::pair{a1_, a2_} : std::pair{a2_, a1_};
        const auto [bLo, bHi] = b1_.x < b2_.x ? std::pair{b1_, b2_} : std::pair{b2_, b1_};

        if (aHi.x < bLo.x) return std::nullopt;
        if (aHi.x == bLo.x) return touching(aHi);
        if (bHi.x < aLo.x) return std::nullopt;
        if (bHi.x == aLo.x) return touching(bHi);

        // A common stretch; neighbours that fold back over each other count too.
        const PlyvetXY& s = within(aLo.x, bLo.x, bHi.x) ? aLo : bLo;
        const PlyvetXY& e = within(aHi.x, bLo.x, bHi.x) ? aHi : bHi;
        return Finding{kCollinearOverlap, midpoint(s, e)};
    }

    std::optional<Finding> touching(const PlyvetXY& p) const {
        if (adjacent_) return std::nullopt;
        return Finding{kMeetInPoint, p};
    }

    const PlyvetXY& a1_;
    const PlyvetXY& a2_;
    const PlyvetXY& b1_;
    const PlyvetXY& b2_;
    const LineRecord& la_;
    const LineRecord& lb_;
    bool adjacent_;    // the edges share a vertex position
    bool followsA_;    // b = a + 1
    bool closesRing_;  // a = 0 and b = n - 1
};

}  // namespace

LineRecord makeLine(const PlyvetXY& from, const PlyvetXY& to) {
    LineRecord line;
    if (from.x == to.x) {
        line.vertical = true;
        return line;
    }
    line.slope = static_cast<double>((Real{from.y} - to.y) / (Real{from.x} - to.x));
    line.intercept = static_cast<double>(Real{from.y} - Real{line.slope} * from.x);
    return line;
}

// Kept out of line on purpose: both scans run this one compiled body, so no
// inlining can give one of them a different evaluation of the same pair.
[[gnu::noinline]] std::optional<Finding> testEdgePair(std::span<const PlyvetXY> ring,
                                                      std::int32_t ia, std::int32_t ib,
                                                      const LineRecord& la,
                                                      const LineRecord& lb) {
    const auto n = static_cast<std::int32_t>(ring.size());
    const std::int32_t ib2 = ib + 1 < n ? ib + 1 : 0;
    const bool followsA = ib == ia + 1;
    const bool closesRing = ia == 0 && ib == n - 1;
    const PairTest pair(ring[ia], ring[ia + 1], la, ring[ib], ring[ib2], lb,
                        followsA || closesRing, followsA, closesRing);
    return pair.run();
}

bool validResume(std::int32_t a, std::int32_t b, std::int32_t n) {
    if (a < 0 || b < 0) return false;
    if (a == 0 && b == 0) return true;
    // b <= a would pair an edge with itself or with an earlier edge whose
    // shared vertex the adjacency rule does not know.
    return a < b && b <= n;
}


std::optional<RepeatedVertex> firstRepeatedVertexPlain(std::span<const PlyvetXY> ring) {
    const auto n = static_cast<std::int32_t>(ring.size());
    for (std::int32_t k = 0; k < n; ++k)
        for (std::int32_t m = 0; m < k; ++m)
            if (ring[m].x == ring[k].x && ring[m].y == ring[k].y) return RepeatedVertex{m, k};
    return std::nullopt;
}

namespace {

// Bits of a coordinate for hashing, with -0.0 folded onto 0.0 so that values
// that compare equal hash equal.
std::uint64_t coordinateBits(double v) { return std::bit_cast<std::uint64_t>(v == 0.0 ? 0.0 : v); }

std::uint64_t pointHash(const PlyvetXY& p) {
    std::uint64_t h = coordinateBits(p.x) * 0x9E3779B97F4A7C15ull;
    h ^= coordinateBits(p.y) + 0x7F4A7C159E3779B9ull + (h << 6) + (h >> 2);
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 29);
}

}  // namespace

std::optional<RepeatedVertex> firstRepeatedVertexHashed(std::span<const PlyvetXY> ring) {
    const auto n = static_cast<std::int32_t>(ring.size());
    // Open addressing, at most half full; slots hold the index of a first
    // occurrence, -1 when empty. Only first occurrences go in, so the slot
    // that matches vertex k names the earliest vertex equal to it.
    std::size_t capacity = 16;
    while (capacity < 2 * ring.size()) capacity *= 2;
    std::vector<std::int32_t> slots(capacity, -1);
    const std::size_t mask = capacity - 1;
    for (std::int32_t k = 0; k < n; ++k) {
        const PlyvetXY& p = ring[k];
        if (p.x != p.x || p.y != p.y) continue;  // NaN equals nothing, not even itself
        for (std::size_t slot = pointHash(p) & mask;; slot = (slot + 1) & mask) {
            const std::int32_t m = slots[slot];
            if (m < 0) {
                slots[slot] = k;
                break;
            }
            if (ring[m].x == p.x && ring[m].y == p.y) return RepeatedVertex{m, k};
        }
    }
    return std::nullopt;
}

std::int32_t reportPairFinding(const std::optional<PairFinding>& found, std::int32_t& a, std::int32_t& b,
                               PlyvetXY& point) {
    if (!found) {
        a = 0;
        b = 0;
        return kNoFinding;
    }
    a = found->a;
    b = found->b;
    point = found->finding.point;
    return found->finding.code;
}

std::int32_t reportRepeatedVertex(const RepeatedVertex& found, std::int32_t n, std::int32_t& a,
                                  std::int32_t& b, PlyvetXY& point,
                                  std::span<const PlyvetXY> ring) {
    point = ring[found.second];
    a = found.first == 0 ? n - 1 : found.first - 1;
    b = found.second - 1;
    return kMeetInPoint;
}

}  // namespace plyvet::geolib::core
