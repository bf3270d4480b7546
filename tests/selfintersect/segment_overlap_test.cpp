// The common shape of two edges, as the overlap repair reads it: the order
// of a common stretch's ends follows the first edge.

#include "selfintersect/segment_overlap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace plyvet::selfintersect::test {
namespace {

using Kind = CommonShape::Kind;

struct IntersectCase {
    const char* name;
    Segment first, second;
    Kind kind;
    gis::Point begin, end;  // checked for Point (begin) and Line
};

TEST(SegmentIntersect, CommonShapes) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const IntersectCase cases[] = {
        {"SameDirection", {{0, 0}, {10, 0}}, {{5, 0}, {15, 0}}, Kind::Line, {5, 0}, {10, 0}},
        {"OppositeDirection", {{0, 0}, {10, 0}}, {{15, 0}, {5, 0}}, Kind::Line, {5, 0}, {10, 0}},
        {"FirstRunsBackwards", {{10, 0}, {0, 0}}, {{5, 0}, {15, 0}}, Kind::Line, {10, 0}, {5, 0}},
        // A spike: the stretch ends at the tip.
        {"VerticalSpike", {{10, 0}, {10, -5}}, {{10, -5}, {10, -2}}, Kind::Line, {10, -2}, {10, -5}},
        {"SecondInsideFirst", {{0, 0}, {10, 10}}, {{3, 3}, {2, 2}}, Kind::Line, {2, 2}, {3, 3}},
        {"SteepLine", {{0, 0}, {1, 10}}, {{0.5, 5}, {2, 20}}, Kind::Line, {0.5, 5}, {1, 10}},
        {"CollinearTouching", {{0, 0}, {5, 0}}, {{5, 0}, {10, 0}}, Kind::Point, {5, 0}, {}},
        {"CollinearApart", {{0, 0}, {4, 0}}, {{5, 0}, {10, 0}}, Kind::Nothing, {}, {}},
        {"Parallel", {{0, 0}, {10, 0}}, {{0, 1e-4}, {10, 1e-4}}, Kind::Nothing, {}, {}},
        {"Crossing", {{0, 0}, {10, 10}}, {{0, 10}, {10, 0}}, Kind::Point, {5, 5}, {}},
        {"EndOnInterior", {{0, 0}, {10, 0}}, {{5, 5}, {5, 0}}, Kind::Point, {5, 0}, {}},
        {"Apart", {{0, 0}, {1, 1}}, {{5, 0}, {6, -3}}, Kind::Nothing, {}, {}},
        {"PointOnSegment", {{3, 0}, {3, 0}}, {{0, 0}, {10, 0}}, Kind::Point, {3, 0}, {}},
        {"EqualPoints", {{3, 1}, {3, 1}}, {{3, 1}, {3, 1}}, Kind::Point, {3, 1}, {}},
        {"NaN", {{0, 0}, {nan, 0}}, {{0, 0}, {10, 0}}, Kind::Nothing, {}, {}},
    };
    for (const IntersectCase& c : cases) {
        const CommonShape common = intersect(c.first, c.second);
        EXPECT_EQ(common.kind, c.kind) << c.name;
        if (common.kind != c.kind || c.kind == Kind::Nothing) continue;
        EXPECT_EQ(common.begin, c.begin) << c.name;
        if (c.kind == Kind::Line) {
            EXPECT_EQ(common.end, c.end) << c.name;
        }
    }
}

// The second segment's ends lie one unit of cross product on either side of
// the first's line; products of this size (2^105) need more than extended
// precision to tell.
TEST(SegmentIntersect, CollinearityIsExact) {
    const Segment first{{0, 0}, {9007199254740991.0, 9007199254740989.0}};
    const Segment second{{4503599627370496.0, 4503599627370495.0}, {4503599627370495.0, 4503599627370494.0}};
    EXPECT_EQ(intersect(first, second).kind, Kind::Point);
    EXPECT_EQ(intersect(second, first).kind, Kind::Point);
}

TEST(SegmentIntersect, Length) {
    EXPECT_EQ(length({{0, 0}, {3, 4}}), 5.0);
    EXPECT_EQ(length({{2, 2}, {2, 2}}), 0.0);
}

}  // namespace
}  // namespace plyvet::selfintersect::test
