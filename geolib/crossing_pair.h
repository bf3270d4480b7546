#pragma once
// The pieces of the crossing search that every way of enumerating edge pairs
// shares: the line record of an edge, the test of one pair of edges, and the
// resume rule. The plain scan and the indexed search call exactly these, so
// they can only differ in which pairs they look at and in what order.
// Internal to the library.

#include "geolib/plyvet_core.h"

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
