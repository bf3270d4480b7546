// Splitting parts that touch themselves in a vertex or on an edge.

#include "cleaner_fixture.h"

namespace plyvet::cleaner_test {
namespace {

using TangencyPasses = PolygonCleanerTest;

// Two squares whose outline passes twice through (10,10).
const Ring kFigureEight{{0, 0}, {0, 10}, {10, 10}, {10, 20}, {20, 20}, {20, 10}, {10, 10}, {10, 0}};

TEST_F(TangencyPasses, TouchingInAVertexSplitsByThePositionOfThePair) {
    struct Case {
        const char* name;
        Ring ring;
        int first, second;
        Polygon expected;
    };
    const Case cases[] = {
        {"both inside the list", kFigureEight, 2, 6,
         Polygon{{Ring{{0, 0}, {0, 10}, {10, 10}, {10, 0}}, Ring{{10, 20}, {20, 20}, {20, 10}, {10, 10}}}}},
        {"first vertex", Ring{{10, 10}, {10, 0}, {0, 0}, {0, 10}, {10, 10}, {10, 20}, {20, 20}, {20, 10}}, 0, 4,
         Polygon{{Ring{{10, 10}, {10, 0}, {0, 0}, {0, 10}}, Ring{{10, 10}, {10, 20}, {20, 20}, {20, 10}}}}},
        {"last vertex", Ring{{0, 0}, {0, 10}, {10, 10}, {10, 20}, {20, 20}, {20, 10}, {10, 10}}, 2, 6,
         Polygon{{Ring{{0, 0}, {0, 10}, {10, 10}}, Ring{{10, 20}, {20, 20}, {20, 10}, {10, 10}}}}},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(pass(&clsPolygonCleaner::EliminateSelfTangencyInAngles, Polygon{{c.ring}})) << c.name;
        EXPECT_EQ(cleaner().polygon(), c.expected) << c.name;
        EXPECT_EQ(events,
                  (std::vector<std::string>{
                      "Polygon-Part 0: tangiert sich selbst in einem identischen Punkt und wird aufgetrennt",
                      "Polygon-Part 0: Erster Punkt (" + std::to_string(c.first) + ") X: 10, Y: 10",
                      "Polygon-Part 0: Identischer Punkt (" + std::to_string(c.second) + ") X: 10, Y: 10",
                  }))
            << c.name;
    }
}

TEST_F(TangencyPasses, HeaderPrecedesTheReportWhenFiltered) {
    onlyErrorObjects = true;
    pass(&clsPolygonCleaner::EliminateSelfTangencyInAngles, Polygon{{kFigureEight}});
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[0], kSeparator);
    EXPECT_EQ(events[1], header(0, 8));
}

TEST_F(TangencyPasses, RingOfFourIsNeverSplit) {
    const Polygon p{{Ring{{0, 0}, {5, 5}, {0, 0}, {5, -5}}}};
    EXPECT_FALSE(pass(&clsPolygonCleaner::EliminateSelfTangencyInAngles, p));
    EXPECT_FALSE(pass(&clsPolygonCleaner::EliminateSelfTangencyInLine, p));
    EXPECT_EQ(cleaner().polygon(), p);
    EXPECT_TRUE(events.empty());
}

TEST_F(TangencyPasses, VertexOnAnEdgeSplitsIntoTheTwoRingsItCloses) {
    struct Case {
        const char* name;
        Ring ring;
        int touching;
        const char* where;
        Polygon expected;
    };
    const Case cases[] = {
        {"vertex after the edge", Ring{{0, 0}, {20, 0}, {20, 10}, {11, 10}, {10, 0}, {9, 10}, {0, 10}}, 4,
         "X: 10, Y: 0",
         Polygon{{Ring{{0, 0}, {10, 0}, {9, 10}, {0, 10}}, Ring{{20, 0}, {20, 10}, {11, 10}, {10, 0}}}}},
        {"vertex before the edge", Ring{{4, 10}, {5, 0}, {6, 10}, {10, 10}, {10, 0}, {0, 0}, {0, 10}}, 1,
         "X: 5, Y: 0",
         Polygon{{Ring{{5, 0}, {6, 10}, {10, 10}, {10, 0}}, Ring{{0, 0}, {0, 10}, {4, 10}, {5, 0}}}}},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(pass(&clsPolygonCleaner::EliminateSelfTangencyInLine, Polygon{{c.ring}})) << c.name;
        EXPECT_EQ(cleaner().polygon(), c.expected) << c.name;
        EXPECT_EQ(events, (std::vector<std::string>{
                              "Polygon-Part 0: tangiert sich selbst auf einer Linie",
                              "Polygon-Part 0: Mittlerer Punkt (Punktnummer " + std::to_string(c.touching) +
                                  ") wurde aufgetrennt " + c.where,
                          }))
            << c.name;
    }
}

TEST_F(TangencyPasses, NoTouchingOnTheLineBeyondAnEdgeOrOnAStraightRun) {
    const Ring cases[] = {
        // (15,0) lies on the line of edge (0,0)-(10,0), past its end.
        Ring{{0, 0}, {10, 0}, {10, 5}, {15, 0}, {15, 10}, {0, 10}},
        // (5,0) lies on edge (0,0)-(10,0), but the outline runs straight through it.
        Ring{{0, 0}, {10, 0}, {10, 10}, {5, 10}, {5, 0}, {5, -5}, {0, -5}},
    };
    for (const Ring& ring : cases) {
        EXPECT_FALSE(pass(&clsPolygonCleaner::EliminateSelfTangencyInLine, Polygon{{ring}}));
        EXPECT_EQ(cleaner().polygon(), Polygon{{ring}});
        EXPECT_TRUE(events.empty());
    }
}

// The neighbour exclusion works on plain indices: the vertex after an edge's
// end is a spike (the vertex passes' business), but the last vertex lying on
// edge (0, 1) counts as a touching.
TEST_F(TangencyPasses, NeighbourExclusionDoesNotWrapAround) {
    const Ring spikeAfterTheEdge{{0, 0}, {0, 10}, {10, 10}, {10, 5}, {20, 5}, {15, 5}, {10, 4}, {10, 0}};
    EXPECT_FALSE(pass(&clsPolygonCleaner::EliminateSelfTangencyInLine, Polygon{{spikeAfterTheEdge}}));
    EXPECT_TRUE(events.empty());

    const Ring lastOnFirstEdge{{20, 5}, {10, 5}, {10, 4}, {10, 0}, {0, 0}, {0, 10}, {10, 10}, {15, 5}};
    EXPECT_TRUE(pass(&clsPolygonCleaner::EliminateSelfTangencyInLine, Polygon{{lastOnFirstEdge}}));
    EXPECT_EQ(events.back(), "Polygon-Part 0: Mittlerer Punkt (Punktnummer 7) wurde aufgetrennt X: 15, Y: 5");
    // The first ring, vertices 0 and 7, is no ring; the rest is.
    EXPECT_EQ(cleaner().polygon(), (Polygon{{Ring(lastOnFirstEdge.begin() + 1, lastOnFirstEdge.end())}}));
}

}  // namespace
}  // namespace plyvet::cleaner_test
