#include "cleaner/edge_meeting.h"

#include <algorithm>
#include <cmath>

namespace plyvet::cleaner_geometry {

namespace {

constexpr double kRelativeTolerance = 1e-12;

struct Vec {
    double x;
    double y;
};

Vec sub(gis::Point a, gis::Point b) { return {a.x - b.x, a.y - b.y}; }
double cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
gis::Point along(gis::Point origin, Vec d, double t) { return {origin.x + t * d.x, origin.y + t * d.y}; }

bool finite(gis::Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

EdgeMeeting point(gis::Point p) { return {EdgeMeeting::Kind::Point, p, p}; }

// p on the segment q1-q2 within tol (a segment of zero length is the point q1).
bool onSegment(gis::Point p, gis::Point q1, gis::Point q2, double tol) {
    const Vec d = sub(q2, q1);
    const double len2 = dot(d, d);
    const Vec w = sub(p, q1);
    if (len2 == 0.0) {
        return std::sqrt(dot(w, w)) <= tol;
    }
    const double t = std::clamp(dot(w, d) / len2, 0.0, 1.0);
    const gis::Point nearest = along(q1, d, t);
    const Vec off = sub(p, nearest);
    return std::sqrt(dot(off, off)) <= tol;
}

}  // namespace

EdgeMeeting meetEdges(gis::Point a1, gis::Point a2, gis::Point b1, gis::Point b2) {
    if (!finite(a1) || !finite(a2) || !finite(b1) || !finite(b2)) {
        return {};
    }
    const double scale = std::max({1.0, std::fabs(a1.x), std::fabs(a1.y), std::fabs(a2.x), std::fabs(a2.y),
                                   std::fabs(b1.x), std::fabs(b1.y), std::fabs(b2.x), std::fabs(b2.y)});
    const double tol = kRelativeTolerance * scale;

    const Vec d = sub(a2, a1);
    const Vec e = sub(b2, b1);
    const double lenA = std::sqrt(dot(d, d));
    const double lenB = std::sqrt(dot(e, e));
    if (lenA <= tol) {
        return onSegment(a1, b1, b2, tol) ? point(a1) : EdgeMeeting{};
    }
    if (lenB <= tol) {
        return onSegment(b1, a1, a2, tol) ? point(b1) : EdgeMeeting{};
    }

    const Vec w = sub(b1, a1);
    const double denom = cross(d, e);
    // Parallel when the sine of the angle between them is below the tolerance.
    if (std::fabs(denom) > kRelativeTolerance * lenA * lenB) {
        const double t = cross(w, e) / denom;
        const double u = cross(w, d) / denom;
        const double tTol = tol / lenA;
        const double uTol = tol / lenB;
        if (t < -tTol || t > 1.0 + tTol || u < -uTol || u > 1.0 + uTol) {
            return {};
        }
        return point(along(a1, d, std::clamp(t, 0.0, 1.0)));
    }
    // Parallel: on one line only when b1 lies on a's line.
    if (std::fabs(cross(d, w)) / lenA > tol) {
        return {};
    }
    const double lenA2 = lenA * lenA;
    const double t0 = dot(w, d) / lenA2;
    const double t1 = dot(sub(b2, a1), d) / lenA2;
    const double lo = std::max(0.0, std::min(t0, t1));
    const double hi = std::min(1.0, std::max(t0, t1));
    const double tTol = tol / lenA;
    if (hi < lo - tTol) {
        return {};
    }
    if ((hi - lo) * lenA <= tol) {
        return point(along(a1, d, std::clamp(lo, 0.0, 1.0)));
    }
    return {EdgeMeeting::Kind::Stretch, along(a1, d, lo), along(a1, d, hi)};
}

}  // namespace plyvet::cleaner_geometry
