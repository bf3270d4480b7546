// Splitting parts that touch themselves in a vertex or on an edge.

#include "cleaner_fixture.h"

namespace plyvet::cleaner_test {
namespace {

using TangencyPasses = PolygonCleanerTest;

TEST_F(TangencyPasses, TouchingInAVertexSplitsByThePositionOfThePair) {
    const Ring lower{{0, 0}, {0, 10}, {10, 10}, {10, 0}}, upper{{10, 20}, {20, 20}, {20, 10}, {10, 10}};
    struct Case {
        Ring ring;
        int first, second;
        Polygon expected;
    };
    const Case cases[] = {
        // A figure eight through (10,10), stored as vertices 2 and 6.
        {{{0, 0}, {0, 10}, {10, 10}, {10, 20}, {20, 20}, {20, 10}, {10, 10}, {10, 0}}, 2, 6, Polygon{{lower, upper}}},
        {{{10, 10}, {10, 0}, {0, 0}, {0, 10}, {10, 10}, {10, 20}, {20, 20}, {20, 10}}, 0, 4,
         Polygon{{Ring{{10, 10}, {10, 0}, {0, 0}, {0, 10}}, Ring{{10, 10}, {10, 20}, {20, 20}, {20, 10}}}}},
        {{{0, 0}, {0, 10}, {10, 10}, {10, 20}, {20, 20}, {20, 10}, {10, 10}}, 2, 6,
         Polygon{{Ring{{0, 0}, {0, 10}, {10, 10}}, upper}}},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(pass(&clsPolygonCleaner::EliminateSelfTangencyInAngles, Polygon{{c.ring}}));
        EXPECT_EQ(cleaner().polygon(), c.expected) << c.first << "," << c.second;
        EXPECT_EQ(events, (Texts{"Polygon-Part 0: tangiert sich selbst in einem identischen Punkt und wird aufgetrennt",
                                 "Polygon-Part 0: Erster Punkt (" + std::to_string(c.first) + ") X: 10, Y: 10",
                                 "Polygon-Part 0: Identischer Punkt (" + std::to_string(c.second) + ") X: 10, Y: 10"}));
    }

    const Polygon four{{Ring{{0, 0}, {5, 5}, {0, 0}, {5, -5}}}};
    EXPECT_FALSE(pass(&clsPolygonCleaner::EliminateSelfTangencyInAngles, four));
    EXPECT_EQ(cleaner().polygon(), four);
}

TEST_F(TangencyPasses, VertexOnAnEdgeSplitsIntoTheTwoRingsItCloses) {
    struct Case {
        Ring ring;
        int touching;
        const char* where;
        Polygon expected;
    };
    const Case cases[] = {
        {{{0, 0}, {20, 0}, {20, 10}, {11, 10}, {10, 0}, {9, 10}, {0, 10}}, 4, "X: 10, Y: 0",
         Polygon{{Ring{{0, 0}, {10, 0}, {9, 10}, {0, 10}}, Ring{{20, 0}, {20, 10}, {11, 10}, {10, 0}}}}},
        {{{4, 10}, {5, 0}, {6, 10}, {10, 10}, {10, 0}, {0, 0}, {0, 10}}, 1, "X: 5, Y: 0",  // vertex before the edge
         Polygon{{Ring{{5, 0}, {6, 10}, {10, 10}, {10, 0}}, Ring{{0, 0}, {0, 10}, {4, 10}, {5, 0}}}}},
        // The neighbour exclusion does not wrap: the last vertex on edge (0, 1)
        // is a touching, and the first ring (vertices 0 and 7) is no ring.
        {{{20, 5}, {10, 5}, {10, 4}, {10, 0}, {0, 0}, {0, 10}, {10, 10}, {15, 5}}, 7, "X: 15, Y: 5",
         Polygon{{Ring{{10, 5}, {10, 4}, {10, 0}, {0, 0}, {0, 10}, {10, 10}, {15, 5}}}}},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(pass(&clsPolygonCleaner::EliminateSelfTangencyInLine, Polygon{{c.ring}}));
        EXPECT_EQ(cleaner().polygon(), c.expected) << c.touching;
        EXPECT_EQ(events, (Texts{"Polygon-Part 0: tangiert sich selbst auf einer Linie",
                                 "Polygon-Part 0: Mittlerer Punkt (Punktnummer " + std::to_string(c.touching) +
                                     ") wurde aufgetrennt " + c.where}));
    }
}

TEST_F(TangencyPasses, NoTouchingBeyondAnEdgeOnAStraightRunOrAtTheNextVertex) {
    const Ring cases[] = {
        {{0, 0}, {10, 0}, {10, 5}, {15, 0}, {15, 10}, {0, 10}},            // (15,0) past the edge's end
        {{0, 0}, {10, 0}, {10, 10}, {5, 10}, {5, 0}, {5, -5}, {0, -5}},    // the outline runs straight through (5,0)
        {{0, 0}, {0, 10}, {10, 10}, {10, 5}, {20, 5}, {15, 5}, {10, 4}, {10, 0}},  // a spike: the vertex after the edge
        {{0, 0}, {5, 5}, {0, 0}, {5, -5}},                                 // four vertices
    };
    for (const Ring& ring : cases) {
        EXPECT_FALSE(pass(&clsPolygonCleaner::EliminateSelfTangencyInLine, Polygon{{ring}}));
        EXPECT_EQ(cleaner().polygon(), Polygon{{ring}});
        EXPECT_TRUE(events.empty());
    }
}

}  // namespace
}  // namespace plyvet::cleaner_test
