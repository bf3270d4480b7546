#pragma once
// A third way to the crossing search's answer, for rings whose edge boxes
// overlap by the thousand although the edges keep apart (thin spikes all
// around one centre): a sweep over X that keeps the edges in vertical order
// and proves almost every pair apart, so that only a few edges are left to
// the shared pair test. Internal to the library and its tests.

#include "geolib/plyvet_core.h"

#include <cstdint>
#include <optional>
#include <span>

namespace plyvet::geolib::core {

// The gap G of the sweep's argument (crossing_sweep.cpp): two edges that lie
// more than G apart vertically, as computed, at every X they share are never
// accepted by the pair test. Nothing when a coordinate is not finite or too
// large to square.
std::optional<double> sweepGap(std::span<const PlyvetXY> ring);

// The plain scan's answer (code, a, b, point), or nothing when the sweep
// gives up: a coordinate that is not finite or too large to square, or more
// edges too close to others for the sweep to vouch for (see crossing_sweep.cpp).
// a, b and point are written only when an answer is returned. Expects
// n >= 4 and a resume position that validResume accepts. Throws
// std::bad_alloc when its tables cannot be allocated.
std::optional<std::int32_t> findFirstMeetingSwept(std::span<const PlyvetXY> ring,
                                                  std::int32_t& a, std::int32_t& b,
                                                  PlyvetXY& point);

}  // namespace plyvet::geolib::core
