// The three-point predicates and the identical-points pass skip the library's
// rounding when the plain values already decide a comparison. Here they are
// compared with the plain formulas, every value rounded, on triples that sit
// right at the threshold: nearly collinear points, nearly coinciding points,
// at several granularities, thresholds and coordinate offsets.

#include "cleaner_fixture.h"

#include "geolib/binding.h"

#include <cmath>
#include <numbers>
#include <random>

namespace plyvet::cleaner_test {
namespace {

struct Plain {
    std::int16_t granularity;
    double threshold;

    double r(double v) const { return geolib::roud(v, granularity); }
    double lineDistance(Point p1, Point p2, Point p3) const {
        double d = 0.0;
        if (r(p3.x) != r(p1.x)) {
            const double m = (p3.y - p1.y) / (p3.x - p1.x);
            d = (m * p2.x - p2.y + (p1.y - m * p1.x)) / std::sqrt(m * m + 1.0);
        } else {
            d = p3.x - p2.x;
        }
        return r(d);
    }
    bool onLine(Point p1, Point p2, Point p3) const { return std::fabs(lineDistance(p1, p2, p3)) < threshold; }
    static double euclid(Point p, Point q) { return std::sqrt((q.x - p.x) * (q.x - p.x) + (q.y - p.y) * (q.y - p.y)); }
    bool middle(Point p1, Point p2, Point p3) const {
        const double a = euclid(p1, p2), b = euclid(p2, p3), c = euclid(p1, p3);
        if (!(a > 0.0 && b > 0.0 && c > 0.0)) return false;
        return std::fabs(r(a + b) - r(c)) < threshold && onLine(p1, p2, p3);
    }
    bool uturn(Point p1, Point p2, Point p3) const {
        const double a = euclid(p1, p2), b = euclid(p2, p3), c = euclid(p1, p3);
        const bool first = std::fabs(r(a + c) - r(b)) < threshold;
        const bool third = std::fabs(r(c + b) - r(a)) < threshold;
        return (first || third) && onLine(p1, p2, p3);
    }
    bool identical(Point p, Point q) const { return r(euclid(p, q)) < threshold; }
};

using PredicateOracle = PolygonCleanerTest;

// Runs each(plain, offset) at every granularity and threshold of the U-turn
// tests, the cleaner set to them, and at coordinate offsets from none to far
// beyond any survey grid.
template <class Each>
void forEachUturnSetting(clsPolygonCleaner& cleaner, Each&& each) {
    for (const std::int16_t granularity : {std::int16_t{0}, std::int16_t{3}, std::int16_t{6}}) {
        for (const double threshold : {0.0, 0.001, 0.05, 2.0}) {
            for (const double offset : {0.0, 3.5e6, -1e12}) {
                cleaner.setGranularity(granularity);
                cleaner.setIdenticalPointThresholdSize(threshold);
                each(Plain{granularity, threshold}, offset);
            }
        }
    }
}

TEST_F(PredicateOracle, ShortcutsDecideAsThePlainRoundedFormulas) {
    std::mt19937_64 random(99);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::size_t hits[4] = {};
    std::size_t misses[4] = {};
    for (const std::int16_t granularity : {std::int16_t{0}, std::int16_t{2}, std::int16_t{3}, std::int16_t{6},
                                           std::int16_t{18}, std::int16_t{25}}) {
        for (const double threshold : {0.0, 1e-12, 0.001, 0.5}) {
            for (const double offset : {0.0, 3.5e6, 1e12}) {
                cleaner().setGranularity(granularity);
                cleaner().setIdenticalPointThresholdSize(threshold);
                const Plain plain{granularity, threshold};
                // Offsets of the order of the threshold and of the rounding unit.
                const double scale = std::max(threshold, std::pow(10.0, -std::min<int>(granularity, 18)));
                for (int k = 0; k < 400; ++k) {
                    const Point p1{offset + 10 * unit(random), offset + 10 * unit(random)};
                    const double t = 2.0 * unit(random);  // the middle point before, between or past the ends
                    const Point p3{p1.x + 5 * unit(random), p1.y + (k % 7 == 0 ? 0.0 : 5 * unit(random))};
                    const Point p2{p1.x + t * (p3.x - p1.x) + 3 * scale * unit(random),
                                   p1.y + t * (p3.y - p1.y) + 3 * scale * unit(random)};
                    const Point q{p1.x + 3 * scale * unit(random), p1.y + 3 * scale * unit(random)};
                    const bool got[4] = {cleaner().ThreePointsOnLine(p1.x, p1.y, p2.x, p2.y, p3.x, p3.y),
                                         cleaner().ThreePointsOnLineNisMiddle(p1.x, p1.y, p2.x, p2.y, p3.x, p3.y),
                                         cleaner().ThreePointsOnLineAndUturn(p1.x, p1.y, p2.x, p2.y, p3.x, p3.y),
                                         cleaner().ThreePointsOnLineAndUturn(p2.x, p2.y, p1.x, p1.y, p3.x, p3.y)};
                    const bool want[4] = {plain.onLine(p1, p2, p3), plain.middle(p1, p2, p3), plain.uturn(p1, p2, p3),
                                          plain.uturn(p2, p1, p3)};
                    for (int i = 0; i < 4; ++i) {
                        ASSERT_EQ(got[i], want[i]) << "predicate " << i << " granularity " << granularity
                                                   << " threshold " << threshold << " offset " << offset << " case " << k;
                        (got[i] ? hits : misses)[i]++;
                    }

                    // The identical-points pass: a square whose corners are
                    // followed by points near them keeps what the plain test keeps.
                    const Ring ring{p1, q, {p1.x, p1.y + 7}, {p1.x + 7, p1.y + 7}, {p1.x + 7, p1.y}};
                    Ring kept;
                    for (std::size_t v = 0; v < ring.size(); ++v) {
                        if (!plain.identical(ring[v], ring[(v + 1) % ring.size()])) kept.push_back(ring[v]);
                    }
                    pass(&clsPolygonCleaner::EliminateIdenticalPoints, Polygon{{ring}});
                    const Polygon expected = kept.size() >= 3 ? Polygon{{kept}} : Polygon{};
                    ASSERT_EQ(cleaner().polygon(), expected) << "granularity " << granularity << " case " << k;
                }
            }
        }
    }
    // Both outcomes occur for every predicate, so the comparison says something.
    for (int i = 0; i < 4; ++i) {
        EXPECT_GT(hits[i], 100u) << i;
        EXPECT_GT(misses[i], 100u) << i;
    }
}

// The U-turn test settles most vertices from the triangle's angles; on
// triangles of every shape (sharp teeth, straight runs, right angles, sides
// from far below to far above the threshold and rounding unit) it decides
// as the plain rounded formula and as its own plain form.
TEST_F(PredicateOracle, UturnShortcutDecidesAsThePlainFormula) {
    std::mt19937_64 random(2026);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::size_t turns = 0, total = 0;
    forEachUturnSetting(cleaner(), [&](const Plain& plain, double offset) {
        const auto [granularity, threshold] = plain;
        const double scale = threshold + std::pow(10.0, -granularity);
        for (int k = 0; k < 600; ++k) {
            const auto length = [&] { return scale * std::pow(10.0, -2 + 4 * unit(random)); };
            const double turn = 2 * std::numbers::pi * unit(random);
            // Now and then a turn of almost exactly 0 or 180 degrees, or a right
            // angle, or a thin spike: back along almost the same length, so that
            // the angles at its ends lie either side of a right angle.
            const bool spike = k % 6 == 3;
            const double angle = k % 6 == 0   ? std::numbers::pi * (1 + 1e-9 * (unit(random) - 0.5))
                                 : k % 6 == 1 ? 1e-9 * (unit(random) - 0.5)
                                 : k % 6 == 2 ? std::numbers::pi / 2
                                 : spike      ? std::numbers::pi * (1 - 1e-3 * unit(random))
                                              : 2 * std::numbers::pi * unit(random);
            // And small triangles, sides a few times the threshold and rounding
            // unit, where their angles alone may not settle the test.
            const bool small = k % 6 == 4;
            const auto side = [&] { return small ? scale * (0.5 + 8 * unit(random)) : length(); };
            const double la = side();
            const double lb = spike ? la * (1 + 2e-3 * (unit(random) - 0.5)) : side();
            const Point p1{offset + 10 * unit(random), offset + 10 * unit(random)};
            const Point p2{p1.x + la * std::cos(turn), p1.y + la * std::sin(turn)};
            const Point p3{p2.x + lb * std::cos(turn + angle), p2.y + lb * std::sin(turn + angle)};
            const bool got = cleaner().ThreePointsOnLineAndUturn(p1.x, p1.y, p2.x, p2.y, p3.x, p3.y);
            ASSERT_EQ(got, plain.uturn(p1, p2, p3)) << granularity << " " << threshold << " " << offset << " " << k;
            ASSERT_EQ(got, cleaner().ThreePointsOnLineAndUturnPlain(p1.x, p1.y, p2.x, p2.y, p3.x, p3.y)) << k;
            turns += got;
            ++total;
        }
    });
    EXPECT_GT(turns, total / 50);  // U-turns found too, not only straight runs
    EXPECT_GT(total - turns, total / 10);  // and vertices the shortcut settles
}

// Middle points near the line through the two others, before, between and
// beyond them, a few thresholds and rounding units off it, where the U-turn
// test's tiers and the plain formula's line distance decide together: the
// test and the pass decide as the plain rounded formula. Lines at every
// direction, and nearly vertical ones whose ends lie a rounding unit or so
// apart in x (where the plain formula takes the horizontal offset).
TEST_F(PredicateOracle, MiddlePointsNearTheLineDecideAsThePlainFormula) {
    // EliminateOverNextPoints on `ring` drops exactly the vertices the plain
    // formula calls U-turns (all found on the unchanged ring), unless fewer
    // than three would be left.
    const auto expectPassAsPlain = [&](const Plain& plain, const Ring& ring) {
        const std::size_t n = ring.size();
        std::vector<bool> drop(n);
        std::size_t drops = 0;
        for (std::size_t v = 0; v < n; ++v) {
            drop[v] = plain.uturn(ring[(v + n - 1) % n], ring[v], ring[(v + 1) % n]);
            drops += drop[v];
        }
        Ring kept;
        for (std::size_t v = 0; v < n; ++v) {
            if (!drop[v] || n - drops < 3) kept.push_back(ring[v]);
        }
        pass(&clsPolygonCleaner::EliminateOverNextPoints, Polygon{{ring}});
        EXPECT_EQ(cleaner().polygon(), Polygon{{kept}}) << plain.granularity << " " << plain.threshold << " n " << n;
    };
    Ring long_;
    std::mt19937_64 random(1208);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::size_t turns = 0, total = 0;
    forEachUturnSetting(cleaner(), [&](const Plain& plain, double offset) {
        const auto [granularity, threshold] = plain;
        const double roundingUnit = std::pow(10.0, -granularity);
        const double scale = threshold + roundingUnit;
        for (int k = 0; k < 800; ++k) {
            const Point p1{offset + 10 * unit(random), offset + 10 * unit(random)};
            const double length = scale * std::pow(10.0, 4 * unit(random));
            const bool steep = k % 4 == 0;
            const double dx = steep ? roundingUnit * 3.5 * unit(random) * (k % 8 == 0 ? 1 : -1)
                                    : length * std::cos(2 * std::numbers::pi * unit(random));
            const double dy = steep ? length : length * std::sin(2 * std::numbers::pi * unit(random));
            const Point p3{p1.x + dx, p1.y + dy};
            // Along the line: before 1, between, or beyond 3 (far beyond
            // on the steep lines, where the horizontal offset the plain
            // formula takes for a vertical line differs from the distance);
            // then off it by a few tenths to a few times the threshold and unit.
            const double far = steep ? 20.0 : 1.5;
            const double t = k % 3 == 0 ? -far * unit(random) : k % 3 == 1 ? unit(random) : 1 + far * unit(random);
            const double off = scale * std::pow(10.0, -1.5 + 2.5 * unit(random)) * (k % 2 == 0 ? 1 : -1);
            const double norm = std::hypot(dx, dy);
            const Point p2{p1.x + t * dx - off * dy / norm, p1.y + t * dy + off * dx / norm};
            const bool got = cleaner().ThreePointsOnLineAndUturn(p1.x, p1.y, p2.x, p2.y, p3.x, p3.y);
            ASSERT_EQ(got, plain.uturn(p1, p2, p3)) << granularity << " " << threshold << " " << offset << " " << k;
            ASSERT_EQ(got, cleaner().ThreePointsOnLineAndUturnPlain(p1.x, p1.y, p2.x, p2.y, p3.x, p3.y)) << k;
            turns += got;
            ++total;
            if (k % 4 != 0) continue;
            // The pass over a ring of these points and one more: it drops what
            // the plain formula finds.
            expectPassAsPlain(plain, Ring{p1, p2, p3, {p1.x - dy, p1.y + dx}});
            long_.insert(long_.end(), {p1, p2, p3});
        }
        // And over a ring of all those triples in a row, where the pass
        // asks the test at vertex after vertex.
        expectPassAsPlain(plain, long_);
        long_.clear();
    });
    EXPECT_GT(turns, total / 10);
    EXPECT_GT(total - turns, total / 3);
}

}  // namespace
}  // namespace plyvet::cleaner_test
