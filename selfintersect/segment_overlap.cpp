#include "selfintersect/segment_overlap.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace plyvet::selfintersect {

namespace {

using Real = long double;

// Error-free transformations: a + b = s + e and a * b = p + e exactly.
void twoSum(double a, double b, double& s, double& e) {
    s = a + b;
    const double bVirtual = s - a;
    const double aVirtual = s - bVirtual;
    e = (a - aVirtual) + (b - bVirtual);
}

void twoProduct(double a, double b, double& p, double& e) {
    p = a * b;
    e = std::fma(a, b, -p);
}

// Sign of the exact sum of the terms. The terms are summed into a
// nonoverlapping expansion (components of increasing magnitude whose sum is
// exact); the sign of such a sum is the sign of its largest component.
template <std::size_t N>
int exactSign(const std::array<double, N>& terms) {
    std::array<double, N> expansion{};
    std::size_t length = 0;
    for (const double term : terms) {
        double carry = term;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < length; ++i) {
            double sum = 0.0, error = 0.0;
            twoSum(carry, expansion[i], sum, error);
            if (error != 0.0) expansion[kept++] = error;
            carry = sum;
        }
        expansion[kept++] = carry;
        length = kept;
    }
    for (std::size_t i = length; i-- > 0;) {
        if (expansion[i] != 0.0) return expansion[i] > 0.0 ? 1 : -1;
    }
    return 0;
}

// Sign of the cross product (q - p) x (r - p), exactly: +1 when r lies left
// of p->q, 0 when the three points are on one line. Expanded into six
// products so that no difference is rounded:
// qx ry - qx py - px ry - qy rx + qy px + py rx.
int orientation(gis::Point p, gis::Point q, gis::Point r) {
    const std::array<std::array<double, 2>, 6> factors = {{{q.x, r.y},
                                                           {-q.x, p.y},
                                                           {-p.x, r.y},
                                                           {-q.y, r.x},
                                                           {q.y, p.x},
                                                           {p.y, r.x}}};
    std::array<double, 12> terms{};
    for (std::size_t i = 0; i < factors.size(); ++i) {
        twoProduct(factors[i][0], factors[i][1], terms[2 * i], terms[2 * i + 1]);
    }
    return exactSign(terms);
}

bool finite(gis::Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

bool between(double v, double p, double q) { return (p <= v && v <= q) || (q <= v && v <= p); }

// r, known to be on the line through s, lies within the segment's box.
bool withinBox(gis::Point r, const Segment& s) {
    return between(r.x, s.from.x, s.to.x) && between(r.y, s.from.y, s.to.y);
}

bool degenerate(const Segment& s) { return s.from == s.to; }

CommonShape point(gis::Point p) { return {CommonShape::Kind::Point, p, p}; }

CommonShape pointOn(gis::Point p, const Segment& s) {
    if (orientation(s.from, s.to, p) == 0 && withinBox(p, s)) return point(p);
    return {};
}

// Both on one line: order everything along first's dominant axis, in the
// direction from first.from to first.to.
CommonShape collinear(const Segment& first, const Segment& second) {
    const double dx = first.to.x - first.from.x;
    const double dy = first.to.y - first.from.y;
    const bool alongX = std::fabs(dx) >= std::fabs(dy);
    const double direction = (alongX ? dx : dy) > 0 ? 1.0 : -1.0;
    auto key = [&](gis::Point p) { return (alongX ? p.x : p.y) * direction; };

    const bool secondForward = key(second.from) <= key(second.to);
    const gis::Point secondLow = secondForward ? second.from : second.to;
    const gis::Point secondHigh = secondForward ? second.to : second.from;

    const gis::Point begin = key(first.from) >= key(secondLow) ? first.from : secondLow;
    const gis::Point end = key(first.to) <= key(secondHigh) ? first.to : secondHigh;
    if (key(begin) > key(end)) return {};
    if (key(begin) == key(end)) return point(begin);
    return {CommonShape::Kind::Line, begin, end};
}

// Two segments that cross properly (each has the other's end points on
// opposite sides): the crossing point, from the first segment's parameter.
CommonShape crossing(const Segment& first, const Segment& second) {
    const Real rx = Real{first.to.x} - first.from.x, ry = Real{first.to.y} - first.from.y;
    const Real sx = Real{second.to.x} - second.from.x, sy = Real{second.to.y} - second.from.y;
    const Real qx = Real{second.from.x} - first.from.x, qy = Real{second.from.y} - first.from.y;
    const Real t = (qx * sy - qy * sx) / (rx * sy - ry * sx);
    return point({static_cast<double>(first.from.x + t * rx), static_cast<double>(first.from.y + t * ry)});
}

}  // namespace

double length(const Segment& segment) {
    const double dx = segment.to.x - segment.from.x;
    const double dy = segment.to.y - segment.from.y;
    return std::sqrt(dx * dx + dy * dy);
}

CommonShape intersect(const Segment& first, const Segment& second) {
    if (!finite(first.from) || !finite(first.to) || !finite(second.from) || !finite(second.to))
        return {};
    if (degenerate(first)) {
        if (degenerate(second)) return first.from == second.from ? point(first.from) : CommonShape{};
        return pointOn(first.from, second);
    }
    if (degenerate(second)) return pointOn(second.from, first);

    const int o1 = orientation(first.from, first.to, second.from);
    const int o2 = orientation(first.from, first.to, second.to);
    if (o1 == 0 && o2 == 0) return collinear(first, second);

    const int o3 = orientation(second.from, second.to, first.from);
    const int o4 = orientation(second.from, second.to, first.to);
    if (o1 * o2 < 0 && o3 * o4 < 0) return crossing(first, second);
    // A touching: one end point lies on the other segment.
    if (o1 == 0 && withinBox(second.from, first)) return point(second.from);
    if (o2 == 0 && withinBox(second.to, first)) return point(second.to);
    if (o3 == 0 && withinBox(first.from, second)) return point(first.from);
    if (o4 == 0 && withinBox(first.to, second)) return point(first.to);
    return {};
}

}  // namespace plyvet::selfintersect
