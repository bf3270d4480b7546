#pragma once
// Repairing one ring without repeated vertices at the first place where two
// of its edges meet, as the helper library's crossing search (GISC) finds it
// on the ring's rounded coordinates:
//
// - edges meeting in a point K: the ring is cut at K into two sub-areas
//   (the stretch up to K and after the second edge, and the loop between the
//   two edges), each starting or ending at K rounded; vertices within the
//   identity threshold of K are not kept beside it. Sub-areas of area 0 are
//   passed over silently, slivers are dropped (both logged, see
//   sub_area_sieve.h). The result may have no part at all.
// - collinear edges sharing a stretch: the vertex nearest the stretch's end
//   (the highest-indexed one within the threshold of it) is removed, with
//   three log lines. Edges that turn out to share nothing on the unrounded
//   coordinates let the search go on after them; edges that share only a
//   point leave the ring as it is.
//
// One call repairs at most one spot; the ring comes back unchanged (as a
// one-part polygon) when there is nothing to do or nothing that can be done.
// Raises a RuntimeError (kCrossingSearchFailed) when the search reports a
// failure, and passes on the helper library's errors.

#include "pipeline/gis/geometry.h"
#include "selfintersect/cleaning_context.h"

#include <cstddef>

namespace plyvet::selfintersect {

gis::Polygon buildSubAreas(const gis::Ring& ring, std::size_t part, const Measure& measure,
                           ObjectLog& log);

}  // namespace plyvet::selfintersect
