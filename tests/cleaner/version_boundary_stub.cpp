// Test-only library: a helper library of exactly the oldest accepted version
// (1.1.0.0), with nothing but the version exports.

#include "geolib/plyvet_exports.h"

extern "C" {

PLYVET_API int32_t PLYVET_CALL GVRS(void) noexcept { return 0x01010000; }

PLYVET_API const char* PLYVET_CALL GVSS(void) noexcept { return "0.0.1.1"; }

}
