/* C exports of the helper library Plyvet (libPlyvet.so, Plyvet.dll).
 *
 * Every export is plain C: no exception, no allocation the caller must free,
 * no global state but the version. Pointers a caller passes are checked for
 * null before use. On 32-bit Windows they use the stdcall convention (the
 * module definition file keeps the names undecorated).
 *
 * Floating-point environment. All arithmetic of the exports runs with
 * rounding to nearest (ties to even), 64-bit-mantissa extended precision for
 * the intermediate values (long double on x86) and every exception masked.
 * Each export that computes sets this up for the duration of the call when
 * the caller's environment differs, and gives the caller's environment back
 * unchanged afterwards (status flags raised inside are dropped). On x86 the
 * library also sets the x87 control word of the loading thread to these
 * fields when it is loaded: see plyvet_fenv.cpp. */
#ifndef PLYVET_EXPORTS_H
#define PLYVET_EXPORTS_H

#include <stdint.h>

#if defined(_WIN32)
#define PLYVET_API __declspec(dllexport)
#define PLYVET_CALL __stdcall
#else
#define PLYVET_API __attribute__((visibility("default")))
#define PLYVET_CALL
#endif

#ifdef __cplusplus
#define PLYVET_NOEXCEPT noexcept
extern "C" {
#else
#define PLYVET_NOEXCEPT
#endif

/* Result record of GISC: the point of a finding. */
typedef struct PlyvetXY {
    double x;
    double y;
} PlyvetXY;

/* Version number, bytes 1.1.0.4 from the most significant: 0x01010004. */
PLYVET_API int32_t PLYVET_CALL GVRS(void) PLYVET_NOEXCEPT;

/* The version as text, bytes in memory order: "4.0.1.1". Static storage. */
PLYVET_API const char* PLYVET_CALL GVSS(void) PLYVET_NOEXCEPT;

/* value rounded to *decimals places (0..17; anything else counts as 18),
 * round half to even, in extended precision: value * 10^d is rounded to an
 * integer and divided by 10^d (10^d is exact). A null pointer counts as 18.
 * Values too large to have decimals come back unchanged; NaN stays NaN. */
PLYVET_API double PLYVET_CALL ROUD(double value, const int16_t* decimals) PLYVET_NOEXCEPT;

/* -1 when v lies within [p, q] (either order, both ends inside), else 0.
 * A NaN anywhere gives 0. */
PLYVET_API int16_t PLYVET_CALL INRG(double v, double p, double q) PLYVET_NOEXCEPT;

/* -1 when v lies within [p1, q1] and within [p2, q2], else 0. */
PLYVET_API int16_t PLYVET_CALL IIBR(double v, double p1, double q1, double p2,
                                    double q2) PLYVET_NOEXCEPT;

/* First place where two edges of the implicitly closed ring meet.
 * ring: n points (x, y); edge k runs from point k to point k + 1, the last
 * edge back to point 0. Only ring[0..n-1] is ever read.
 * a, b: in, the resume position; out, the two edges of the finding.
 *   (0, 0) is a full scan. Any other input resumes: the scan starts with the
 *   pair (a, b), every later first edge with its own successor. A resume
 *   position must satisfy 0 <= a < b <= n; b = n (after the last edge)
 *   continues with the next first edge, a = n - 1 leaves nothing to scan.
 * point: out, the point of the finding.
 * Returns
 *   0  no finding: a and b are set to 0, point is untouched;
 *   2  the edges a and b meet in point (a crossing, a touching, or a vertex
 *      that occurs twice: then a is the edge ending at its first occurrence,
 *      n - 1 when that is point 0, and b the edge ending at the second);
 *   3  the edges a and b are collinear and overlap; point is the middle of
 *      the overlap;
 *  -1  the line records could not be allocated, or an invalid argument:
 *      ring, a, b or point null, n negative, a resume position outside the
 *      rule above. a, b and point are untouched.
 * n = 0 and n = 1 give 0 (no pair of edges). Codes 1 and above 3 are never
 * produced. Comparisons are exact; callers round the input first. */
PLYVET_API int32_t PLYVET_CALL GISC(const PlyvetXY* ring, int32_t n, int32_t* a, int32_t* b,
                                    PlyvetXY* point) PLYVET_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif
