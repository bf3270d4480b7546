#pragma once
// The rounding of ROUD, inline so that the export can run it without a call
// (a call between the x87 loads and stores of so short a computation cost
// three times the computation). Internal to the library.

#include <array>
#include <cfloat>
#include <cmath>
#include <cstddef>

namespace plyvet::geolib::core {

#if defined(__i386__) || defined(__x86_64__)
// The rounding relies on the x87 extended format: a product value · 10^d that
// a double cannot hold exactly (0.15 · 10 = 1.4999999999999999445) must not be
// rounded to a half (1.5) before it is rounded to an integer.
static_assert(LDBL_MANT_DIG == 64, "long double must be the x87 extended format");
#endif

namespace rounding_detail {

// 10^0 .. 10^18. Every entry is exact: 10^18 = 2^18 · 5^18 and 5^18 needs 42 bits.
constexpr std::array<long double, 19> makePowersOfTen() {
    std::array<long double, 19> powers{};
    long double p = 1.0L;
    for (auto& entry : powers) {
        entry = p;
        p *= 10.0L;
    }
    return powers;
}

inline constexpr std::array<long double, 19> kPowersOfTen = makePowersOfTen();

#if LDBL_MANT_DIG == 64
// Whether long double arithmetic here really carries 64 mantissa bits: an
// emulator that computes x87 instructions in double precision does not, and
// the rounding by addition below would go wrong there by thousands.
inline bool extendedArithmetic() noexcept {
    static const bool honoured = [] {
        volatile long double one = 1.0L;
        return one + 0x1p-63L != one;
    }();
    return honoured;
}
#endif

}  // namespace rounding_detail

// value · 10^d rounded to the nearest integer (ties to even), divided by
// 10^d, in long double; d = decimals for 0..17, else 18. Runs only in the
// library's environment: rounding to nearest, 64-bit mantissa.
inline double roundToDecimalsInline(double value, int decimals) noexcept {
    const int d = (decimals >= 0 && decimals < 18) ? decimals : 18;
    const long double scale = rounding_detail::kPowersOfTen[static_cast<std::size_t>(d)];
    // No overflow: the largest double times 10^18 is far inside the long
    // double range, so huge values come back unchanged.
    const long double scaled = static_cast<long double>(value) * scale;
#if LDBL_MANT_DIG == 64
    // Below 2^62 in magnitude, adding 1.5 · 2^63 leaves a sum whose last
    // mantissa bit is worth 1, so the addition itself rounds to an integer,
    // to nearest with ties to even, and taking the constant away again is
    // exact: rint without FRNDINT, which costs several times an addition.
    // A zero lost the sign of a small negative value; it and everything
    // large, infinite or NaN take rint. The comparisons are the quiet ones:
    // a NaN must not raise the invalid flag, which rint does not either.
    long double whole = (scaled + 0x1.8p63L) - 0x1.8p63L;
    if (whole == 0.0L || !std::isless(std::fabs(scaled), 0x1p62L) || !rounding_detail::extendedArithmetic())
        whole = std::rint(scaled);
#else
    const long double whole = std::rint(scaled);
#endif
    return static_cast<double>(whole / scale);
}

}  // namespace plyvet::geolib::core
