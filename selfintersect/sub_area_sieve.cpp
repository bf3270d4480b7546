#include "selfintersect/sub_area_sieve.h"

#include <cmath>

namespace plyvet::selfintersect {

std::optional<std::vector<gis::Ring>> sieveSubAreas(std::vector<gis::Ring> subAreas,
                                                    std::size_t part, CutKind kind,
                                                    const Measure& measure, ObjectLog& log) {
    std::vector<gis::Ring> kept;
    for (gis::Ring& ring : subAreas) {
        if (kind == CutKind::RepeatedVertex && ring.empty()) continue;
        const double area = gis::ringArea(ring);
        if (!std::isfinite(area)) {
            log.write(kind == CutKind::RepeatedVertex ? log.texts().subAreaCannotBeBuilt(part)
                                                      : log.texts().subAreaCouldNotBeBuilt(part));
            return std::nullopt;
        }
        if (kind == CutKind::Crossing && area == 0.0) continue;
        log.write(log.texts().candidateSubArea(part, area));
        if (measure.keeps(area)) {
            log.write(log.texts().keptSubArea(part, area));
            kept.push_back(std::move(ring));
        } else {
            log.write(log.texts().droppedSubArea(part, area));
        }
    }
    return kept;
}

}  // namespace plyvet::selfintersect
