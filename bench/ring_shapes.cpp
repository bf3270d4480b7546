// Ring shapes for benchmarks and tests. Each is simple by construction: the
// star-like shapes visit strictly increasing angles around the centre, the
// spiral keeps half a turn's gap between its arms, the comb's teeth stand on
// distinct X positions above a base that runs below them all.

#include "bench/ring_shapes.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace plyvet::bench {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

PlyvetXY polar(double radius, double angle) {
    return {radius * std::cos(angle), radius * std::sin(angle)};
}

// Around a circle whose neighbouring points lie `spacing` apart at radius r(θ).
template <typename Radius>
std::vector<PlyvetXY> around(std::int32_t n, double baseRadius, Radius radius) {
    std::vector<PlyvetXY> ring;
    ring.reserve(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) {
        const double angle = kTwoPi * i / n;
        ring.push_back(polar(baseRadius * radius(angle, i), angle));
    }
    return ring;
}

std::vector<PlyvetXY> smooth(std::int32_t n, double spacing) {
    const double r = spacing * n / kTwoPi;
    return around(n, r, [](double angle, std::int32_t) { return 1.0 + 0.3 * std::sin(7 * angle); });
}

std::vector<PlyvetXY> star(std::int32_t n, double spacing) {
    // Arms 0.6 r long: the path is about (1 + 2 * 64 * 0.6 / (2 pi)) times a circle's.
    constexpr int kArms = 64;
    const double r = spacing * n / (kTwoPi + 2 * kArms * 0.6);
    return around(n, r, [](double angle, std::int32_t) {
        const double phase = kArms * angle / kTwoPi;
        const double tri = 1.0 - std::fabs(2.0 * (phase - std::floor(phase)) - 1.0);
        return 0.4 + 0.6 * tri;
    });
}

std::vector<PlyvetXY> spikes(std::int32_t n, double spacing) {
    // Inner points lie 2 spacing apart on the circle; spikes are 20 % deep.
    const double r = spacing * n / kTwoPi;
    return around(n, r, [](double, std::int32_t i) { return i % 2 == 0 ? 1.0 : 0.8; });
}

// The benchmark spiral's turns: more for more points, each turn still
// drawn with many of them.
double spiralTurns(std::int32_t n) { return std::max(2.0, std::sqrt(static_cast<double>(n / 2)) / 8.0); }

std::vector<PlyvetXY> spiral(std::int32_t n, double spacing, double turns) {
    // Arm radius c * θ, the way back c * (θ + π); half the points on each arm.
    const std::int32_t half = n / 2;
    const double theta0 = kTwoPi, theta1 = kTwoPi * (1.0 + turns);
    // Arc length of the outer arm is about c * (θ1² - θ0²) / 2: spacing apart.
    const double c = spacing * half / ((theta1 * theta1 - theta0 * theta0) / 2.0);
    std::vector<PlyvetXY> ring;
    ring.reserve(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < half; ++i) {
        const double t = theta0 + (theta1 - theta0) * i / (half - 1);
        ring.push_back(polar(c * t, t));
    }
    for (std::int32_t i = half; i < n; ++i) {
        const double t = theta1 - (theta1 - theta0) * (i - half) / (n - half - 1);
        ring.push_back(polar(c * (t + std::numbers::pi), t));
    }
    return ring;
}

std::vector<PlyvetXY> zigzag(std::int32_t n, double spacing) {
    // Teeth 100 spacings tall, tips and notches alternating, then the base.
    const std::int32_t teeth = n - 2;
    const double height = 100.0 * spacing;
    std::vector<PlyvetXY> ring;
    ring.reserve(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < teeth; ++i)
        ring.push_back({spacing * i, i % 2 == 0 ? 0.0 : height});
    ring.push_back({spacing * (teeth - 1), -spacing});
    ring.push_back({0.0, -spacing});
    return ring;
}

std::vector<PlyvetXY> randomWalk(std::int32_t n, double spacing, std::uint64_t seed) {
    // The radius steps by about one spacing per vertex, pulled back gently
    // towards the circle: the outline turns this way and that at every few
    // vertices, and no two vertices share an angle, so the ring stays simple.
    std::mt19937_64 random(seed);
    std::normal_distribution<double> step(0.0, spacing);
    const double r = spacing * n / kTwoPi;
    double offset = 0.0;
    return around(n, r, [&](double, std::int32_t) {
        offset = std::clamp(0.995 * offset + step(random), -0.5 * r, 0.5 * r);
        return 1.0 + offset / r;
    });
}

}  // namespace

std::string_view shapeName(Shape shape) {
    switch (shape) {
    case Shape::Smooth: return "smooth";
    case Shape::Star: return "star";
    case Shape::Spikes: return "spikes";
    case Shape::Spiral: return "spiral";
    case Shape::Zigzag: return "zigzag";
    case Shape::RandomWalk: return "randomwalk";
    }
    return "?";
}

std::vector<PlyvetXY> makeRing(Shape shape, std::int32_t n, std::uint64_t seed, double spacing,
                               int decimals) {
    n = std::max(n, 8);
    std::vector<PlyvetXY> ring;
    switch (shape) {
    case Shape::Smooth: ring = smooth(n, spacing); break;
    case Shape::Star: ring = star(n, spacing); break;
    case Shape::Spikes: ring = spikes(n, spacing); break;
    case Shape::Spiral: ring = spiral(n, spacing, spiralTurns(n)); break;
    case Shape::Zigzag: ring = zigzag(n, spacing); break;
    case Shape::RandomWalk: ring = randomWalk(n, spacing, seed); break;
    }
    if (decimals >= 0) roundRing(ring, decimals);
    return ring;
}

std::vector<PlyvetXY> makeSpiral(std::int32_t n, double turns, double spacing, int decimals) {
    std::vector<PlyvetXY> ring = spiral(std::max(n, 8), spacing, std::max(turns, 1.0));
    if (decimals >= 0) roundRing(ring, decimals);
    return ring;
}

namespace {

// Vertex k moves to the far side of edge k - 2, mirrored through that
// edge's middle from vertex k + 1: edge k then runs through the middle of
// edge k - 2.
void crossAt(std::vector<PlyvetXY>& ring, std::size_t k) {
    const PlyvetXY& p = ring[k - 2];
    const PlyvetXY& q = ring[k - 1];
    const PlyvetXY& next = ring[k + 1];
    ring[k] = {(p.x + q.x) - next.x, (p.y + q.y) - next.y};
}

}  // namespace

void addLateCrossing(std::vector<PlyvetXY>& ring) {
    // Only edges near the end of the ring are touched.
    if (ring.size() >= 8) crossAt(ring, ring.size() - 5);
}

void addCrossings(std::vector<PlyvetXY>& ring, std::size_t every) {
    every = std::max<std::size_t>(every, 4);
    for (std::size_t k = 7; k + 5 < ring.size(); k += every) crossAt(ring, k);
}

void roundRing(std::vector<PlyvetXY>& ring, int decimals) {
    const double scale = std::pow(10.0, decimals);
    for (PlyvetXY& p : ring) {
        p.x = std::nearbyint(p.x * scale) / scale;
        p.y = std::nearbyint(p.y * scale) / scale;
    }
}

}  // namespace plyvet::bench
