// Version queries, rounding and the interval tests, called through the binding
// on the built library.

#include "library_fixture.h"

#include <bit>
#include <cfenv>
#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace plyvet::geolib::test {
namespace {

using HelperNumbers = HelperLibrary;

TEST_F(HelperNumbers, VersionNumberAndText) {
    EXPECT_EQ(gvrs(), kVersion);
    EXPECT_EQ(gvss(), "4.0.1.1");
}

struct RoundCase {
    const char* what;
    double value;
    std::int16_t decimals;
    double expected;
};

TEST_F(HelperNumbers, RoundsToTheGivenDecimals) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<RoundCase> cases = {
        {"plain", 1.23456, 3, 1.235},
        {"exact half to even below", 0.125, 2, 0.12},
        {"exact half to even above", 0.375, 2, 0.38},
        {"half to even 2", 2.5, 0, 2.0},
        {"half to even 4", 3.5, 0, 4.0},
        {"half of zero", 0.5, 0, 0.0},
        {"negative half to even", -2.5, 0, -2.0},
        {"negative half away", -3.5, 0, -4.0},
        {"negative decimals value", -0.125, 2, -0.12},
        {"negative plain", -1.23456, 3, -1.235},
        // The products below are a shade off the half; a double product would
        // round them to the half itself and then to the even neighbour.
        {"extended product below the half", 0.15, 1, 0.1},
        {"extended product above the half", 0.45, 1, 0.5},
        {"extended product above the half 2", 1.05, 1, 1.1},
        {"many digits", 123456789012.345678, 2, 123456789012.35},
        {"integer beyond 2^52", 4503599627370497.0, 0, 4503599627370497.0},
        {"large magnitude", 1e300, 2, 1e300},
        {"largest double at the top count", DBL_MAX, 17, DBL_MAX},
        {"most negative double", -DBL_MAX, 18, -DBL_MAX},
        {"infinity", -inf, 3, -inf},
        {"17 decimals", 1.4e-17, 17, 1e-17},
        {"18 decimals", 1.4e-17, 18, 1.4e-17},
        {"25 counts as 18", 1.4e-17, 25, 1.4e-17},
        {"-1 counts as 18", 1.4e-17, -1, 1.4e-17},
        {"largest count", 1.4e-17, 32767, 1.4e-17},
        {"smallest count", 1.4e-17, -32768, 1.4e-17},
        {"18 decimals drops the rest", 1.6e-18, 25, 2e-18},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(roud(c.value, c.decimals), c.expected)
            << c.what << ": ROUD(" << c.value << ", " << c.decimals << ")";
    }
    EXPECT_TRUE(std::isnan(roud(std::nan(""), 2)));
}

// The rounding against the integer rounding of the extended product (FRNDINT
// in the test's own environment: nearest, 64-bit mantissa), bit for bit, on
// values of every magnitude around the integers, the halves and the zeros:
// the sign of a zero, the switch to plain rounding at 2^62 and the ties.
TEST_F(HelperNumbers, RoundingAgreesWithTheRoundedExtendedProduct) {
    const auto reference = [](double value, int decimals) {
        const int d = decimals >= 0 && decimals < 18 ? decimals : 18;
        long double scale = 1.0L;
        for (int i = 0; i < d; ++i) scale *= 10.0L;
        return static_cast<double>(std::rint(static_cast<long double>(value) * scale) / scale);
    };
    std::vector<double> values = {0.0, -0.0, 0.4, -0.4, 0.5, -0.5, 0.6, -0.6, 1.5, -1.5, 0x1p62, -0x1p62,
                                  0x1p62 - 512, -(0x1p62 - 512), 0x1p63, 0x1.8p63, 4.611686018427387904e18 / 1000};
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    const auto next = [&] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (int i = 0; i < 20000; ++i) {
        // Random mantissa and sign, exponents from tiny to beyond 2^62.
        const std::uint64_t bits = next();
        const int exponent = static_cast<int>(next() % 140) - 70;
        const double mantissa = 1.0 + static_cast<double>(bits >> 12) * 0x1p-52;
        const double v = std::ldexp(bits & 1 ? -mantissa : mantissa, exponent);
        values.push_back(v);
        // Halves and near-halves at a few places.
        const double half = (std::floor(v * 1000.0) + 0.5) / 1000.0;
        values.push_back(half);
        values.push_back(std::nextafter(half, 0.0));
    }
    for (const double v : values) {
        for (const int d : {0, 1, 2, 3, 4, 6, 9, 12, 17, 18}) {
            const double got = roud(v, static_cast<std::int16_t>(d));
            const double want = reference(v, d);
            ASSERT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(want))
                << "ROUD(" << v << ", " << d << ") = " << got << ", want " << want;
        }
    }
    EXPECT_TRUE(std::signbit(roud(-0.0003, 3)));
    EXPECT_TRUE(std::signbit(roud(-0.5, 0)));
}

// Rounding NaN, infinities and huge values raises no invalid-operation flag
// in the caller's environment: a caller that unmasks that trap later must
// not meet a flag the library left pending.
TEST_F(HelperNumbers, RoundingRaisesNoInvalidFlag) {
    ASSERT_EQ(roud(0.15, 1), 0.1);  // bind first
    for (const double v : {std::nan(""), -std::nan(""), std::numeric_limits<double>::infinity(), -DBL_MAX, 0x1p62}) {
        for (const std::int16_t d : {std::int16_t{0}, std::int16_t{3}, std::int16_t{18}}) {
            std::feclearexcept(FE_ALL_EXCEPT);
            const double rounded = roud(v, d);
            const int raised = std::fetestexcept(FE_INVALID);
            EXPECT_EQ(raised, 0) << "ROUD(" << v << ", " << d << ") = " << rounded;
        }
    }
}

// Rounding a ring's points at once gives each coordinate what one call gives
// it, in place, and leaves points past the count alone.
TEST_F(HelperNumbers, RoundingEachPointAgreesWithSingleCalls) {
    std::vector<PlyvetXY> points = {{0.15, -0.15}, {1.0005, 2.0015}, {-0.0003, 123456.7895}, {2.5, 3.5}};
    const std::vector<PlyvetXY> original = points;
    for (const std::int16_t d : {std::int16_t{0}, std::int16_t{1}, std::int16_t{3}}) {
        points = original;
        roudEach(points.data(), 3, d);
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(points[k].x), std::bit_cast<std::uint64_t>(roud(original[k].x, d)));
            EXPECT_EQ(std::bit_cast<std::uint64_t>(points[k].y), std::bit_cast<std::uint64_t>(roud(original[k].y, d)));
        }
        EXPECT_EQ(points[3].x, 2.5);
        EXPECT_EQ(points[3].y, 3.5);
    }
    roudEach(nullptr, 0, 3);  // nothing to round, nothing read
}

// The rounding must not depend on the caller's rounding mode, and the
// caller's mode must be back when the call returns.
TEST_F(HelperNumbers, RoundingIgnoresTheCallersRoundingMode) {
    ASSERT_EQ(roud(2.5, 0), 2.0);  // bind before the mode changes
    for (const int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        ASSERT_EQ(std::fesetround(mode), 0);
        const double even2 = roud(2.5, 0);
        const double even4 = roud(3.5, 0);
        const double negative = roud(-2.5, 0);
        const double extended = roud(0.15, 1);
        const int modeAfter = std::fegetround();
        std::fesetround(FE_TONEAREST);
        EXPECT_EQ(even2, 2.0) << mode;
        EXPECT_EQ(even4, 4.0) << mode;
        EXPECT_EQ(negative, -2.0) << mode;
        EXPECT_EQ(extended, 0.1) << mode;
        EXPECT_EQ(modeAfter, mode);
    }
}

#if defined(__x86_64__) || defined(__i386__)
std::uint16_t x87ControlWord() {
    std::uint16_t cw = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(cw));
    return cw;
}

void setX87ControlWord(std::uint16_t cw) { __asm__ __volatile__("fldcw %0" : : "m"(cw) : "memory"); }

TEST_F(HelperNumbers, RoundingKeepsExtendedPrecisionUnderADoublePrecisionCaller) {
    ASSERT_EQ(roud(0.15, 1), 0.1);
    const std::uint16_t original = x87ControlWord();
    const auto doublePrecision = static_cast<std::uint16_t>((original & ~0x0300) | 0x0200);
    setX87ControlWord(doublePrecision);
    const double rounded = roud(0.15, 1);
    const std::uint16_t after = x87ControlWord();
    setX87ControlWord(original);
    EXPECT_EQ(rounded, 0.1);  // 0.15 · 10 in 53 bits is exactly 1.5, which would give 0.2
    EXPECT_EQ(after, doublePrecision);
}

// The rounding is x87 arithmetic only: a caller's SSE state (rounding
// upwards, denormals as zero, flush to zero) changes no result, and the
// caller's MXCSR is as it was afterwards.
TEST_F(HelperNumbers, RoundingIgnoresTheCallersSseState) {
    const double values[] = {2.5, -2.5, 0.15, 0.45, 1.23456, 123456789012.345678, 5e-324, -1.6e-18, DBL_MAX};
    const int decimals[] = {0, 0, 1, 1, 3, 2, 18, 18, 17};
    constexpr std::size_t kCount = std::size(values);
    double expected[kCount], underSse[kCount];
    for (std::size_t i = 0; i < kCount; ++i) expected[i] = roud(values[i], static_cast<std::int16_t>(decimals[i]));
    const std::uint32_t original = _mm_getcsr();
    const std::uint32_t changed = (original & ~0x6000u) | 0x4000u | 0x8040u;  // upwards, FTZ, DAZ
    _mm_setcsr(changed);
    for (std::size_t i = 0; i < kCount; ++i) underSse[i] = roud(values[i], static_cast<std::int16_t>(decimals[i]));
    const std::uint32_t after = _mm_getcsr();
    _mm_setcsr(original);
    for (std::size_t i = 0; i < kCount; ++i) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(underSse[i]), std::bit_cast<std::uint64_t>(expected[i])) << values[i];
    }
    EXPECT_EQ(expected[0], 2.0);
    EXPECT_EQ(expected[2], 0.1);
    EXPECT_EQ(after, changed);
}

// Loading the library puts the x87 fields in place on the loading thread. A
// fresh copy of the file makes sure its load-time set-up really runs here.
TEST_F(HelperNumbers, LoadingSetsTheX87ControlWordFields) {
    const TempFolder folder;
    const auto copy = folder.path() / "libPlyvetCopy.so";
    std::filesystem::copy_file(binFolder() / "libPlyvet.so", copy);
    const std::uint16_t original = x87ControlWord();
    // round upwards, 24-bit precision, invalid-operation trap unmasked
    setX87ControlWord(static_cast<std::uint16_t>((original & ~0x0F3F) | 0x083E));
    const DlHandle library(dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL));
    const std::uint16_t afterLoad = x87ControlWord();
    setX87ControlWord(original);
    ASSERT_TRUE(library);
    EXPECT_EQ(afterLoad & 0x0F3F, 0x033F);
}
#endif

#if defined(__GLIBC__)
// A caller that unmasked the floating-point traps gets no SIGFPE from inside
// the library, whatever the arithmetic raises there.
TEST_F(HelperNumbers, UnmaskedTrapsDoNotFireInsideTheLibrary) {
    const std::vector<PlyvetXY> ring = {{0, 0}, {1, 3}, {1, 0}, {0, 3.1}};
    const double nan = std::nan("");
    std::int32_t a = 0, b = 0;
    PlyvetXY point{};
    ASSERT_EQ(roud(0.15, 1), 0.1);  // bind everything first: the binding itself is not under test
    ASSERT_FALSE(inrg(1, 2, 3));
    ASSERT_EQ(gisc(ring.data(), 4, a, b, point), 2);

    // The calls above left the x87 inexact flag set: unmasking it makes it
    // pending, and it must not fire at the library's first x87 instruction.
    a = b = 0;
    feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW | FE_UNDERFLOW | FE_INEXACT);
    const double rounded = roud(0.15, 1);
    const double huge = roud(DBL_MAX, 18);
    const bool unordered = inrg(nan, 0, 1);
    const std::int32_t code = gisc(ring.data(), 4, a, b, point);
    std::feclearexcept(FE_ALL_EXCEPT);
    fedisableexcept(FE_ALL_EXCEPT);
    EXPECT_EQ(rounded, 0.1);
    EXPECT_EQ(huge, DBL_MAX);
    EXPECT_FALSE(unordered);
    EXPECT_EQ(code, 2);
}
#endif

TEST_F(HelperNumbers, RoundingWithoutADecimalCountUsesEighteen) {
    const DlHandle library = openBuiltLibrary();
    ASSERT_TRUE(library);
    const auto round = reinterpret_cast<decltype(&::ROUD)>(dlsym(library.get(), "ROUD"));
    ASSERT_NE(round, nullptr);
    EXPECT_EQ(round(1.4e-17, nullptr), 1.4e-17);
    const std::int16_t seventeen = 17;
    EXPECT_EQ(round(1.4e-17, &seventeen), 1e-17);
}

struct RangeCase {
    double v, p, q;
    bool inside;
};

TEST_F(HelperNumbers, ClosedIntervalInEitherOrder) {
    const double nan = std::nan("");
    const std::vector<RangeCase> cases = {
        {5, 10, 0, true},   {10, 10, 0, true}, {0, 10, 0, true},   {-1, 0, 10, false},
        {10, 0, 10, true},  {11, 0, 10, false}, {11, 10, 0, false}, {-1, 10, 0, false},
        {5, 5, 5, true},    {5, 4, 4, false},   {-0.0, 0, 1, true},  {nan, 0, 10, false},
        {5, nan, 10, false}, {5, 0, nan, false}, {5, nan, 5, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(inrg(c.v, c.p, c.q), c.inside) << "INRG(" << c.v << ", " << c.p << ", " << c.q << ")";
    }
}

TEST_F(HelperNumbers, BothIntervalsMustHold) {
    EXPECT_TRUE(iibr(5, 0, 10, 10, 0));
    EXPECT_TRUE(iibr(10, 10, 20, 0, 10));
    EXPECT_FALSE(iibr(5, 0, 10, 6, 10));
    EXPECT_FALSE(iibr(5, 6, 10, 0, 10));
    EXPECT_FALSE(iibr(5, 6, 10, 7, 10));
}

}  // namespace
}  // namespace plyvet::geolib::test
