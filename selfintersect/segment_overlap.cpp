#include "selfintersect/segment_overlap.h"

#include <cmath>

namespace plyvet::selfintersect {

namespace {

using Real = long double;

// Sign of the cross product (q - p) x (r - p): +1 when r lies left of p->q.
int orientation(gis::Point p, gis::Point q, gis::Point r) {
    const Real cross = (Real{q.x} - p.x) * (Real{r.y} - p.y) - (Real{q.y} - p.y) * (Real{r.x} - p.x);
    return (cross > 0) - (cross < 0);
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
