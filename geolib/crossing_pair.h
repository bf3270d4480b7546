#pragma once
// The pieces of the crossing search that every way of enumerating edge pairs
// shares: the line record of an edge, the test of one pair of edges, and the
// resume rule. The plain scan and the indexed search call exactly these, so
// they can only differ in which pairs they look at and in what order.
// Internal to the library.

#include "geolib/plyvet_core.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <span>

namespace plyvet::geolib::core {

// The line through one edge. Slope and intercept are not set for a vertical
// edge (equal X at both ends).
struct LineRecord {
    double slope = 0.0;
    double intercept = 0.0;
    bool vertical = false;
};

struct Finding {
    std::int32_t code;  // kMeetInPoint or kCollinearOverlap
    PlyvetXY point;
};

// The edge from `from` to `to`: slope (from.y - to.y) / (from.x - to.x) and
// intercept from.y - slope * from.x, each rounded once to a double.
LineRecord makeLine(const PlyvetXY& from, const PlyvetXY& to);

// Whether edges ia < ib of the ring meet, with their line records la and lb.
// Adjacency (ib = ia + 1, or ia = 0 and ib = n - 1) is decided from the
// indexes. Pure: reads ring[ia], ring[ia + 1], ring[ib] and the end of edge ib.
std::optional<Finding> testEdgePair(std::span<const PlyvetXY> ring, std::int32_t ia,
                                    std::int32_t ib, const LineRecord& la, const LineRecord& lb);

// A finding with the edges it was made on, ia < ib.
struct PairFinding {
    std::int32_t a, b;
    Finding finding;
};

// Writes the scan's answer, the edges and point of `found`, or a = b = 0 when
// there is none; returns its result code (kNoFinding for none).
std::int32_t reportPairFinding(const std::optional<PairFinding>& found, std::int32_t& a, std::int32_t& b,
                               PlyvetXY& point);

// -1, 0 or 1 as `to` lies below, at or above `from`.
inline int direction(double from, double to) { return (to > from) - (to < from); }

// Whether the line records of the sloped edges p -> q and q -> r surely
// hold different slopes. Each slope is rounded once from a long double
// quotient of long double differences, so it is within 2^-52.9 of the exact
// slope, relatively; exact slopes further apart than 2^-51 of the sum of
// their sizes therefore round apart. Their difference is
// (dya dxb - dyb dxa) / (dxa dxb), and the double evaluation of the numerator
// is within 4.02 * 2^-53 of the sum of the sizes of its two products, which
// stands for that sum; a numerator beyond 2^-48 of it leaves a wide margin.
// Slopes and products far from the ends of the double range only, so that
// neither overflow nor gradual underflow spoils a relative bound.
inline bool slopesSurelyDiffer(const PlyvetXY& p, const PlyvetXY& q, const PlyvetXY& r) {
    const double dxa = q.x - p.x, dya = q.y - p.y, dxb = r.x - q.x, dyb = r.y - q.y;
    const double adxa = std::fabs(dxa), adya = std::fabs(dya), adxb = std::fabs(dxb), adyb = std::fabs(dyb);
    const auto moderate = [](double ady, double adx) {
        return ady <= 0x1p+500 * adx && (ady == 0.0 || ady >= 0x1p-500 * adx);
    };
    if (!moderate(adya, adxa) || !moderate(adyb, adxb)) return false;
    const double first = dya * dxb, second = dyb * dxa;
    const double sizes = std::fabs(first) + std::fabs(second);
    if (!(sizes >= 0x1p-900 && sizes <= 0x1p+900)) return false;
    return std::fabs(first - second) > 0x1p-48 * sizes;
}

// Whether edge k and the edge after it (edge 0 after the last) can meet at
// all. Neighbours only meet when edge k + 1 runs back over edge k: both
// vertical with opposite directions in Y, or on one line record with
// opposite directions in X (with X running on, the shared end point is a
// touching of neighbours). Sloped neighbours whose slopes surely differ are
// on two line records, and the pair test finds nothing for them.
// Inline: the scans ask it for every vertex.
inline bool neighboursMayMeet(std::span<const PlyvetXY> ring, std::int32_t k) {
    const auto n = static_cast<std::int32_t>(ring.size());
    const std::int32_t k1 = k + 1 < n ? k + 1 : 0;
    const std::int32_t k2 = k1 + 1 < n ? k1 + 1 : 0;
    const PlyvetXY& p = ring[k];
    const PlyvetXY& q = ring[k1];
    const PlyvetXY& r = ring[k2];
    const int sx1 = direction(p.x, q.x), sx2 = direction(q.x, r.x);
    if (sx1 == 0 && sx2 == 0) return direction(p.y, q.y) != direction(q.y, r.y);
    return sx1 == -sx2 && !slopesSurelyDiffer(p, q, r);
}

// A resume position the scan can start from: (0, 0), or 0 <= a < b <= n.
bool validResume(std::int32_t a, std::int32_t b, std::int32_t n);

// The first vertex that repeats an earlier one, found by comparing every
// vertex with all earlier ones (quadratic). Exact comparison of X and Y, so
// -0.0 equals 0.0 and a NaN coordinate never matches.
struct RepeatedVertex {
    std::int32_t first;   // m, the earliest vertex equal to `second`
    std::int32_t second;  // k, the earliest vertex that repeats one before it
};
std::optional<RepeatedVertex> firstRepeatedVertexPlain(std::span<const PlyvetXY> ring);

// The same answer through a hash table of first occurrences (linear time).
// Throws std::bad_alloc when the table cannot be allocated.
std::optional<RepeatedVertex> firstRepeatedVertexHashed(std::span<const PlyvetXY> ring);

// Writes the finding of a repeated vertex: the edge ending at its first
// occurrence (n - 1 for vertex 0) meets the edge ending at the second.
std::int32_t reportRepeatedVertex(const RepeatedVertex& found, std::int32_t n, std::int32_t& a,
                                  std::int32_t& b, PlyvetXY& point, std::span<const PlyvetXY> ring);

}  // namespace plyvet::geolib::core
