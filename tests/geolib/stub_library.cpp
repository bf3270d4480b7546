// Test-only library: the version exports of an outdated helper library and
// nothing else, so every other export is missing.

#include "geolib/plyvet_exports.h"

extern "C" {

PLYVET_API int32_t PLYVET_CALL GVRS(void) noexcept { return 0x0100FFFF; }

PLYVET_API const char* PLYVET_CALL GVSS(void) noexcept { return "255.255.0.1"; }

}
