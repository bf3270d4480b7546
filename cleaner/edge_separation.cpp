#include "cleaner/edge_separation.h"

#include "geolib/edge_separation.h"

namespace plyvet::cleaner_search {

bool edgesApart(const gis::Ring& ring, double distance) {
    return geolib::edgesApart<gis::Point>(ring, distance);
}

}  // namespace plyvet::cleaner_search
