// Where two edges meet, as the overlap confirmation sees it.

#include "cleaner/edge_meeting.h"

#include <gtest/gtest.h>

#include <limits>

namespace plyvet::cleaner_geometry {
namespace {

using Kind = EdgeMeeting::Kind;
using gis::Point;

TEST(EdgeMeeting, KindsOfMeeting) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        Point a1, a2, b1, b2;
        Kind kind;
        Point from, to;
    };
    const Case cases[] = {
        {"crossing", {0, 0}, {10, 10}, {0, 10}, {10, 0}, Kind::Point, {5, 5}, {5, 5}},
        {"T at a vertex", {0, 0}, {0, 10}, {0, 5}, {5, 5}, Kind::Point, {0, 5}, {0, 5}},
        {"end to end at an angle", {0, 0}, {10, 0}, {10, 0}, {10, 10}, Kind::Point, {10, 0}, {10, 0}},
        {"apart", {0, 0}, {10, 0}, {0, 1}, {10, 2}, Kind::None, {}, {}},
        {"would cross beyond the end", {0, 0}, {1, 1}, {0, 10}, {10, 0}, Kind::None, {}, {}},
        {"parallel", {0, 0}, {10, 0}, {0, 1}, {10, 1}, Kind::None, {}, {}},
        {"collinear, apart", {0, 0}, {1, 0}, {2, 0}, {3, 0}, Kind::None, {}, {}},
        {"collinear, end to end", {0, 0}, {1, 0}, {2, 0}, {1, 0}, Kind::Point, {1, 0}, {1, 0}},
        {"collinear, overlapping", {0, 0}, {10, 0}, {15, 0}, {5, 0}, Kind::Stretch, {5, 0}, {10, 0}},
        {"collinear, one inside", {0, 0}, {0, 10}, {0, 7}, {0, 3}, Kind::Stretch, {0, 3}, {0, 7}},
        // Decimal input is not exactly collinear in binary.
        {"collinear decimals", {0.1, 0.2}, {0.7, 1.4}, {0.3, 0.6}, {1.1, 2.2}, Kind::Stretch, {0.3, 0.6}, {0.7, 1.4}},
        {"zero length on the other", {5, 0}, {5, 0}, {0, 0}, {10, 0}, Kind::Point, {5, 0}, {5, 0}},
        {"zero length off the other", {5, 1}, {5, 1}, {0, 0}, {10, 0}, Kind::None, {}, {}},
        {"not a number", {nan, 0}, {10, 0}, {0, 0}, {10, 0}, Kind::None, {}, {}},
    };
    for (const Case& c : cases) {
        const EdgeMeeting m = meetEdges(c.a1, c.a2, c.b1, c.b2);
        EXPECT_EQ(m.kind, c.kind) << c.name;
        if (m.kind == c.kind && c.kind != Kind::None) {
            EXPECT_NEAR(m.from.x, c.from.x, 1e-9) << c.name;
            EXPECT_NEAR(m.from.y, c.from.y, 1e-9) << c.name;
            EXPECT_NEAR(m.to.x, c.to.x, 1e-9) << c.name;
            EXPECT_NEAR(m.to.y, c.to.y, 1e-9) << c.name;
        }
    }
}

}  // namespace
}  // namespace plyvet::cleaner_geometry
