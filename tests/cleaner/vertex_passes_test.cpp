// The vertex passes and the three-point predicates.

#include "cleaner_fixture.h"

namespace plyvet::cleaner_test {
namespace {

using VertexPasses = PolygonCleanerTest;

TEST_F(VertexPasses, CornerStoredTwiceLosesItsFirstCopy) {
    const Ring doubled{{0, 0}, {0, 10}, {0, 10}, {10, 10}, {10, 0}};
    EXPECT_TRUE(pass(&clsPolygonCleaner::EliminateIdenticalPoints, Polygon{{doubled}}));
    EXPECT_EQ(cleaner().polygon(), Polygon{{box(0, 0, 10, 10)}});
    EXPECT_EQ(events, (std::vector<std::string>{
                          "Polygon-Part 0: direkt aufeinanderfolgende identische Stützpunkte",
                          "Polygon-Part 0: Duplikat (Punktnummer 1) wurde nicht exportiert X: 0, Y: 10",
                      }));
    bool again = true;
    cleaner().EliminateIdenticalPoints(again);
    EXPECT_FALSE(again);
}

// Which pairs of successive vertices count as identical, by granularity and threshold.
TEST_F(VertexPasses, IdenticalMeansRoundedDistanceBelowTheThreshold) {
    struct Case {
        std::int16_t granularity;
        double threshold;
        double gap;
        bool dropped;
    };
    const Case cases[] = {
        {3, 0.001, 0.0014, false},  // rounds to 0.001: not below
        {3, 0.001, 0.0004, true},   // rounds to 0
        {3, 0.0, 0.0, false},       // threshold 0: nothing is identical, not even equal points
        {0, 0.001, 0.3, true},      // whole units: 0.3 rounds to 0
        {0, 0.001, 0.6, false},
    };
    for (const Case& c : cases) {
        cleaner().setGranularity(c.granularity);
        cleaner().setIdenticalPointThresholdSize(c.threshold);
        const Ring ring{{0, 0}, {0, 10}, {c.gap, 10}, {10, 10}, {10, 0}};
        EXPECT_EQ(pass(&clsPolygonCleaner::EliminateIdenticalPoints, Polygon{{ring}}), c.dropped)
            << c.granularity << " " << c.threshold << " " << c.gap;
    }
}

TEST_F(VertexPasses, OfARunOfEqualVerticesTheLastStays) {
    const Ring ring{{0, 0}, {0, 0}, {0, 0}, {0, 10}, {10, 10}, {10, 0}};
    EXPECT_TRUE(pass(&clsPolygonCleaner::EliminateIdenticalPoints, Polygon{{ring}}));
    EXPECT_EQ(cleaner().polygon(), Polygon{{box(0, 0, 10, 10)}});
    EXPECT_EQ(countOf("Polygon-Part 0: direkt aufeinanderfolgende identische Stützpunkte"), 2u);
}

TEST_F(VertexPasses, PartFallingBelowThreeIsDroppedAndLaterPartsMoveUp) {
    const Ring collapsing{{0, 0}, {0, 0}, {1, 1}, {1, 1}};
    const Ring spiked{{20, 0}, {20, 10}, {25, 10}, {25, 20}, {25, 12}, {30, 10}, {30, 0}};
    EXPECT_TRUE(pass(&clsPolygonCleaner::EliminateIdenticalPoints, Polygon{{collapsing, spiked}}));
    EXPECT_EQ(events.back(), "Polygon-Part 0: eliminiert, da nach Änderung weniger als 3 Punkte vorhanden");
    ASSERT_EQ(cleaner().polygon().parts.size(), 1u);
    // The spiked part is part 0 now.
    bool changed = false;
    events.clear();
    cleaner().EliminateOverNextPoints(changed);
    EXPECT_TRUE(changed);
    EXPECT_EQ(events.front(), "Polygon-Part 0: teilweise Überlappung durch 180°-Richtungswechsel auf einer Geraden");
}

TEST_F(VertexPasses, PartOfFewerThanThreeReportsEveryDroppedPoint) {
    EXPECT_TRUE(pass(&clsPolygonCleaner::EliminateIdenticalPoints, Polygon{{Ring{{5.25, 5}, {5.25, 5}}}}));
    EXPECT_EQ(events, (std::vector<std::string>{
                          "Polygon-Part 0: weniger als 3 Stützpunkte",
                          "Polygon-Part 0: Punkt 0 wird nicht exportiert X: 5.25, Y: 5",
                          "Polygon-Part 0: weniger als 3 Stützpunkte",
                          "Polygon-Part 0: Punkt 1 wird nicht exportiert X: 5.25, Y: 5",
                          "Polygon-Part 0: eliminiert, da nach Änderung weniger als 3 Punkte vorhanden",
                      }));
    EXPECT_TRUE(cleaner().polygon().parts.empty());
}

TEST_F(VertexPasses, CoordinatesInTextsAreRoundedAndUseTheSeparator) {
    cleaner().DecimalSeparator = ',';
    const Ring ring{{1.23456, 2.5}, {1.23456, 2.5}, {0, 10}, {10, 10}};
    pass(&clsPolygonCleaner::EliminateIdenticalPoints, Polygon{{ring}});
    EXPECT_EQ(events.at(1), "Polygon-Part 0: Duplikat (Punktnummer 0) wurde nicht exportiert X: 1,235, Y: 2,5");
}

// Spikes A, B, A' on one line lose their tip B, vertical or not.
TEST_F(VertexPasses, SpikeLosesItsTip) {
    struct Case {
        const char* name;
        Ring ring;
        int tip;
        const char* tipText;
    };
    const Case cases[] = {
        {"vertical, A' on AB", {{0, 0}, {0, 10}, {5, 10}, {5, 20}, {5, 12}, {10, 10}, {10, 0}}, 3, "X: 5, Y: 20"},
        {"vertical, A on BA'", {{0, 0}, {0, 10}, {5, 10}, {5, 20}, {5, 5}, {10, 10}, {10, 0}}, 3, "X: 5, Y: 20"},
        {"horizontal", {{0, 0}, {0, 10}, {10, 10}, {10, 5}, {20, 5}, {15, 5}, {10, 4}, {10, 0}}, 4, "X: 20, Y: 5"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(pass(&clsPolygonCleaner::EliminateOverNextPoints, Polygon{{c.ring}})) << c.name;
        Ring expected = c.ring;
        expected.erase(expected.begin() + c.tip);
        EXPECT_EQ(cleaner().polygon(), Polygon{{expected}}) << c.name;
        EXPECT_EQ(findings(), (std::vector<std::string>{
                                  "Polygon-Part 0: teilweise Überlappung durch 180°-Richtungswechsel auf einer Geraden",
                                  "Polygon-Part 0: Mittlerer Punkt (Punktnummer " + std::to_string(c.tip) +
                                      ") wurde nicht exportiert " + c.tipText,
                              }))
            << c.name;
    }
}

TEST_F(VertexPasses, TriangleIsNeverThinned) {
    const Polygon flat{{Ring{{0, 0}, {10, 0}, {5, 0}}}};
    EXPECT_FALSE(pass(&clsPolygonCleaner::EliminateOverNextPoints, flat));
    EXPECT_FALSE(pass(&clsPolygonCleaner::DeletePointsOnLine, flat));
    EXPECT_EQ(cleaner().polygon(), flat);
    EXPECT_TRUE(events.empty());
}

TEST_F(VertexPasses, PointOnTheSideIsDeletedWithHeaderWhenTheFullLogIsKept) {
    const Ring ring{{0, 0}, {0, 10}, {10, 10}, {10, 4}, {10, 0}};
    for (const bool filtered : {false, true}) {
        onlyErrorObjects = filtered;
        EXPECT_TRUE(pass(&clsPolygonCleaner::DeletePointsOnLine, Polygon{{ring}}));
        EXPECT_EQ(cleaner().polygon(), Polygon{{box(0, 0, 10, 10)}});
        std::vector<std::string> expected{
            "Polygon-Part 0: 3 Punkte liegen auf einer Geraden",
            "Polygon-Part 0: Mittlerer Punkt (Punktnummer 3) wurde nicht exportiert X: 10, Y: 4",
        };
        if (!filtered) expected.insert(expected.begin(), {kSeparator, header(0, 5)});
        EXPECT_EQ(events, expected) << filtered;
    }
}

TEST_F(VertexPasses, ThreePointPredicates) {
    struct Case {
        const char* name;
        double x1, y1, x2, y2, x3, y3;
        bool onLine, middle, uturn;
    };
    const Case cases[] = {
        {"between", 0, 0, 5, 5, 10, 10, true, true, false},
        {"off the line", 0, 0, 5, 5.01, 10, 10, false, false, false},
        {"beyond the end", 0, 0, 15, 15, 10, 10, true, false, true},  // 3 lies between 1 and 2
        {"behind the start", 0, 0, -5, -5, 10, 10, true, false, true},   // 1 lies between 2 and 3
        {"turn back past 1", 0, 0, 10, 0, -3, 0, true, false, true},  // 1 lies between 2 and 3
        {"point 2 on point 1", 0, 0, 0, 0, 10, 0, true, false, true},
        // Equal rounded x: the horizontal offset x3 - x2 is the distance.
        {"vertical", 0, 0, 0.0004, 5, 0, 10, true, true, false},
        {"vertical, off", 0, 0, 0.002, 5, 0, 10, false, false, false},
        {"vertical after rounding", 0, 0, 0.0004, 5, 0.0004, 10, true, true, false},
    };
    for (const Case& c : cases) {
        const clsPolygonCleaner& k = cleaner();
        EXPECT_EQ(k.ThreePointsOnLine(c.x1, c.y1, c.x2, c.y2, c.x3, c.y3), c.onLine) << c.name;
        EXPECT_EQ(k.ThreePointsOnLineNisMiddle(c.x1, c.y1, c.x2, c.y2, c.x3, c.y3), c.middle) << c.name;
        EXPECT_EQ(k.ThreePointsOnLineAndUturn(c.x1, c.y1, c.x2, c.y2, c.x3, c.y3), c.uturn) << c.name;
    }
}

}  // namespace
}  // namespace plyvet::cleaner_test
