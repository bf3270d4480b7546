// Rounding and the closed-interval test.

#include "geolib/plyvet_core.h"
#include "geolib/rounding.h"


namespace plyvet::geolib::core {

double roundToDecimals(double value, int decimals) noexcept { return roundToDecimalsInline(value, decimals); }

bool withinRange(double v, double p, double q) noexcept {
    if (p == v) return true;
    if (p < v) return q == v || q > v;
    if (p > v) return q == v || q < v;
    return false;
}

}  // namespace plyvet::geolib::core
