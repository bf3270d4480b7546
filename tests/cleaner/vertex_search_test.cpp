// The filtered first-match searches against their plain loops, on rings
// whose vertices crowd around the threshold at several granularities.

#include "cleaner/vertex_search.h"
#include "cleaner_fixture.h"

#include "bench/ring_shapes.h"
#include "cleaner/part_pairs.h"
#include "geolib/binding.h"

#include <cmath>
#include <random>

namespace plyvet::cleaner_test {
namespace {

using namespace cleaner_search;
using VertexSearch = PolygonCleanerTest;

TEST_F(VertexSearch, FilteredSearchesFindWhatThePlainLoopsFind) {
    std::mt19937 random(7);
    for (const std::int16_t granularity : {std::int16_t{0}, std::int16_t{3}}) {
        const double unit = std::pow(10.0, -granularity);
        cleaner().setGranularity(granularity);
        std::uniform_int_distribution<int> step(0, 12);
        const auto identical = [&](Point p, Point q) {
            return geolib::roud(std::hypot(p.x - q.x, p.y - q.y), granularity) < cleaner().identicalPointThresholdSize();
        };
        for (int k = 0; k < 150; ++k) {
            Ring one, other;
            for (int v = 0; v < 12; ++v) one.push_back({step(random) * 0.4 * unit, step(random) * 0.4 * unit + k});
            for (int v = 0; v < 9; ++v) other.push_back({step(random) * 0.4 * unit, step(random) * 0.4 * unit + k});
            const double margin = 2 * (0.001 + unit) + 1e-6;
            const PairTest same = [&](Index a, Index b) { return identical(one[a], one[b]); };
            const PairTest across = [&](Index a, Index b) { return identical(one[a], other[b]); };
            const PairTest touches = [&](Index s, Index t) {
                const Point &ps = one[s], &pt = one[t], &pe = one[s + 1];
                return t != s && t != s + 1 &&
                       cleaner().ThreePointsOnLineNisMiddle(ps.x, ps.y, pt.x, pt.y, pe.x, pe.y);
            };
            EXPECT_EQ(firstPair(one, margin / 2, same), firstPairPlain(one, same)) << k;
            EXPECT_EQ(PairCounter(other, margin / 2).count(one, margin / 2, [&](Index b, Index a) { return across(a, b); }),
                      countPairsPlain(one, other, across))
                << k;
            EXPECT_EQ(PairCounter(one, margin / 4).count(other, margin / 2, across), countPairsPlain(one, other, across))
                << k;
            EXPECT_EQ(firstOnEdge(one, margin, touches), firstOnEdgePlain(one, touches)) << k;
        }
    }
}

// Rings of every generated shape (smooth, star, spikes, spiral, comb,
// random walk), also turned by 90 degrees so that combs stand both ways, with
// touchings planted late in the ring: a vertex moved onto another vertex and
// a vertex moved onto the middle of an edge. The grid must find exactly the
// pair the plain loops find, also when the margin is far larger than the
// vertex spacing.
TEST_F(VertexSearch, GridSearchesMatchThePlainLoopsOnLargeIrregularRings) {
    std::mt19937 random(11);
    int checked = 0;
    for (const bench::Shape shape : bench::kAllShapes) {
        for (const bool turned : {false, true}) {
            for (const double threshold : {0.001, 0.5}) {
                cleaner().setIdenticalPointThresholdSize(threshold);
                Ring ring;
                for (const PlyvetXY& p : bench::makeRing(shape, 400, 5)) {
                    ring.push_back(turned ? Point{-p.y, p.x} : Point{p.x, p.y});
                }
                const std::size_t n = ring.size();
                std::uniform_int_distribution<std::size_t> late(n / 2, n - 3);
                const std::size_t onto = late(random);
                Ring touching = ring;
                touching[onto + 2] = ring[onto / 3];
                const std::size_t edge = late(random) / 2;
                touching[late(random)] = {(ring[edge].x + ring[edge + 1].x) / 2, (ring[edge].y + ring[edge + 1].y) / 2};
                for (const Ring* r : {&ring, &touching}) {
                    const Ring& v = *r;
                    const double margin = threshold + 0.001 + 1e-6 * (1 + magnitude(v));
                    const PairTest same = [&](Index a, Index b) {
                        return geolib::roud(std::hypot(v[a].x - v[b].x, v[a].y - v[b].y), 3) < threshold;
                    };
                    const PairTest touches = [&](Index s, Index t) {
                        const Point &ps = v[s], &pt = v[t], &pe = v[s + 1];
                        return t != s && t != s + 1 &&
                               cleaner().ThreePointsOnLineNisMiddle(ps.x, ps.y, pt.x, pt.y, pe.x, pe.y);
                    };
                    const std::string where = std::string(bench::shapeName(shape)) + (turned ? " turned" : "") +
                                              " threshold " + std::to_string(threshold);
                    EXPECT_EQ(firstPair(v, margin, same), firstPairPlain(v, same)) << where;
                    EXPECT_EQ(firstOnEdge(v, 2 * margin, touches), firstOnEdgePlain(v, touches)) << where;
                    const PairTest across = [&](Index a, Index b) {
                        return geolib::roud(std::hypot(v[a].x - ring[b].x, v[a].y - ring[b].y), 3) < threshold;
                    };
                    EXPECT_EQ(PairCounter(ring, margin).count(v, margin, [&](Index b, Index a) { return across(a, b); }),
                              countPairsPlain(v, ring, across))
                        << where;
                    EXPECT_EQ(PairCounter(v, margin).count(ring, margin, across), countPairsPlain(v, ring, across))
                        << where;
                    ++checked;
                }
                EXPECT_TRUE(firstPairPlain(touching, [&](Index a, Index b) {
                    return geolib::roud(std::hypot(touching[a].x - touching[b].x, touching[a].y - touching[b].y), 3) <
                           threshold;
                }).has_value());
            }
        }
    }
    EXPECT_EQ(checked, 48);
}

// Degenerate rings: every vertex in one cell, one vertex far away from a
// dense cluster (a huge extent for the cells), a ring with a NaN (the plain
// loop), and a margin larger than the whole ring.
TEST_F(VertexSearch, GridSearchesMatchThePlainLoopsOnDegenerateRings) {
    const auto same = [](const Ring& v) {
        return PairTest([&v](Index a, Index b) { return std::hypot(v[a].x - v[b].x, v[a].y - v[b].y) < 0.01; });
    };
    const auto near = [](const Ring& v) {
        return PairTest([&v](Index s, Index t) {
            const Point &a = v[s], &b = v[s + 1], &p = v[t];
            if (t == s || t == s + 1) return false;
            const double cross = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
            const double within = (p.x - a.x) * (b.x - a.x) + (p.y - a.y) * (b.y - a.y);
            const double length2 = (b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y);
            return std::fabs(cross) < 0.01 * std::sqrt(length2) && within > 0 && within < length2;
        });
    };
    std::vector<Ring> rings;
    Ring cluster;
    for (int k = 0; k < 60; ++k) cluster.push_back({0.001 * (k % 7), 0.001 * (k / 7)});
    rings.push_back(cluster);
    Ring far = cluster;
    far.push_back({1e12, -1e12});
    rings.push_back(far);
    Ring line;
    for (int k = 0; k < 80; ++k) line.push_back({k * 1.0, 0.0});
    line.push_back({40.5, 0.0});
    rings.push_back(line);
    Ring broken = line;
    broken[3].y = std::nan("");
    rings.push_back(broken);
    for (std::size_t k = 0; k < rings.size(); ++k) {
        const Ring& v = rings[k];
        for (const double margin : {0.02, 1e6}) {
            EXPECT_EQ(firstPair(v, margin, same(v)), firstPairPlain(v, same(v))) << k;
            EXPECT_EQ(firstOnEdge(v, margin, near(v)), firstOnEdgePlain(v, near(v))) << k;
            const PairTest across = [&](Index a, Index b) {
                return std::hypot(v[a].x - cluster[b].x, v[a].y - cluster[b].y) < 0.01;
            };
            EXPECT_EQ(PairCounter(v, margin).count(cluster, margin, across), countPairsPlain(v, cluster, across)) << k;
            EXPECT_EQ(PairCounter(cluster, margin).count(v, margin, [&](Index a, Index b) { return across(b, a); }),
                      countPairsPlain(v, cluster, across))
                << k;
        }
    }
    EXPECT_EQ(firstOnEdgePlain(line, near(line)), (IndexPair{40, 80}));
}

// Boxes scattered over a field, some overlapping, some touching within the
// margin, a few with unusable (non-finite) bounds: the sweep lists exactly
// the pairs the plain loop lists, in ascending order.
TEST(PartPairs, SweepListsThePairsOfThePlainLoop) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> where(0.0, 100.0);
    std::uniform_real_distribution<double> size(0.0, 8.0);
    for (const int count : {3, 20, 150}) {
        std::vector<Bounds> boxes;
        for (int k = 0; k < count; ++k) {
            const double x = where(random);
            const double y = where(random);
            Bounds b{x, y, x + size(random), y + size(random), true};
            if (k % 37 == 5) b.usable = false;
            if (k % 11 == 4 && k > 0) b.minX = boxes.back().maxX + 0.05;  // within the margin of its neighbour
            boxes.push_back(b);
        }
        const PairMargin margin = [](std::size_t i, std::size_t j) { return 0.01 * static_cast<double>((i + j) % 10); };
        const auto plain = meetingPairsPlain(boxes, margin);
        EXPECT_EQ(meetingPairs(boxes, margin, 0.1), plain) << count;
        std::size_t listed = 0;
        for (const auto& list : plain) listed += list.size();
        if (count > 3) {
            EXPECT_GT(listed, 0u) << count;
        }
    }
}

TEST(PartPairs, BoundsOfRings) {
    const Bounds b = boundsOf(Ring{{1, 5}, {-2, 3}, {4, -1}});
    EXPECT_TRUE(b.usable);
    EXPECT_EQ(b.minX, -2);
    EXPECT_EQ(b.maxY, 5);
    EXPECT_EQ(b.magnitude(), 5);
    EXPECT_FALSE(boundsOf(Ring{}).usable);
    EXPECT_FALSE(boundsOf(Ring{{1, std::nan("")}}).usable);
    EXPECT_TRUE(apart(boundsOf(Ring{{0, 0}, {1, 1}}), boundsOf(Ring{{1.2, 0}, {2, 1}}), 0.1));
    EXPECT_FALSE(apart(boundsOf(Ring{{0, 0}, {1, 1}}), boundsOf(Ring{{1.2, 0}, {2, 1}}), 0.2));
}

}  // namespace
}  // namespace plyvet::cleaner_test
