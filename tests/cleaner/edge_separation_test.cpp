// The separation test that lets the vertex searches skip their grid: checked
// against the brute-force distances it promises, on planted near misses just
// inside and just outside the distance, and through the searches themselves,
// which must still find exactly what their plain loops find.

#include "cleaner/edge_separation.h"
#include "geolib/edge_separation.h"
#include "cleaner/vertex_search.h"
#include "cleaner_fixture.h"

#include "bench/ring_shapes.h"
#include "tools/samplegen/parcels.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace plyvet::cleaner_test {
namespace {

using namespace cleaner_search;

// Distance in the maximum norm between point p and segment a-b. Along the
// segment it is the larger of two absolute linear functions of t, so its
// minimum lies at an end, where one of them is 0, or where they are equal.
double pointSegmentMax(Point p, Point a, Point b) {
    const double ux = a.x - p.x, uy = a.y - p.y, dx = b.x - a.x, dy = b.y - a.y;
    const auto at = [&](double t) {
        t = std::clamp(t, 0.0, 1.0);
        return std::max(std::fabs(ux + t * dx), std::fabs(uy + t * dy));
    };
    double best = std::min(at(0.0), at(1.0));
    if (dx != 0) best = std::min(best, at(-ux / dx));
    if (dy != 0) best = std::min(best, at(-uy / dy));
    if (dx != dy) best = std::min(best, at((uy - ux) / (dx - dy)));
    if (dx != -dy) best = std::min(best, at(-(uy + ux) / (dx + dy)));
    return best;
}

// The smallest maximum-norm distance between two edges that share no vertex.
// Two segments that do not cross are closest at an end of one of them; a
// crossing gives 0.
double closestApartEdges(const Ring& ring) {
    const std::size_t n = ring.size();
    const auto end = [&](std::size_t k) { return ring[k + 1 == n ? 0 : k + 1]; };
    const auto crosses = [](Point a, Point b, Point c, Point d) {
        const auto side = [](Point p, Point q, Point r) { return (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x); };
        return side(a, b, c) * side(a, b, d) < 0 && side(c, d, a) * side(c, d, b) < 0;
    };
    double closest = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 2; j < n; ++j) {
            if (i == 0 && j == n - 1) continue;
            const Point a = ring[i], b = end(i), c = ring[j], d = end(j);
            if (crosses(a, b, c, d)) return 0.0;
            closest = std::min({closest, pointSegmentMax(a, c, d), pointSegmentMax(b, c, d), pointSegmentMax(c, a, b),
                                pointSegmentMax(d, a, b)});
        }
    }
    return closest;
}

// A spiral out from radius 1 over `turns` turns and back in `gap` outside
// itself, `perTurn` vertices a turn each way.
Ring woundSpiral(int turns, int perTurn, double gap) {
    Ring spiral;
    for (int v = 0; v < turns * perTurn; ++v) {
        const double t = 2 * std::numbers::pi * v / perTurn;
        spiral.push_back({(1 + t) * std::cos(t), (1 + t) * std::sin(t)});
    }
    for (int v = turns * perTurn - 1; v >= 0; --v) {
        const double t = 2 * std::numbers::pi * v / perTurn;
        spiral.push_back({(1 + gap + t) * std::cos(t), (1 + gap + t) * std::sin(t)});
    }
    return spiral;
}

Ring ringOf(const std::vector<PlyvetXY>& points) {
    Ring ring;
    for (const PlyvetXY& p : points) ring.push_back({p.x, p.y});
    return ring;
}

TEST(EdgeSeparation, PlantedCases) {
    const Ring square = box(0, 0, 10, 10);
    // A notch `depth` deep into the square from its right side: its tip
    // comes within 10 - depth of the left side.
    const auto notch = [](double depth) {
        return Ring{{0, 0}, {0, 10}, {10, 10}, {10, 6}, {10 - depth, 5}, {10, 4}, {10, 0}};
    };
    // Two edges on one line with a gap between them: a slit of width `gap`.
    const auto slit = [](double gap) {
        return Ring{{0, 0}, {0, 10}, {4, 10}, {4, 1}, {4 + gap, 1}, {4 + gap, 10}, {10, 10}, {10, 0}};
    };
    struct Case {
        std::string name;
        Ring ring;
        double distance;
        bool apart;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Case> cases = {
        {"square", square, 0.01, true},
        {"square, distance larger than the square", square, 20.0, false},
        {"triangle", Ring{{0, 0}, {0, 1}, {1, 0}}, 0.01, false},
        {"notch well away", notch(9.0), 0.01, true},
        {"notch tip just outside", notch(10.0 - 0.0101), 0.01, true},
        {"notch tip just inside", notch(10.0 - 0.0099), 0.01, false},
        {"notch tip on the edge", notch(10.0), 0.01, false},
        {"slit just wider", slit(0.0101), 0.01, true},
        {"slit just narrower", slit(0.0099), 0.01, false},
        {"zero-length edge", Ring{{0, 0}, {0, 10}, {0, 10}, {10, 10}, {10, 0}}, 0.01, false},
        {"repeated vertex", Ring{{0, 0}, {0, 10}, {5, 5}, {10, 10}, {10, 0}, {5, 5}}, 0.01, false},
        {"bow tie", Ring{{0, 0}, {10, 10}, {10, 0}, {0, 10}}, 0.01, false},
        {"not finite", Ring{{0, 0}, {0, nan}, {10, 10}, {10, 0}}, 0.01, false},
        {"distance not finite", square, std::numeric_limits<double>::infinity(), false},
        {"distance NaN", square, nan, false},
        {"far out coordinates", Ring{{1e300, 1e300}, {1e300, 2e300}, {2e300, 2e300}, {2e300, 1e300}}, 1.0, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(edgesApart(c.ring, c.distance), c.apart) << c.name;
    }
}

// Whatever ring it is given, "apart" must hold at the brute-force distance:
// generated shapes at several spacings, with late crossings and with planted
// near misses around the distance.
TEST(EdgeSeparation, ApartOnlyWhenEveryPairIsApart) {
    std::mt19937 random(5);
    int apartSeen = 0, notApartSeen = 0;
    for (const bench::Shape shape : bench::kAllShapes) {
        for (const double spacing : {0.002, 0.01, 1.0}) {
            for (int k = 0; k < 6; ++k) {
                Ring ring = ringOf(bench::makeRing(shape, 40 + 10 * k, static_cast<std::uint64_t>(k), spacing, 4));
                if (k % 3 == 1) {
                    // A vertex moved onto a point near a far edge's middle.
                    std::uniform_int_distribution<std::size_t> pick(0, ring.size() - 2);
                    const std::size_t e = pick(random), v = (e + ring.size() / 2) % ring.size();
                    const double off = 0.01 * (k % 2 == 0 ? 0.999 : 1.001);
                    ring[v] = {(ring[e].x + ring[e + 1].x) / 2 + off, (ring[e].y + ring[e + 1].y) / 2};
                }
                const double distance = 0.01;
                const bool apart = edgesApart(ring, distance);
                if (apart) {
                    ++apartSeen;
                    EXPECT_GT(closestApartEdges(ring), distance)
                        << bench::shapeName(shape) << " spacing " << spacing << " ring " << k;
                } else {
                    ++notApartSeen;
                }
            }
        }
    }
    EXPECT_GT(apartSeen, 20);
    EXPECT_GT(notApartSeen, 20);
}

// The proof from the centre alone, on rings it can prove (radial outlines of
// every jitter, teeth nearly touching) and rings it must leave to the sweep:
// whenever it says apart, the brute-force distance is larger, also at
// distances just below and above that distance.
TEST(EdgeSeparation, SeenFromCentreOnlyWhenEveryPairIsApart) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int proved = 0, tried = 0;
    for (int k = 0; k < 400; ++k) {
        const int n = 4 + k % 97 + (k % 5 == 0 ? 400 : 0);
        const double jitter = k % 4 == 0 ? 0.0 : std::pow(10.0, -3 + 3 * unit(random));  // up to a full radius
        const bool teeth = k % 3 == 0;
        const Point centre{3500000.0 + 1000 * unit(random), 5800000.0 + 1000 * unit(random)};
        Ring ring;
        for (int v = 0; v < n; ++v) {
            const double angle = 2 * std::numbers::pi * (v + 0.3 * unit(random)) / n;
            const double radius = 30 * (teeth && v % 2 == 1 ? 1 - jitter : 1 - jitter * unit(random));
            ring.push_back({centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)});
        }
        if (k % 2 == 1) std::reverse(ring.begin(), ring.end());
        const double closest = closestApartEdges(ring);
        for (const double share : {0.001, 0.3, 0.99, 1.0, 1.01}) {
            const double distance = closest * share;
            ++tried;
            if (geolib::separation_detail::apartSeenFromCentre<Point>(ring, distance)) {
                ++proved;
                EXPECT_GT(closest, distance) << "ring " << k << " share " << share;
            }
        }
    }
    EXPECT_GT(proved, tried / 4);

    // Rings it must not prove from the centre, whatever the sweep says: not
    // seen in turning order from the mean of their vertices, or wound twice.
    Ring twice;
    for (int v = 0; v < 16; ++v) {
        const double angle = 4 * std::numbers::pi * v / 16;
        twice.push_back({std::cos(angle) * (1 + 0.01 * v), std::sin(angle) * (1 + 0.01 * v)});
    }
    const Ring comb{{0, 0}, {0, 10}, {1, 10}, {1, 1}, {2, 1}, {2, 10}, {3, 10}, {3, 1}, {4, 1}, {4, 10}, {5, 10}, {5, 0}};
    const Ring notch{{0, 0}, {0, 10}, {10, 10}, {10, 6}, {1, 5}, {10, 4}, {10, 0}};
    for (const Ring* r : {static_cast<const Ring*>(&twice), &comb, &notch}) {
        EXPECT_FALSE(geolib::separation_detail::apartSeenFromCentre<Point>(*r, 0.001));
    }
    EXPECT_TRUE(edgesApart(comb, 0.1));  // the sweep proves the comb
}

// The sample that spares large rings the proof from the centre rules out
// only rings the proof fails: on large radial outlines the proof settles,
// turning either way, with their centre far out and their vertices crowded
// into a narrow sector, so that one step of the sample spans more than half
// a turn (a single step that turns the wrong way is allowed). It does rule
// out the rings it is for: spirals, combs and rings wound twice.
TEST(EdgeSeparation, TurnSampleRulesOutOnlyRingsTheProofFails) {
    using geolib::separation_detail::Centre;
    using geolib::separation_detail::kTurnSampleMinimum;
    using geolib::separation_detail::turnsBothWays;
    using geolib::separation_detail::viewFromEveryEdge;
    std::mt19937 random(29);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const auto centreOf = [](const Ring& ring) {
        Centre centre;
        for (const Point& p : ring) centre.add(p.x, p.y);
        return centre;
    };
    const auto sampleRulesOut = [&](const Ring& ring) {
        const Centre centre = centreOf(ring);
        const double n = static_cast<double>(ring.size());
        return turnsBothWays<Point>(ring, centre.sumX / n, centre.sumY / n);
    };
    int proved = 0, wrongWaySteps = 0;
    for (int k = 0; k < 40; ++k) {
        const std::size_t n = kTurnSampleMinimum + static_cast<std::size_t>(k) * 397;
        const Point origin{k % 2 == 0 ? 0.0 : 3500000.0, k % 2 == 0 ? 0.0 : 5800000.0};
        // Evenly around; or all but two vertices on a narrow arc about the
        // centre, then one far out at a third of a turn further and one that
        // brings the mean back to the centre, so that the last step of the
        // sample spans most of a turn.
        const bool crowded = k % 3 != 0;
        Ring ring;
        for (std::size_t v = 0; v < (crowded ? n - 2 : n); ++v) {
            const double angle = crowded ? 0.3 * static_cast<double>(v) / static_cast<double>(n - 3)
                                         : 2 * std::numbers::pi * static_cast<double>(v) / static_cast<double>(n);
            const double radius = (crowded ? 1 : 100) * (1 - 0.01 * unit(random));
            ring.push_back({radius * std::cos(angle), radius * std::sin(angle)});
        }
        if (crowded) {
            const double far = static_cast<double>(n) / 2, angle = 0.3 + 2 * std::numbers::pi / 3;
            ring.push_back({far * std::cos(angle), far * std::sin(angle)});
            Point sum{0, 0};
            for (const Point& p : ring) sum = {sum.x + p.x, sum.y + p.y};
            ring.push_back({-sum.x, -sum.y});
        }
        for (Point& p : ring) p = {p.x + origin.x, p.y + origin.y};
        if (k % 4 >= 2) std::reverse(ring.begin(), ring.end());
        const Centre centre = centreOf(ring);
        const double cx = centre.sumX / static_cast<double>(n), cy = centre.sumY / static_cast<double>(n);
        const bool settled = viewFromEveryEdge<Point>(ring, centre, 1e-6).has_value();
        proved += settled;
        if (!settled) continue;
        EXPECT_FALSE(turnsBothWays<Point>(ring, cx, cy)) << "ring " << k;
        // Whether a step of the sample turns against the ring, seen from the mean.
        const auto cross = [&](Point a, Point b) { return (a.x - cx) * (b.y - cy) - (a.y - cy) * (b.x - cx); };
        const std::size_t step = (n / geolib::separation_detail::kTurnSampleSteps) | 1;
        const bool leftTurning = cross(ring[0], ring[step]) > 0;
        for (std::size_t v = 0; v < n; v += step) {
            const double turn = cross(ring[v], ring[v + step < n ? v + step : 0]);
            if (leftTurning ? turn < 0 : turn > 0) {
                ++wrongWaySteps;
                break;
            }
        }
    }
    EXPECT_GT(proved, 30);
    EXPECT_GT(wrongWaySteps, 15);

    std::vector<Ring> folded;
    for (const bench::Shape shape : {bench::Shape::Spiral, bench::Shape::Zigzag}) {
        folded.push_back(ringOf(bench::makeRing(shape, static_cast<std::int32_t>(kTurnSampleMinimum) + 1000, 1)));
    }
    Ring twice;
    for (std::size_t v = 0; v < kTurnSampleMinimum; ++v) {
        const double angle = 4 * std::numbers::pi * static_cast<double>(v) / static_cast<double>(kTurnSampleMinimum);
        twice.push_back({std::cos(angle) * (100 + 0.001 * static_cast<double>(v)),
                         std::sin(angle) * (100 + 0.001 * static_cast<double>(v))});
    }
    folded.push_back(twice);
    for (std::size_t r = 0; r < folded.size(); ++r) {
        EXPECT_FALSE(viewFromEveryEdge<Point>(folded[r], centreOf(folded[r]), 1e-6).has_value()) << r;
        EXPECT_EQ(sampleRulesOut(folded[r]), r < 2) << r;  // wound twice, it still turns one way
    }
    // Below the sample's minimum the proof always decides.
    const Ring small = ringOf(bench::makeRing(bench::Shape::Spiral, 5000, 1));
    EXPECT_FALSE(sampleRulesOut(small));
}

// The smallest maximum-norm distance between an edge of one ring and an
// edge of the other; crossing edges give 0.
double closestAcross(const Ring& one, const Ring& other) {
    const auto side = [](Point p, Point q, Point r) { return (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x); };
    double closest = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < one.size(); ++i) {
        const Point a = one[i], b = one[(i + 1) % one.size()];
        for (std::size_t j = 0; j < other.size(); ++j) {
            const Point c = other[j], d = other[(j + 1) % other.size()];
            if (side(a, b, c) * side(a, b, d) < 0 && side(c, d, a) * side(c, d, b) < 0) return 0.0;
            closest = std::min({closest, pointSegmentMax(a, c, d), pointSegmentMax(b, c, d), pointSegmentMax(c, a, b),
                                pointSegmentMax(d, a, b)});
        }
    }
    return closest;
}

// Two rings at once (a part and a hole near its outline, two parts side by
// side, crossing ones): apart only when every edge pair across the two and
// within each is further than the distance, at distances around the true one.
TEST(EdgeSeparation, TwoRingsApartOnlyWhenEveryPairIsApart) {
    std::mt19937 random(17);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const auto star = [&](Point c, double r, int n, double jitter) {
        Ring ring;
        for (int v = 0; v < n; ++v) {
            const double angle = 2 * std::numbers::pi * (v + 0.3 * unit(random)) / n;
            const double radius = r * (1 - jitter * unit(random));
            ring.push_back({c.x + radius * std::cos(angle), c.y + radius * std::sin(angle)});
        }
        return ring;
    };
    int proved = 0, tried = 0;
    for (int k = 0; k < 300; ++k) {
        const Point c{3500000.0 + 100 * unit(random), 5800000.0 + 100 * unit(random)};
        const Ring outer = star(c, 30, 8 + k % 60, k % 3 == 0 ? 0.3 : 0.02);
        // The hole's centre and size: well inside, near the outline, or out over it.
        const double reach = 30 * (k % 4 == 0 ? 0.3 : k % 4 == 1 ? 0.65 : k % 4 == 2 ? 0.75 : 1.2);
        const Point hc{c.x + 3 * (unit(random) - 0.5), c.y + 3 * (unit(random) - 0.5)};
        const Ring inner = star(hc, reach, 6 + k % 30, 0.1);
        const double closest = std::min({closestAcross(outer, inner), closestApartEdges(outer), closestApartEdges(inner)});
        for (const double share : {0.001, 0.5, 0.99, 1.01}) {
            const double distance = closest * share;
            ++tried;
            const bool apart = geolib::ringsApart<Point>(outer, inner, distance);
            const bool swapped = geolib::ringsApart<Point>(inner, outer, distance);
            EXPECT_EQ(apart, swapped) << k;
            if (apart) {
                ++proved;
                EXPECT_GT(closest, distance) << "pair " << k << " share " << share;
            }
        }
    }
    EXPECT_GT(proved, tried / 5);
}

// The grid pairs exactly the edges the sweep pairs: with no limit on the
// work, both give one answer on every ring, alone and two at a time. Shapes
// of every kind at sizes around the grid's minimum, wound spirals, near
// misses planted at the distance, degenerate rings (all on one vertical, far
// out coordinates) and distances of 0 and beyond the ring's size.
TEST(EdgeSeparation, GridPairsWhatTheSweepPairs) {
    using geolib::separation_detail::apart;
    using geolib::separation_detail::Pairing;
    std::mt19937 random(23);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    constexpr std::size_t kUnlimited = std::size_t{1} << 40;
    const auto answers = [&](std::span<const std::span<const Point>> rings, double distance) {
        const bool swept = apart<Point>(rings, distance, kUnlimited, Pairing::Sweep);
        const bool grid = apart<Point>(rings, distance, kUnlimited, Pairing::Grid);
        const bool chosen = apart<Point>(rings, distance, kUnlimited);
        EXPECT_EQ(chosen, swept);
        return std::pair{swept, grid};
    };
    int agreedApart = 0, agreedClose = 0, k = 0;
    const auto check = [&](const std::vector<Ring>& rings, double distance, const std::string& what) {
        std::vector<std::span<const Point>> spans(rings.begin(), rings.end());
        const auto [swept, grid] = answers(spans, distance);
        EXPECT_EQ(grid, swept) << what << " distance " << distance;
        (swept ? agreedApart : agreedClose) += swept == grid;
    };
    for (const bench::Shape shape : bench::kAllShapes) {
        for (const std::int32_t n : {40, 255, 256, 900, 3000}) {
            for (const double spacing : {0.01, 1.0}) {
                Ring ring = ringOf(bench::makeRing(shape, n, static_cast<std::uint64_t>(++k), spacing, 4));
                const double distance = 0.3 * spacing;
                if (k % 2 == 0) {
                    // A vertex moved to just inside or just outside the distance of a far edge.
                    std::uniform_int_distribution<std::size_t> pick(0, ring.size() - 2);
                    const std::size_t e = pick(random), v = (e + ring.size() / 2) % ring.size();
                    const double off = distance * (k % 4 == 0 ? 0.999 : 1.001);
                    ring[v] = {(ring[e].x + ring[e + 1].x) / 2 + off, (ring[e].y + ring[e + 1].y) / 2 + off};
                }
                const std::string what = std::string(bench::shapeName(shape)) + " n " + std::to_string(n);
                for (const double share : {0.0, 0.5, 1.0, 2.0, 1e6}) check({ring}, distance * share, what);
                // With a second ring: the same shape shifted by about its own spacing.
                Ring shifted = ring;
                const double shift = spacing * (0.5 + unit(random));
                for (Point& p : shifted) p = {p.x + shift, p.y - shift / 3};
                check({ring, shifted}, distance, what + " and shifted");
            }
        }
    }
    // Wound spirals, where a vertical line meets dozens of edges: the grid's
    // own case when the sweep is left to choose.
    for (int turns = 3; turns <= 12; turns += 3) {
        for (const double gap : {0.05, 0.2}) {
            const Ring spiral = woundSpiral(turns, 200, gap);
            for (const double distance : {0.01, 0.3 * gap, 0.9 * gap, 1.1 * gap}) {
                check({spiral}, distance, "spiral of " + std::to_string(turns) + " turns");
            }
        }
    }
    const double far = 1e308;
    const std::vector<Ring> degenerate = {
        Ring{{0, 0}, {0, 1}, {0, 2}, {0, 3}},
        Ring{{0, 0}, {0, 0}, {0, 0}, {0, 0}},
        Ring{{-far, -far}, {-far, far}, {far, far}, {far, -far}},
        Ring{{-far, 0}, {far, 0}, {far, 1}, {-far, 1}, {-far, 0.5}},
    };
    for (const Ring& ring : degenerate) {
        for (const double distance : {0.0, 0.1, 1e300}) check({ring}, distance, "degenerate");
    }
    EXPECT_GT(agreedApart, 50);
    EXPECT_GT(agreedClose, 50);
}

// The one-pass survey gives what magnitude() and edgesApart() give on their
// own: on every benchmark shape at several spacings and distances, on parcels
// with every fault kind, and on rings with a coordinate that is not finite
// or so large that the sums overflow.
// The proof by runs says "apart" only where every pair is apart. Each ring's
// least distance between edges that share no vertex is found (by brute
// force on rings small enough for it, else by bisection with the sweep,
// which tests every pair its boxes bring together), and the proof is asked
// just above it, where it must say no, and below it. Spirals, zigzags and
// the benchmark shapes, as they are and with their vertices jittered, all
// over or only around the vertices where runs turn back in x (the steepest
// edges, and the zones about those vertices), so that the closest pair lies
// now here, now there. Combs with vertical sides have more runs than the
// proof takes on: it must decline them. It must prove the spirals and
// zigzags it is there for.
TEST(EdgeSeparation, RunProofOnlyWhereEveryPairIsApart) {
    using geolib::separation_detail::apart;
    using geolib::separation_detail::apartByRuns;
    using geolib::separation_detail::Pairing;
    constexpr std::size_t kUnlimited = std::size_t{1} << 40;
    std::mt19937 random(31);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const auto swept = [&](const Ring& ring, double distance) {
        const std::span<const Point> rings[] = {ring};
        return apart<Point>(rings, distance, kUnlimited, Pairing::Sweep);
    };
    // The least distance: exact, or the sweep's threshold, which lies below
    // it by no more than its rounding margins.
    const auto closest = [&](const Ring& ring) {
        if (ring.size() <= 400) return closestApartEdges(ring);
        double lo = 0.0, hi = 1.0;
        if (!swept(ring, 0.0)) return 0.0;
        while (swept(ring, hi)) hi *= 2;
        for (int k = 0; k < 30; ++k) (swept(ring, (lo + hi) / 2) ? lo : hi) = (lo + hi) / 2;
        return lo;
    };
    // Teeth of width w and gap g standing on a base, with vertical sides.
    const auto comb = [](int teeth, double w, double g, double h) {
        Ring ring;
        for (int k = 0; k < teeth; ++k) {
            const double x = k * (w + g);
            ring.push_back({x, 0});
            ring.push_back({x, h});
            ring.push_back({x + w, h});
            ring.push_back({x + w, 0});
        }
        ring.push_back({teeth * (w + g), -1});
        ring.push_back({0, -1});
        return ring;
    };
    struct Shape {
        std::string what;
        Ring ring;
        double jitter;  // how far a vertex may be moved
        bool wound;     // one the proof is there for
    };
    std::vector<Shape> shapes;
    for (const int turns : {2, 5}) {
        for (const double gap : {0.1, 0.4}) {
            shapes.push_back({"spiral " + std::to_string(turns), woundSpiral(turns, 30, gap), 0.2 * gap, true});
            shapes.push_back({"large spiral " + std::to_string(turns), woundSpiral(turns, 200, gap), 0.2 * gap, true});
        }
    }
    shapes.push_back({"comb", comb(40, 1.0, 0.5, 10.0), 0.1, false});
    // Two steep runs, 100 up for 1 across, 50 apart in y but only about 0.05
    // apart across where the lower one comes up in the middle: a vertical
    // gap far larger than the distance, and the closest pair far from both
    // ends of the runs.
    {
        Ring band;
        for (int k = 0; k <= 20; ++k) band.push_back({0.5 * k, 50.0 * k});
        for (const double x : {10.0, 6.5, 6.0, 4.0, 3.5, 0.0}) {
            band.push_back({x, 100 * x - (x == 4.0 || x == 6.0 ? 5.5 : 50.0)});
        }
        shapes.push_back({"steep band", band, 1e-4, false});
    }
    int proved = 0, provedWound = 0, asked = 0;
    for (const Shape& shape : shapes) {
        const std::size_t n = shape.ring.size();
        // The vertices where runs turn back in x, and those next to them.
        std::vector<bool> nearTurn(n, false);
        for (std::size_t k = 0; k < n; ++k) {
            const double a = shape.ring[(k + n - 1) % n].x, b = shape.ring[k].x, c = shape.ring[(k + 1) % n].x;
            if ((b - a) * (c - b) <= 0) {
                for (std::size_t m = k + n - 2; m <= k + n + 2; ++m) nearTurn[m % n] = true;
            }
        }
        for (int variant = 0; variant < 4; ++variant) {
            Ring ring = shape.ring;
            if (variant > 0) {
                for (std::size_t k = 0; k < n; ++k) {
                    if (variant == 1 || nearTurn[k]) {
                        const double scale = shape.jitter * (variant == 3 ? 3.0 : 1.0);
                        ring[k] = {ring[k].x + scale * unit(random), ring[k].y + scale * unit(random)};
                    }
                }
            }
            const double c = closest(ring);
            const std::string what = shape.what + " variant " + std::to_string(variant);
            if (c == 0.0) {
                EXPECT_FALSE(apartByRuns<Point>(ring, 0.0, kUnlimited)) << what;
                continue;
            }
            EXPECT_FALSE(apartByRuns<Point>(ring, c * 1.001, kUnlimited)) << what << " closest " << c;
            EXPECT_FALSE(apartByRuns<Point>(ring, c * 3, kUnlimited)) << what << " closest " << c;
            for (const double share : {0.999, 0.5, 0.1}) {
                ++asked;
                const bool yes = apartByRuns<Point>(ring, c * share, kUnlimited);
                proved += yes;
                provedWound += yes && shape.wound;
            }
        }
    }
    // Degenerate rings: all on one vertical, repeated vertices, far out.
    const double far = 1e300;
    for (const Ring& ring : {Ring{{0, 0}, {0, 1}, {0, 2}, {0, 3}}, Ring{{0, 0}, {0, 0}, {0, 0}, {0, 0}},
                             Ring{{0, 0}, {1, 1}, {2, 0}, {1, 1}, {0, 2}}}) {
        for (const double distance : {0.0, 0.1, 1e300}) EXPECT_FALSE(apartByRuns<Point>(ring, distance, kUnlimited));
    }
    EXPECT_FALSE(apartByRuns<Point>(Ring{{-far, -far}, {-far, far}, {far, far}, {far, -far}}, 1.0, kUnlimited));
    EXPECT_TRUE(apartByRuns<Point>(box(3.5e6, 5.8e6, 3.5e6 + 10, 5.8e6 + 10), 0.01, kUnlimited));
    EXPECT_GT(proved, asked / 3);
    EXPECT_GT(provedWound, 40);
}

TEST(EdgeSeparation, SurveyAgreesWithTheSeparateQuestions) {
    std::vector<Ring> rings;
    for (const bench::Shape shape : bench::kAllShapes) {
        for (const double spacing : {0.002, 0.01, 1.0}) {
            for (int k = 0; k < 4; ++k) {
                rings.push_back(ringOf(bench::makeRing(shape, 30 + 25 * k, static_cast<std::uint64_t>(k), spacing, 4)));
            }
        }
    }
    samplegen::ParcelOptions options;
    options.faultRate = 0.5;
    for (std::int64_t index = 0; index < 40; ++index) {
        for (const Ring& part : samplegen::parcel(index, options).shape.parts) rings.push_back(part);
    }
    const double inf = std::numeric_limits<double>::infinity();
    const Ring square{{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    for (const double bad : {inf, -inf, std::nan(""), 1.7e308}) {
        for (std::size_t at = 0; at < square.size(); ++at) {
            Ring ring = square;
            ring[at].y = bad;
            rings.push_back(ring);
            rings.push_back(Ring{{1.7e308, 0}, {1.7e308, 1}, {1.6e308, 1}, {bad, 0}});
        }
    }
    rings.push_back({});
    rings.push_back({{0, 0}, {1, 0}, {0, 1}});
    int apartSeen = 0;
    for (std::size_t r = 0; r < rings.size(); ++r) {
        const Ring& ring = rings[r];
        const RingSurvey survey(ring);
        const double m = magnitude(ring);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(survey.magnitude()), std::bit_cast<std::uint64_t>(m)) << "ring " << r;
        for (const double distance : {0.0, 0.004, 0.05, 2.0}) {
            const bool apart = edgesApart(ring, distance);
            EXPECT_EQ(survey.edgesApart(distance), apart) << "ring " << r << " distance " << distance;
            apartSeen += apart;
        }
    }
    EXPECT_GT(apartSeen, 100);
}

// The searches with and without the separation shortcut, on the parcels the
// correction runs meet most (smooth, comb and random-run outlines, with
// every fault kind), at two thresholds: the same answers as the plain loops.
TEST_F(PolygonCleanerTest, SearchesOnParcelsFindWhatThePlainLoopsFind) {
    samplegen::ParcelOptions options;
    options.faultRate = 0.5;
    int shortcut = 0;
    for (const double threshold : {0.001, 0.05}) {
        cleaner().setIdenticalPointThresholdSize(threshold);
        for (std::int64_t index = 0; index < 60; ++index) {
            const samplegen::Parcel parcel = samplegen::parcel(index, options);
            for (const Ring& v : parcel.shape.parts) {
                // The cleaner's own margin at granularity 3.
                const double margin = threshold + 0.001 + 1e-9 * (1 + magnitude(v));
                const PairTest same = [&](Index a, Index b) {
                    return geolib::roud(std::hypot(v[a].x - v[b].x, v[a].y - v[b].y), 3) < threshold;
                };
                const PairTest touches = [&](Index s, Index t) {
                    const Point &ps = v[s], &pt = v[t], &pe = v[s + 1];
                    return t != s && t != s + 1 &&
                           cleaner().ThreePointsOnLineNisMiddle(ps.x, ps.y, pt.x, pt.y, pe.x, pe.y);
                };
                const bool apart = edgesApart(v, 2 * margin);
                shortcut += apart;
                const std::string where = "parcel " + std::to_string(index) + " threshold " + std::to_string(threshold);
                EXPECT_EQ(firstPair(v, margin, same, apart), firstPairPlain(v, same)) << where;
                EXPECT_EQ(firstOnEdge(v, 2 * margin, touches, apart), firstOnEdgePlain(v, touches)) << where;
                EXPECT_EQ(firstPair(v, margin, same), firstPairPlain(v, same)) << where;
            }
        }
    }
    EXPECT_GT(shortcut, 60);  // the shortcut was taken, not only the grid
}

}  // namespace
}  // namespace plyvet::cleaner_test
