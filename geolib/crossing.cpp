// The crossing search behind GISC: the plain scan for small rings, the
// indexed search for the others. Both give the same answer (the oracle tests
// compare them on generated rings); only the cost differs.

#include "geolib/crossing.h"

namespace plyvet::geolib::core {

std::int32_t findFirstMeeting(std::span<const PlyvetXY> ring, std::int32_t& a, std::int32_t& b,
                              PlyvetXY& point) {
    if (ring.size() < static_cast<std::size_t>(kIndexedSearchMinimum))
        return findFirstMeetingPlain(ring, a, b, point);
    return findFirstMeetingIndexed(ring, a, b, point);
}

}  // namespace plyvet::geolib::core
