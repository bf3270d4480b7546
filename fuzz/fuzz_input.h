#pragma once
// Decoding of fuzzer bytes into the inputs of the fuzz targets, and the
// matching encoders the seed writer uses, so a seed is exactly what a target
// reads back.
//
// Every decoder reads what is there: past the end of the bytes it yields
// zeros, so every byte string is a valid input and the fuzzer never spends
// its time on inputs a target throws away.
//
// Coordinates come from a small palette most of the time (one byte): small
// whole numbers, so that duplicates, collinear runs and exact crossings are
// common, plus the values that break arithmetic (NaN, infinities, 1e308,
// the smallest subnormal, -0). Code 0xFF is followed by 8 raw bytes.

#include "pipeline/gis/geometry.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <string>
#include <vector>

namespace plyvet::fuzz {

class Input {
public:
    explicit Input(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool empty() const { return pos_ >= bytes_.size(); }
    std::size_t remaining() const { return empty() ? 0 : bytes_.size() - pos_; }

    std::uint8_t byte() { return empty() ? 0 : bytes_[pos_++]; }
    std::uint32_t u32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= std::uint32_t{byte()} << (8 * i);
        return v;
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    double rawDouble() {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits |= std::uint64_t{byte()} << (8 * i);
        double v = 0;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }

    // The next `n` bytes (fewer at the end).
    std::span<const std::uint8_t> take(std::size_t n) {
        const std::size_t k = n < remaining() ? n : remaining();
        const auto out = bytes_.subspan(pos_, k);
        pos_ += k;
        return out;
    }
    std::span<const std::uint8_t> rest() { return take(remaining()); }

    double coordinate();

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

// Palette codes of coordinate(); the encoder picks them for these values.
inline constexpr std::uint8_t kCodeNaN = 0xF0;
inline constexpr std::uint8_t kCodePlusInfinity = 0xF1;
inline constexpr std::uint8_t kCodeMinusInfinity = 0xF2;
inline constexpr std::uint8_t kCodeHuge = 0xF3;         // 1e308
inline constexpr std::uint8_t kCodeMinusHuge = 0xF4;    // -1e308
inline constexpr std::uint8_t kCodeSubnormal = 0xF5;    // the smallest positive double
inline constexpr std::uint8_t kCodeMinusZero = 0xF6;
inline constexpr std::uint8_t kCodeRaw = 0xFF;          // 8 bytes follow

// Codes below 0xF0: (code / 16) + (code % 16) / 16, so 0..14.9375 in steps of
// 1/16 (exact in binary), dense enough for equal and nearly equal points.
inline double Input::coordinate() {
    const std::uint8_t c = byte();
    switch (c) {
    case kCodeNaN: return std::numeric_limits<double>::quiet_NaN();
    case kCodePlusInfinity: return std::numeric_limits<double>::infinity();
    case kCodeMinusInfinity: return -std::numeric_limits<double>::infinity();
    case kCodeHuge: return 1e308;
    case kCodeMinusHuge: return -1e308;
    case kCodeSubnormal: return std::numeric_limits<double>::denorm_min();
    case kCodeMinusZero: return -0.0;
    case kCodeRaw: return rawDouble();
    default: break;
    }
    if (c > kCodeNaN) return static_cast<double>(c);  // 0xF7..0xFE: 247..254
    return static_cast<double>(c / 16) + static_cast<double>(c % 16) / 16.0;
}

// Appends the encoding of one coordinate: a palette code when one gives the
// value bit for bit, else the raw 8 bytes.
inline void encodeCoordinate(std::vector<std::uint8_t>& out, double v) {
    for (int c = 0; c < kCodeNaN; ++c) {
        const double p = static_cast<double>(c / 16) + static_cast<double>(c % 16) / 16.0;
        if (p == v && !std::signbit(v)) {
            out.push_back(static_cast<std::uint8_t>(c));
            return;
        }
    }
    out.push_back(kCodeRaw);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof v);
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

inline void encodeU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Polygon: a part count byte (0..31), then per part a point count byte
// (0..255: a part of 0 points is allowed) and its coordinates, x then y.
inline constexpr std::size_t kMaxParts = 31;

inline gis::Polygon decodePolygon(Input& in) {
    gis::Polygon polygon;
    const std::size_t parts = in.byte() % (kMaxParts + 1);
    for (std::size_t k = 0; k < parts; ++k) {
        const std::size_t n = in.byte();
        gis::Ring ring;
        ring.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            const double x = in.coordinate();
            const double y = in.coordinate();
            ring.push_back({x, y});
        }
        polygon.parts.push_back(std::move(ring));
    }
    return polygon;
}

// Parts beyond 31 and points beyond 255 per part are not encoded.
inline void encodePolygon(std::vector<std::uint8_t>& out, const gis::Polygon& polygon) {
    const std::size_t parts = polygon.parts.size() < kMaxParts ? polygon.parts.size() : kMaxParts;
    out.push_back(static_cast<std::uint8_t>(parts));
    for (std::size_t k = 0; k < parts; ++k) {
        const auto& ring = polygon.parts[k];
        const std::size_t n = ring.size() < 255 ? ring.size() : 255;
        out.push_back(static_cast<std::uint8_t>(n));
        for (std::size_t i = 0; i < n; ++i) {
            encodeCoordinate(out, ring[i].x);
            encodeCoordinate(out, ring[i].y);
        }
    }
}

// Three files in one input: two little-endian 32-bit lengths, then the bytes
// of the first file, of the second, and the rest is the third. Lengths larger
// than what is left take what is left.
struct ThreeFiles {
    std::span<const std::uint8_t> first;
    std::span<const std::uint8_t> second;
    std::span<const std::uint8_t> third;
};

inline ThreeFiles decodeThreeFiles(Input& in) {
    const std::uint32_t n1 = in.u32();
    const std::uint32_t n2 = in.u32();
    ThreeFiles f;
    f.first = in.take(n1);
    f.second = in.take(n2);
    f.third = in.rest();
    return f;
}

inline std::vector<std::uint8_t> encodeThreeFiles(const std::string& first, const std::string& second,
                                                  const std::string& third) {
    std::vector<std::uint8_t> out;
    encodeU32(out, static_cast<std::uint32_t>(first.size()));
    encodeU32(out, static_cast<std::uint32_t>(second.size()));
    for (const std::string* s : {&first, &second, &third}) out.insert(out.end(), s->begin(), s->end());
    return out;
}

}  // namespace plyvet::fuzz
