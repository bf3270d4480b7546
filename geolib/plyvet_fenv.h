#pragma once
// The floating-point environment every computing export runs in: rounding to
// nearest (ties to even), 64-bit-mantissa precision for x87 intermediates,
// every exception masked, no flush-to-zero. Internal to the library.

#include <cfenv>
#include <cstdint>

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__i386__) || defined(__x86_64__))
#define PLYVET_X87 1
#if defined(__SSE__)
#include <xmmintrin.h>
#define PLYVET_SSE 1
#endif
#endif

// An empty statement that the compiler must assume reads and changes the
// variable: computations that use it cannot move before it, and those that
// produce it cannot move after it. Keeps inline arithmetic inside a scope.
#if defined(__GNUC__) || defined(__clang__)
#define PLYVET_OPAQUE(variable) __asm__ __volatile__("" : "+m"(variable))
#else
#define PLYVET_OPAQUE(variable) ((void)0)
#endif

namespace plyvet::geolib {

#if defined(PLYVET_X87)
// x87 control word: exception masks (bits 0-5), precision control (8-9,
// 11 = 64-bit mantissa), rounding control (10-11, 00 = nearest). Reserved
// bits and the infinity-control bit (12), which no x87 unit since the 387
// looks at, are left as they are. The wanted fields are those of 0x133F.
inline constexpr std::uint16_t kX87Fields = 0x0F3F;
inline constexpr std::uint16_t kX87Wanted = 0x033F;

inline std::uint16_t readX87ControlWord() noexcept {
    std::uint16_t cw = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(cw));
    return cw;
}

inline void writeX87ControlWord(std::uint16_t cw) noexcept {
    __asm__ __volatile__("fldcw %0" : : "m"(cw) : "memory");
}
#endif

#if defined(PLYVET_SSE)
// MXCSR: DAZ (bit 6), exception masks (7-12), rounding (13-14), FTZ (15).
inline constexpr std::uint32_t kMxcsrFields = 0xFFC0;
inline constexpr std::uint32_t kMxcsrWanted = 0x1F80;
#endif

// Puts the wanted environment in place for the lifetime of the object when the
// caller's differs, and gives the caller's environment back unchanged at the
// end; status flags raised meanwhile are dropped, so a caller that unmasked an
// exception never gets a trap from inside the library. When the caller already
// runs in the wanted environment (the system default) it costs two register
// reads and changes nothing.
//
// On x86 the x87 state is saved with the no-wait FNSTENV, which also masks
// every x87 exception: a flag the caller left pending under an unmasked trap
// cannot fire at the library's first x87 instruction, and comes back with the
// caller's environment at the end, as it would have without the call.
class ExtendedNearestScope {
public:
    ExtendedNearestScope() noexcept {
#if defined(PLYVET_X87)
        const std::uint16_t cw = readX87ControlWord();
        bool fits = (cw & kX87Fields) == kX87Wanted;
#if defined(PLYVET_SSE)
        savedMxcsr_ = _mm_getcsr();
        fits = fits && (savedMxcsr_ & kMxcsrFields) == kMxcsrWanted;
#endif
        if (fits) return;
        restore_ = true;
        __asm__ __volatile__("fnstenv %0" : "=m"(savedX87_));
        writeX87ControlWord(static_cast<std::uint16_t>((cw & ~kX87Fields) | kX87Wanted));
#if defined(PLYVET_SSE)
        _mm_setcsr((savedMxcsr_ & ~kMxcsrFields) | kMxcsrWanted);
#endif
#else
        if (std::fegetround() == FE_TONEAREST || std::feholdexcept(&saved_) != 0) return;
        restore_ = true;
        std::fesetround(FE_TONEAREST);
#endif
    }

    ~ExtendedNearestScope() {
        if (!restore_) return;
#if defined(PLYVET_X87)
        __asm__ __volatile__("fldenv %0" : : "m"(savedX87_) : "memory");
#if defined(PLYVET_SSE)
        _mm_setcsr(savedMxcsr_);
#endif
#else
        std::fesetenv(&saved_);
#endif
    }

    ExtendedNearestScope(const ExtendedNearestScope&) = delete;
    ExtendedNearestScope& operator=(const ExtendedNearestScope&) = delete;

private:
#if defined(PLYVET_X87)
    struct X87Environment {
        std::uint16_t words[14];  // the 28-byte FNSTENV image
    };
    X87Environment savedX87_{};
    std::uint32_t savedMxcsr_ = 0;
#else
    std::fenv_t saved_{};
#endif
    bool restore_ = false;
};

#if defined(PLYVET_X87)
// The same environment for code whose arithmetic is all x87, with no SSE
// instruction computing anything in it: only the x87 control word is looked
// at and put in place. MXCSR cannot change such a result, and reading it
// costs more than the arithmetic of a short export.
class X87NearestScope {
public:
    X87NearestScope() noexcept {
        const std::uint16_t cw = readX87ControlWord();
        if ((cw & kX87Fields) == kX87Wanted) return;
        restore_ = true;
        __asm__ __volatile__("fnstenv %0" : "=m"(saved_));
        writeX87ControlWord(static_cast<std::uint16_t>((cw & ~kX87Fields) | kX87Wanted));
    }
    ~X87NearestScope() {
        if (restore_) __asm__ __volatile__("fldenv %0" : : "m"(saved_) : "memory");
    }
    X87NearestScope(const X87NearestScope&) = delete;
    X87NearestScope& operator=(const X87NearestScope&) = delete;

private:
    struct X87Environment {
        std::uint16_t words[14];  // the 28-byte FNSTENV image, written before it is read
    };
    X87Environment saved_;
    bool restore_ = false;
};
#else
using X87NearestScope = ExtendedNearestScope;
#endif

}  // namespace plyvet::geolib
