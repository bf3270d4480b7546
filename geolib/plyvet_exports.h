/* C exports of the helper library Plyvet (libPlyvet.so, Plyvet.dll).
 *
 * Every export is plain C: no exception, no allocation the caller must free,
 * no global state but the version. Pointers a caller passes are checked for
 * null before use. On 32-bit Windows they use the stdcall convention. */
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
extern "C" {
#endif

/* Result record of GISC: the point of a finding. */
typedef struct PlyvetXY {
    double x;
    double y;
} PlyvetXY;

/* Version number, bytes 1.1.0.4 from the most significant: 0x01010004. */
PLYVET_API int32_t PLYVET_CALL GVRS(void);

/* The version as text, bytes in memory order: "4.0.1.1". Static storage. */
PLYVET_API const char* PLYVET_CALL GVSS(void);

/* value rounded to *decimals places (0..17; anything else counts as 18),
 * round half to even, in extended precision. A null pointer counts as 18. */
PLYVET_API double PLYVET_CALL ROUD(double value, const int16_t* decimals);

/* -1 when v lies within [p, q] (either order, both ends inside), else 0. */
PLYVET_API int16_t PLYVET_CALL INRG(double v, double p, double q);

/* -1 when v lies within [p1, q1] and within [p2, q2], else 0. */
PLYVET_API int16_t PLYVET_CALL IIBR(double v, double p1, double q1, double p2, double q2);

/* First place where two edges of the implicitly closed ring meet.
 * ring: n points (x, y). a, b: in, the resume position (0, 0 for a full scan);
 * out, the two edges of the finding. point: out, the point of the finding.
 * Returns 0 (no finding), 2 (edges meet in a point), 3 (collinear overlap),
 * -1 (line records could not be allocated, or an invalid argument). */
PLYVET_API int32_t PLYVET_CALL GISC(const PlyvetXY* ring, int32_t n, int32_t* a, int32_t* b,
                                    PlyvetXY* point);

#ifdef __cplusplus
}
#endif

#endif
