// The C boundary of the helper library: argument checks, the floating-point
// environment of each call, and the guarantee that no exception leaves.

#include "geolib/plyvet_exports.h"

#include "geolib/plyvet_core.h"
#include "geolib/plyvet_fenv.h"
#include "geolib/rounding.h"

#include <span>

namespace core = plyvet::geolib::core;
using plyvet::geolib::ExtendedNearestScope;
using plyvet::geolib::X87NearestScope;

namespace {

constexpr std::int16_t kTrue = -1;
constexpr std::int16_t kFalse = 0;
constexpr int kDefaultDecimals = 18;  // what a missing or out-of-range count means

}  // namespace

extern "C" {

PLYVET_API int32_t PLYVET_CALL GVRS(void) noexcept { return core::kVersion; }

PLYVET_API const char* PLYVET_CALL GVSS(void) noexcept { return core::kVersionText.text.data(); }

PLYVET_API double PLYVET_CALL ROUD(double value, const int16_t* decimals) noexcept {
    const int d = decimals != nullptr ? *decimals : kDefaultDecimals;
    const X87NearestScope scope;
    // The rounding runs inline (all x87, see rounding.h). The empty
    // statements pin it inside the scope: the value counts as unknown until
    // the environment is set, and the result must exist before it is undone.
    PLYVET_OPAQUE(value);
    double rounded = core::roundToDecimalsInline(value, d);
    PLYVET_OPAQUE(rounded);
    return rounded;
}

PLYVET_API int16_t PLYVET_CALL INRG(double v, double p, double q) noexcept {
    const ExtendedNearestScope scope;
    return core::withinRange(v, p, q) ? kTrue : kFalse;
}

PLYVET_API int16_t PLYVET_CALL IIBR(double v, double p1, double q1, double p2,
                                    double q2) noexcept {
    const ExtendedNearestScope scope;
    return core::withinRange(v, p1, q1) && core::withinRange(v, p2, q2) ? kTrue : kFalse;
}

PLYVET_API int32_t PLYVET_CALL GISC(const PlyvetXY* ring, int32_t n, int32_t* a, int32_t* b,
                                    PlyvetXY* point) noexcept {
    if (ring == nullptr || a == nullptr || b == nullptr || point == nullptr || n < 0)
        return core::kFailure;
    try {
        const ExtendedNearestScope scope;
        return core::findFirstMeeting(std::span(ring, static_cast<std::size_t>(n)), *a, *b,
                                      *point);
    } catch (...) {
        // Only the allocation of the line records can throw, before any output is written.
        return core::kFailure;
    }
}

}  // extern "C"
