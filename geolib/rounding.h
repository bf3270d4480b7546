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

}  // namespace rounding_detail

// value · 10^d rounded to an integer in the current rounding mode, divided by
// 10^d, in long double; d = decimals for 0..17, else 18.
inline double roundToDecimalsInline(double value, int decimals) noexcept {
    const int d = (decimals >= 0 && decimals < 18) ? decimals : 18;
    const long double scale = rounding_detail::kPowersOfTen[static_cast<std::size_t>(d)];
    // No overflow: the largest double times 10^18 is far inside the long
    // double range, so huge values come back unchanged.
    const long double scaled = static_cast<long double>(value) * scale;
    return static_cast<double>(std::rint(scaled) / scale);
}

}  // namespace plyvet::geolib::core
