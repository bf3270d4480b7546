#include "cleaner/edge_separation.h"

#include "geolib/edge_separation.h"

namespace plyvet::cleaner_search {

bool edgesApart(const gis::Ring& ring, double distance) {
    return geolib::edgesApart<gis::Point>(ring, distance);
}

RingSurvey::RingSurvey(const gis::Ring& ring) : ring_(ring) {
    for (const gis::Point& p : ring) {
        centre_.add(p.x, p.y);
        zeroIfFinite_ += p.x * 0.0 + p.y * 0.0;
    }
}

bool RingSurvey::edgesApart(double distance) const {
    return geolib::edgesApart<gis::Point>(ring_, centre_, distance);
}

}  // namespace plyvet::cleaner_search
