#include "pipeline/gis/geometry.h"

#include "gis_test_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace plyvet::gis {
namespace {

struct AreaCase {
    std::string name;
    Ring ring;
    double expected;
};

class RingAreaTest : public ::testing::TestWithParam<AreaCase> {};

TEST_P(RingAreaTest, SignFollowsOrientation) {
    const AreaCase& c = GetParam();
    EXPECT_DOUBLE_EQ(ringArea(c.ring), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Geometry, RingAreaTest,
    ::testing::Values(
        AreaCase{"ClockwiseSquareIsPositive", {{0, 0}, {0, 2}, {2, 2}, {2, 0}}, 4.0},
        AreaCase{"CounterClockwiseSquareIsNegative", {{0, 0}, {2, 0}, {2, 2}, {0, 2}}, -4.0},
        AreaCase{"ClockwiseTriangle", {{0, 0}, {0, 3}, {4, 0}}, 6.0},
        AreaCase{"StartVertexDoesNotMatter", {{2, 2}, {2, 0}, {0, 0}, {0, 2}}, 4.0},
        AreaCase{"ConcaveClockwiseLShape", {{0, 0}, {0, 2}, {1, 2}, {1, 1}, {2, 1}, {2, 0}}, 3.0},
        // A figure eight: the clockwise loop and the counter-clockwise loop cancel.
        AreaCase{"BowTieCancels", {{0, 0}, {0, 1}, {2, 0}, {2, 1}}, 0.0},
        AreaCase{"TwoPointsHaveNoArea", {{0, 0}, {5, 5}}, 0.0},
        AreaCase{"EmptyRing", {}, 0.0},
        AreaCase{"CollinearPoints", {{0, 0}, {1, 1}, {2, 2}}, 0.0}),
    test::CaseName());

TEST(Geometry, RingAreaKeepsDigitsAtLargeCoordinates) {
    // A 1 mm square at UTM-sized coordinates: multiplying the raw coordinates
    // loses everything below about 0.01 m², the area itself is 1e-6 m².
    const double x = 6500000.0;
    const double y = 5500000.0;
    const Ring ring{{x, y}, {x, y + 0.001}, {x + 0.001, y + 0.001}, {x + 0.001, y}};
    EXPECT_NEAR(ringArea(ring), 1e-6, 1e-11);
}

TEST(Geometry, AreaSumsSignedPartsAndPointCountAllParts) {
    const Polygon p{{
        {{0, 0}, {0, 10}, {10, 10}, {10, 0}},  // shell, +100
        {{2, 2}, {4, 2}, {4, 4}, {2, 4}},      // hole, -4
        {{20, 0}, {20, 1}, {21, 1}},           // island triangle, +0.5
    }};
    EXPECT_DOUBLE_EQ(area(p), 96.5);
    EXPECT_EQ(pointCount(p), 11u);
    EXPECT_EQ(area(Polygon{}), 0.0);
    EXPECT_EQ(pointCount(Polygon{}), 0u);
}

}  // namespace
}  // namespace plyvet::gis
