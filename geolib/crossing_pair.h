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

// What the tests below use of one edge p -> q, formed once where a loop
// hands it on from one vertex to the next.
struct EdgeTurn {
    double dx, dy;  // q - p
    int sx, sy;     // direction(p, q) in X and in Y
    bool moderate;  // slope far from the ends of the double range (see below)
};

inline EdgeTurn edgeTurn(const PlyvetXY& p, const PlyvetXY& q) {
    const double dx = q.x - p.x, dy = q.y - p.y;
    const double adx = std::fabs(dx), ady = std::fabs(dy);
    return {dx, dy, direction(p.x, q.x), direction(p.y, q.y),
            ady <= 0x1p+500 * adx && (ady == 0.0 || ady >= 0x1p-500 * adx)};
}

// Whether the line records of the sloped edges a (p -> q) and b (q -> r) surely
// hold different slopes. Each slope is rounded once from a long double
// quotient of long double differences, so it is within 2^-52.9 of the exact
// slope, relatively; exact slopes further apart than 2^-51 of the sum of
// their sizes therefore round apart. Their difference is
// (dya dxb - dyb dxa) / (dxa dxb), and the double evaluation of the numerator
// is within 4.02 * 2^-53 of the sum of the sizes of its two products, which
// stands for that sum; a numerator beyond 2^-48 of it leaves a wide margin.
// Slopes and products far from the ends of the double range only, so that
// neither overflow nor gradual underflow spoils a relative bound.
inline bool slopesSurelyDiffer(const EdgeTurn& a, const EdgeTurn& b) {
    if (!a.moderate || !b.moderate) return false;
    const double first = a.dy * b.dx, second = b.dy * a.dx;
    const double sizes = std::fabs(first) + std::fabs(second);
    if (!(sizes >= 0x1p-900 && sizes <= 0x1p+900)) return false;
    return std::fabs(first - second) > 0x1p-48 * sizes;
}

// Whether edge a and the edge b after it can meet at all. Neighbours only
// meet when edge b runs back over edge a: both vertical with opposite
// directions in Y, or on one line record with opposite directions in X (with
// X running on, the shared end point is a touching of neighbours). Sloped
// neighbours whose slopes surely differ are on two line records, and the
// pair test finds nothing for them.
inline bool neighboursMayMeet(const EdgeTurn& a, const EdgeTurn& b) {
    if (a.sx == 0 && b.sx == 0) return a.sy != b.sy;
    return a.sx == -b.sx && !slopesSurelyDiffer(a, b);
}

// The same for edge k of the ring and the edge after it (edge 0 after the
// last). Inline: the scans ask it for every vertex.
inline bool neighboursMayMeet(std::span<const PlyvetXY> ring, std::int32_t k) {
    const auto n = static_cast<std::int32_t>(ring.size());
    const std::int32_t k1 = k + 1 < n ? k + 1 : 0;
    const std::int32_t k2 = k1 + 1 < n ? k1 + 1 : 0;
    return neighboursMayMeet(edgeTurn(ring[k], ring[k1]), edgeTurn(ring[k1], ring[k2]));
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
