#pragma once
// A proof that only ring neighbours can meet, for rings made of few runs
// along which X keeps one direction (combs along X, spirals, wavy outlines):
// a sweep over the runs instead of the edges, which walks each run's vertices
// in X order against the runs just above and below it. Internal to the
// library and its tests.

#include "geolib/plyvet_core.h"

#include <span>

namespace plyvet::geolib::core {

// True only when no two edges that share no vertex lie as close as the pair
// test could accept (vertically within sweepGap at an X they share, see
// crossing_sweep.cpp) and no vertex repeats another. False on every doubt, on
// a zero-length edge, on a coordinate that is not finite or too large, and on
// rings of many short runs, where the proof would cost more than it saves.
// Expects n >= 4. Throws std::bad_alloc when its tables cannot be allocated.
bool onlyNeighboursMeetByRuns(std::span<const PlyvetXY> ring);

}  // namespace plyvet::geolib::core
