#pragma once
// The algorithms behind the C exports, free of the C boundary: no argument
// checks for null, no floating-point environment handling (the exports set up
// rounding to nearest and extended precision before they call in here).
// Internal to the library; the program reaches them only through the exports.
//
// They live in their own translation units on purpose: the compiler must not
// move their arithmetic across the environment switch in the exports. (The
// one exception, the rounding of ROUD, is inline there between empty
// statements that pin it inside the switch; see rounding.h.)

#include "geolib/plyvet_exports.h"

#include <array>
#include <cstdint>
#include <span>

namespace plyvet::geolib::core {

inline constexpr std::int32_t kVersion = 0x01010004;

// The version's four bytes, least significant first, in decimal, joined by
// "." ("4.0.1.1" for 1.1.0.4). Built at compile time into static storage.
struct VersionText {
    std::array<char, 16> text{};
};

constexpr VersionText makeVersionText(std::uint32_t version) {
    VersionText out;
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        const unsigned byte = (version >> (8 * i)) & 0xFFu;
        if (i > 0) out.text[pos++] = '.';
        if (byte >= 100) out.text[pos++] = static_cast<char>('0' + byte / 100);
        if (byte >= 10) out.text[pos++] = static_cast<char>('0' + byte / 10 % 10);
        out.text[pos++] = static_cast<char>('0' + byte % 10);
    }
    out.text[pos] = '\0';
    return out;
}

inline constexpr VersionText kVersionText = makeVersionText(static_cast<std::uint32_t>(kVersion));

// value · 10^d rounded to an integer in the current rounding mode, divided by
// 10^d, in long double; d = decimals for 0..17, else 18.
double roundToDecimals(double value, int decimals) noexcept;

// v within [p, q], both ends inside, either order; false when unordered (NaN).
bool withinRange(double v, double p, double q) noexcept;

// Result codes of the crossing search.
inline constexpr std::int32_t kNoFinding = 0;
inline constexpr std::int32_t kMeetInPoint = 2;
inline constexpr std::int32_t kCollinearOverlap = 3;
inline constexpr std::int32_t kFailure = -1;

// The crossing search on ring (see GISC in plyvet_exports.h for the contract).
// a, b, point are only written when the result is not kFailure. Throws
// std::bad_alloc when the line records cannot be allocated.
std::int32_t findFirstMeeting(std::span<const PlyvetXY> ring, std::int32_t& a, std::int32_t& b,
                              PlyvetXY& point);

}  // namespace plyvet::geolib::core
