#include "pipeline/gis/geometry.h"

namespace plyvet::gis {

double ringArea(std::span<const Point> ring) {
    if (ring.size() < 3) {
        return 0.0;
    }
    // Shoelace over coordinates relative to the first point: real data sits at
    // UTM-sized offsets (10^5..10^7), where the plain products x_i*y_j lose
    // most of their digits to cancellation. The shift changes no exact result.
    const double x0 = ring[0].x;
    const double y0 = ring[0].y;
    double twice = 0.0;
    for (std::size_t i = 1; i + 1 < ring.size(); ++i) {
        const double ax = ring[i].x - x0;
        const double ay = ring[i].y - y0;
        const double bx = ring[i + 1].x - x0;
        const double by = ring[i + 1].y - y0;
        // Counter-clockwise turns add a positive cross product; the sign is
        // flipped below so that clockwise rings come out positive.
        twice += ax * by - bx * ay;
    }
    return -0.5 * twice;
}

double area(const Polygon& polygon) {
    double sum = 0.0;
    for (const Ring& part : polygon.parts) {
        sum += ringArea(part);
    }
    return sum;
}

std::size_t pointCount(const Polygon& polygon) {
    std::size_t n = 0;
    for (const Ring& part : polygon.parts) {
        n += part.size();
    }
    return n;
}

}  // namespace plyvet::gis
