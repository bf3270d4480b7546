#pragma once
// The first vertex of a ring that the ring passes again later: the smallest
// a for which some b > a + 1 has identical(ring[a], ring[b]). The repair cuts
// the ring there.
//
// firstComingBack hands identical() only the vertices within the measure's
// reach of each other (a hashed grid over the ring), in the plain loop's
// order, so it finds what firstComingBackPlain finds at a few look-ups a
// vertex instead of a comparison with every later vertex.

#include "pipeline/gis/geometry.h"
#include "selfintersect/cleaning_context.h"

#include <cstddef>
#include <optional>

namespace plyvet::selfintersect {

std::optional<std::size_t> firstComingBack(const gis::Ring& ring, const Measure& measure);
std::optional<std::size_t> firstComingBackPlain(const gis::Ring& ring, const Measure& measure);

}  // namespace plyvet::selfintersect
