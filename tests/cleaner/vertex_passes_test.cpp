// The vertex passes and the three-point predicates.

#include "cleaner_fixture.h"

namespace plyvet::cleaner_test {
namespace {

using VertexPasses = PolygonCleanerTest;

TEST_F(VertexPasses, OfCoincidingSuccessiveVerticesTheLastStays) {
    const Ring ring{{0, 0}, {0, 10.00004}, {0, 10}, {0, 10}, {10, 10}, {10, 0}};
    EXPECT_TRUE(pass(&clsPolygonCleaner::EliminateIdenticalPoints, Polygon{{ring}}));
    EXPECT_EQ(cleaner().polygon(), Polygon{{box(0, 0, 10, 10)}});
    EXPECT_EQ(events, (Texts{"Polygon-Part 0: direkt aufeinanderfolgende identische Stützpunkte",
                             "Polygon-Part 0: Duplikat (Punktnummer 1) wurde nicht exportiert X: 0, Y: 10",
                             "Polygon-Part 0: direkt aufeinanderfolgende identische Stützpunkte",
                             "Polygon-Part 0: Duplikat (Punktnummer 2) wurde nicht exportiert X: 0, Y: 10"}));
    bool again = true;
    cleaner().EliminateIdenticalPoints(again);
    EXPECT_FALSE(again);
}

TEST_F(VertexPasses, IdenticalMeansRoundedDistanceBelowTheThreshold) {
    struct Case {
        std::int16_t granularity;
        double threshold, gap;
        bool dropped;
    };
    const Case cases[] = {
        {3, 0.001, 0.0014, false},  // rounds to 0.001: not below
        {3, 0.001, 0.0004, true},   // rounds to 0
        {3, 0.0, 0.0, false},       // threshold 0: not even equal points
        {0, 0.001, 0.3, true},      // whole units
        {0, 0.001, 0.6, false},
    };
    for (const Case& c : cases) {
        cleaner().setGranularity(c.granularity);
        cleaner().setIdenticalPointThresholdSize(c.threshold);
        const Ring ring{{0, 0}, {0, 10}, {c.gap, 10}, {10, 10}, {10, 0}};
        EXPECT_EQ(pass(&clsPolygonCleaner::EliminateIdenticalPoints, Polygon{{ring}}), c.dropped) << c.gap;
    }
}

TEST_F(VertexPasses, PartsFallingBelowThreeAreDroppedAndLaterPartsMoveUp) {
    cleaner().DecimalSeparator = ',';
    const Ring spiked{{20, 0}, {20, 10}, {25, 10}, {25, 20}, {25, 12}, {30, 10}, {30, 0}};
    EXPECT_TRUE(pass(&clsPolygonCleaner::EliminateIdenticalPoints,
                     Polygon{{Ring{{5.2504, 5}, {5.2504, 5}}, Ring{{0, 0}, {0, 0}, {1, 1}, {1, 1}}, spiked}}));
    ASSERT_EQ(events.size(), 10u);
    EXPECT_EQ(Texts(events.begin(), events.begin() + 5),
              (Texts{"Polygon-Part 0: weniger als 3 Stützpunkte",
                     "Polygon-Part 0: Punkt 0 wird nicht exportiert X: 5,25, Y: 5",
                     "Polygon-Part 0: weniger als 3 Stützpunkte",
                     "Polygon-Part 0: Punkt 1 wird nicht exportiert X: 5,25, Y: 5",
                     "Polygon-Part 0: eliminiert, da nach Änderung weniger als 3 Punkte vorhanden"}));
    EXPECT_EQ(events.back(), "Polygon-Part 1: eliminiert, da nach Änderung weniger als 3 Punkte vorhanden");
    EXPECT_TRUE(pass(&clsPolygonCleaner::EliminateOverNextPoints, cleaner().polygon()));
    EXPECT_EQ(events.front(), "Polygon-Part 0: teilweise Überlappung durch 180°-Richtungswechsel auf einer Geraden");
}

// Spikes A, B, A' on one line lose their tip B, vertical or not.
TEST_F(VertexPasses, SpikeLosesItsTip) {
    struct Case {
        Ring ring;
        int tip;
        const char* where;
    };
    const Case cases[] = {
        {{{0, 0}, {0, 10}, {5, 10}, {5, 20}, {5, 12}, {10, 10}, {10, 0}}, 3, "X: 5, Y: 20"},  // A' on AB
        {{{0, 0}, {0, 10}, {5, 10}, {5, 20}, {5, 5}, {10, 10}, {10, 0}}, 3, "X: 5, Y: 20"},   // A on BA'
        {{{0, 0}, {0, 10}, {10, 10}, {10, 5}, {20, 5}, {15, 5}, {10, 4}, {10, 0}}, 4, "X: 20, Y: 5"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(pass(&clsPolygonCleaner::EliminateOverNextPoints, Polygon{{c.ring}})) << c.tip;
        Ring expected = c.ring;
        expected.erase(expected.begin() + c.tip);
        EXPECT_EQ(cleaner().polygon(), Polygon{{expected}});
        EXPECT_EQ(events, (Texts{"Polygon-Part 0: teilweise Überlappung durch 180°-Richtungswechsel auf einer Geraden",
                                 "Polygon-Part 0: Mittlerer Punkt (Punktnummer " + std::to_string(c.tip) +
                                     ") wurde nicht exportiert " + c.where}));
    }
}

TEST_F(VertexPasses, PointOnASideGoesWithHeaderWhenTheFullLogIsKeptButNeverFromATriangle) {
    const Ring ring{{0, 0}, {0, 10}, {10, 10}, {10, 4}, {10, 0}};
    for (const bool filtered : {false, true}) {
        onlyErrorObjects = filtered;
        EXPECT_TRUE(pass(&clsPolygonCleaner::DeletePointsOnLine, Polygon{{ring}}));
        EXPECT_EQ(cleaner().polygon(), Polygon{{box(0, 0, 10, 10)}});
        Texts expected{"Polygon-Part 0: 3 Punkte liegen auf einer Geraden",
                       "Polygon-Part 0: Mittlerer Punkt (Punktnummer 3) wurde nicht exportiert X: 10, Y: 4"};
        if (!filtered) expected.insert(expected.begin(), {kSeparator, header(0, 5)});
        EXPECT_EQ(events, expected);
    }
    const Polygon flat{{Ring{{0, 0}, {10, 0}, {5, 0}}}};
    EXPECT_FALSE(pass(&clsPolygonCleaner::DeletePointsOnLine, flat));
    EXPECT_FALSE(pass(&clsPolygonCleaner::EliminateOverNextPoints, flat));
    EXPECT_EQ(cleaner().polygon(), flat);
}

// Every vertex of a ring folded onto one line lies between its neighbours;
// the part stays for the validation instead of vanishing without a word.
TEST_F(VertexPasses, PartThatThinningWouldEmptyStaysAsItIs) {
    const Polygon folded{{box(20, 20, 30, 30), Ring{{0, 0}, {1, 0}, {2, 0}, {3, 0}}}};
    EXPECT_FALSE(pass(&clsPolygonCleaner::DeletePointsOnLine, folded));
    EXPECT_EQ(cleaner().polygon(), folded);
    EXPECT_EQ(findings(), Texts{});
    cleaner().DeletePointsOnLineEnabled = true;
    EXPECT_EQ(clean(folded), kCrossingError);
    EXPECT_TRUE(cleaner().IsLinearSelfIntersection());
}

TEST_F(VertexPasses, ThreePointPredicates) {
    struct Case {
        double x1, y1, x2, y2, x3, y3;
        bool onLine, middle, uturn;
    };
    const Case cases[] = {
        {0, 0, 5, 5, 10, 10, true, true, false},        // between
        {0, 0, 15, 15, 10, 10, true, false, true},      // 3 between 1 and 2
        {0, 0, 10, 0, -3, 0, true, false, true},        // 1 between 2 and 3
        {0, 0, 0.0004, 5, 0, 10, true, true, false},    // vertical: distance x3 - x2
        {0, 0, 0.0004, 5, 0.0004, 10, true, true, false},  // vertical after rounding
    };
    for (const Case& c : cases) {
        const clsPolygonCleaner& k = cleaner();
        EXPECT_EQ(k.ThreePointsOnLine(c.x1, c.y1, c.x2, c.y2, c.x3, c.y3), c.onLine) << c.x2 << "," << c.y2;
        EXPECT_EQ(k.ThreePointsOnLineNisMiddle(c.x1, c.y1, c.x2, c.y2, c.x3, c.y3), c.middle) << c.x2 << "," << c.y2;
        EXPECT_EQ(k.ThreePointsOnLineAndUturn(c.x1, c.y1, c.x2, c.y2, c.x3, c.y3), c.uturn) << c.x2 << "," << c.y2;
    }
}

}  // namespace
}  // namespace plyvet::cleaner_test
