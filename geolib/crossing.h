#pragma once
// The two implementations of the crossing search behind GISC (see
// plyvet_exports.h for the contract). Both take the same arguments as
// findFirstMeeting in plyvet_core.h and give the same result, code, edges and
// point bit for bit; they differ only in cost. Internal to the library and
// its tests.

#include "geolib/plyvet_core.h"

#include <cstdint>
#include <optional>
#include <span>

namespace plyvet::geolib::core {

// The reference: a quadratic repeated-vertex check while the line records are
// built, then every pair (a, b) in increasing order until the first that
// meets. Throws std::bad_alloc when the n line records cannot be allocated.
std::int32_t findFirstMeetingPlain(std::span<const PlyvetXY> ring, std::int32_t& a,
                                   std::int32_t& b, PlyvetXY& point);

// The same answer in about n log n for rings whose edges are spread out (see
// crossing_index.cpp). Falls back to the plain scan for rings of fewer than 4
// points, with a coordinate that is not finite, or when its own tables cannot
// be allocated; throws std::bad_alloc only when that fallback does. It keeps
// no table of line records (it makes the two of each pair it tests), so when
// memory is short it can still answer where the plain scan gives up.
std::int32_t findFirstMeetingIndexed(std::span<const PlyvetXY> ring, std::int32_t& a,
                                     std::int32_t& b, PlyvetXY& point);

// The plain scan's answer for a spaced ring, one whose edges that share no
// vertex all lie further apart than any pair test can bridge (only
// neighbours can meet there), in one sweep over the edges; nothing when the
// ring is not spaced, has a coordinate that is not finite, or is too folded
// to tell in a few steps per edge. Without `sweep` only the proof from the
// ring's centre is tried (no tables, a few operations per vertex), the
// separation sweep not. a, b and point are written only when an answer is
// returned. Expects n >= 4 and a resume position that validResume accepts.
// Throws std::bad_alloc when its tables cannot be allocated.
std::optional<std::int32_t> findFirstMeetingSpaced(std::span<const PlyvetXY> ring, std::int32_t& a,
                                                   std::int32_t& b, PlyvetXY& point, bool sweep = true);

// The plain scan's answer for a ring that the proof by runs
// (crossing_chains.h) shows to have only neighbouring edges that can meet,
// in one sweep over the edges; nothing when the proof declines. a, b and
// point are written only when an answer is returned. Expects n >= 4 and a
// resume position that validResume accepts. Throws std::bad_alloc when its
// tables cannot be allocated.
std::optional<std::int32_t> findFirstMeetingByRuns(std::span<const PlyvetXY> ring, std::int32_t& a,
                                                   std::int32_t& b, PlyvetXY& point);

// Rings below this many points go straight to the plain scan: the index does
// not pay for itself there.
inline constexpr std::int32_t kIndexedSearchMinimum = 48;

}  // namespace plyvet::geolib::core
