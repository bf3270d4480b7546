// The library's floating-point set-up at load.
//
// On x86 the loading thread's x87 control word gets the library's fields:
// round to nearest, 64-bit-mantissa precision, all exceptions masked (0x133F
// in its meaningful bits). That is the state Linux starts every thread in, so
// for a host that kept the default loading the library changes nothing; the
// x87 unit only does long double arithmetic there. The SSE unit (MXCSR),
// which does the host's double arithmetic, is not touched at load: changing it
// behind the host's back would not be harmless. Other threads, and hosts that
// change the environment later, are covered by each export, which sets up the
// same environment for its own duration (ExtendedNearestScope).
//
// Elsewhere (no x87, or a compiler without GNU inline assembly) nothing is done
// at load; the exports still force rounding to nearest per call.

#include "geolib/plyvet_fenv.h"

#if defined(PLYVET_X87)
namespace {

__attribute__((constructor)) void setX87ControlWordAtLoad() {
    using namespace plyvet::geolib;
    writeX87ControlWord(
        static_cast<std::uint16_t>((readX87ControlWord() & ~kX87Fields) | kX87Wanted));
}

}  // namespace
#endif
