#pragma once
// Generator of large closed rings for the benchmarks and the crossing-search
// tests: deterministic for a seed, simple (no two edges meet) by construction
// unless a crossing is added, coordinates rounded to a given number of
// decimals as the cleaners round them before a crossing search.

#include "geolib/plyvet_exports.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace plyvet::bench {

enum class Shape {
    Smooth,      // a circle with seven gentle lobes: few long monotone runs
    Star,        // 64 arms drawn with many vertices along each arm
    Spikes,      // one thin spike per two vertices all around a circle
    Spiral,      // a double spiral, in along one arm and out along the other
    Zigzag,      // a dense comb of tall teeth above a straight base
    RandomWalk,  // radius taking a random walk around the centre: short runs
};

std::string_view shapeName(Shape shape);

inline constexpr Shape kAllShapes[] = {Shape::Smooth, Shape::Star,   Shape::Spikes,
                                       Shape::Spiral, Shape::Zigzag, Shape::RandomWalk};

// A ring of n >= 8 points (fewer are raised to 8) whose nearest two points are
// about `spacing` apart, rounded to `decimals` places (none when negative).
// The ring does not repeat its first point.
std::vector<PlyvetXY> makeRing(Shape shape, std::int32_t n, std::uint64_t seed,
                               double spacing = 1.0, int decimals = 3);

// The spiral of makeRing with a given number of turns (at least 1) instead
// of the benchmark's: simple while each turn keeps a few dozen points.
std::vector<PlyvetXY> makeSpiral(std::int32_t n, double turns, double spacing = 1.0, int decimals = 3);

// Moves one vertex a few places before the end so that the edge leaving it
// crosses an edge two places earlier: a ring whose first finding comes late
// in the scan. Round the ring again when it must stay on its decimals.
void addLateCrossing(std::vector<PlyvetXY>& ring);

// The same move at every `every`-th vertex (every >= 4), the first at vertex
// 7: a ring with about n / every crossings spread along it, for the repair
// that cuts one crossing a round.
void addCrossings(std::vector<PlyvetXY>& ring, std::size_t every);

// Rounds every coordinate half to even at `decimals` places.
void roundRing(std::vector<PlyvetXY>& ring, int decimals);

}  // namespace plyvet::bench
