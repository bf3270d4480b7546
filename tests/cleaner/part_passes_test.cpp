// Identical parts, and the validation at the end of Clean(): vertex count,
// area, self-crossing, containment and overlap, orientation, slivers.

#include "cleaner_fixture.h"

#include "pipeline/gis/geos_ops.h"
#include "pipeline/gis/number_text.h"

#include <cmath>
#include <limits>

namespace plyvet::cleaner_test {
namespace {

using PartPasses = PolygonCleanerTest;

const Ring kSquare = box(0, 0, 10, 10);
const Ring kSquareFromAnotherCorner{{10, 10}, {10, 0}, {0, 0}, {0, 10}};
const Ring kFarSquare = box(50, 50, 60, 60);
const Ring kFarSquareFromAnotherCorner{{60, 60}, {60, 50}, {50, 50}, {50, 60}};

TEST_F(PartPasses, IdenticalPartIsRemovedAfterTheHeaders) {
    EXPECT_TRUE(pass(&clsPolygonCleaner::EliminateIdenticalParts, Polygon{{kSquare, kSquareFromAnotherCorner}}));
    EXPECT_EQ(events, (std::vector<std::string>{kSeparator, header(0, 4), kSeparator, header(1, 4),
                                                "Polygon-Part 1: wurde eliminiert, da mehrfach vorhanden"}));
    EXPECT_EQ(cleaner().polygon(), Polygon{{kSquare}});
}

TEST_F(PartPasses, PartsSharingSomeVerticesStay) {
    const Polygon neighbours{{kSquare, box(10, 0, 20, 10)}};
    EXPECT_FALSE(pass(&clsPolygonCleaner::EliminateIdenticalParts, neighbours));
    EXPECT_EQ(findings(),
              std::vector<std::string>{"Polygon-Parts 0,1: identische Punkte (Anzahl: 2) - kein Fehler"});
    EXPECT_EQ(cleaner().polygon(), neighbours);
}

// Vertices of two parts count as shared by their rounded distance, however
// far apart the parts' bounds are before rounding.
TEST_F(PartPasses, SharedVerticesOfTwoPartsCountByTheRoundedDistance) {
    struct Case {
        std::int16_t granularity;
        double gap;
        bool shared;
    };
    for (const Case& c : {Case{3, 0.0004, true}, Case{3, 0.0014, false}, Case{0, 0.4, true}, Case{0, 0.6, false}}) {
        cleaner().setGranularity(c.granularity);
        pass(&clsPolygonCleaner::EliminateIdenticalParts, Polygon{{kSquare, box(10 + c.gap, 0, 20, 10)}});
        const std::vector<std::string> expected{"Polygon-Parts 0,1: identische Punkte (Anzahl: 2) - kein Fehler"};
        EXPECT_EQ(findings(), c.shared ? expected : std::vector<std::string>{}) << c.granularity << " " << c.gap;
    }
}

TEST_F(PartPasses, PartIdenticalToSeveralEarlierPartsGoesOnce) {
    EXPECT_TRUE(pass(&clsPolygonCleaner::EliminateIdenticalParts,
                     Polygon{{kSquare, kSquareFromAnotherCorner, kSquare}}));
    EXPECT_EQ(findings(), (std::vector<std::string>{"Polygon-Part 1: wurde eliminiert, da mehrfach vorhanden",
                                                    "Polygon-Part 2: wurde eliminiert, da mehrfach vorhanden"}));
    EXPECT_EQ(cleaner().polygon(), Polygon{{kSquare}});
}

// Part 3 is noted before part 2; each removal must still hit the duplicate.
TEST_F(PartPasses, DuplicatesNotedOutOfOrderRemoveTheRightParts) {
    onlyErrorObjects = true;
    EXPECT_TRUE(pass(&clsPolygonCleaner::EliminateIdenticalParts,
                     Polygon{{kSquare, kFarSquare, kFarSquareFromAnotherCorner, kSquareFromAnotherCorner}}));
    EXPECT_EQ(events, (std::vector<std::string>{"Polygon-Part 3: wurde eliminiert, da mehrfach vorhanden",
                                                "Polygon-Part 2: wurde eliminiert, da mehrfach vorhanden"}));
    EXPECT_EQ(cleaner().polygon(), (Polygon{{kSquare, kFarSquare}}));
}

TEST_F(PartPasses, PartOfFewerThanThreeVerticesEndsClean) {
    struct Case {
        Polygon polygon;
        bool filtered;
        int part;
        std::string description;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {Polygon{{kSquare, Ring{{0, 0}, {1, 1}}}}, false, 1, "Polygon-Part 1 besteht aus 2 Punkten.",
         {kSeparator, header(0, 4), kSeparator, header(1, 2)}},
        {Polygon{{kSquare, Ring{{0, 0}, {1, 1}}}}, true, 1, "Polygon-Part 1 besteht aus 2 Punkten.",
         {kSeparator, header(1, 2)}},
        {Polygon{{Ring{}, kSquare}}, true, 0, "Polygon-Part 0 besteht aus 0 Punkten.", {kSeparator, header(0, 0)}},
    };
    for (const Case& c : cases) {
        onlyErrorObjects = c.filtered;
        cleaner().setPolygon(c.polygon);
        events.clear();
        const RuntimeError e = raisedBy([&] { cleaner().Clean(); });
        EXPECT_EQ(e.number(), kTooFewError);
        EXPECT_EQ(e.source(), "PolygonCleaner");
        EXPECT_EQ(e.description(), c.description);
        EXPECT_EQ(cleaner().CorruptedPart(), c.part);
        EXPECT_EQ(events, c.events);
        cleaner().setPolygon(c.polygon);
        EXPECT_EQ(cleaner().CorruptedPart(), -1);
    }
}

TEST_F(PartPasses, OrientationFollowsTheNestingDepth) {
    struct Case {
        const char* name;
        Polygon polygon;
        std::vector<int> signs;  // of the parts' areas after Clean
        std::vector<std::string> findings;
    };
    const Case cases[] = {
        {"hole given positive", Polygon{{kSquare, box(2, 2, 8, 8)}}, {1, -1},
         {"Laufrichtungskorrektur bei Part 1: jetzt negativ"}},
        {"single negative ring", Polygon{{reversed(kSquare)}}, {1}, {"Laufrichtungskorrektur bei Part 0: jetzt positiv"}},
        {"island in a hole, all positive", Polygon{{box(0, 0, 30, 30), box(5, 5, 25, 25), box(10, 10, 20, 20)}},
         {1, -1, 1}, {"Laufrichtungskorrektur bei Part 1: jetzt negativ"}},
        {"island in a hole, all negative",
         Polygon{{reversed(box(0, 0, 30, 30)), reversed(box(5, 5, 25, 25)), reversed(box(10, 10, 20, 20))}},
         {1, -1, 1},
         {"Laufrichtungskorrektur bei Part 0: jetzt positiv", "Laufrichtungskorrektur bei Part 2: jetzt positiv"}},
        {"already right", Polygon{{kSquare, reversed(box(2, 2, 8, 8)), kFarSquare}}, {1, -1, 1}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(clean(c.polygon), 0) << c.name;
        EXPECT_EQ(findings(), c.findings) << c.name;
        const Polygon& result = cleaner().polygon();
        ASSERT_EQ(result.parts.size(), c.signs.size()) << c.name;
        for (std::size_t i = 0; i < c.signs.size(); ++i) {
            EXPECT_EQ(gis::ringArea(result.parts[i]) > 0 ? 1 : -1, c.signs[i]) << c.name << " part " << i;
        }
    }
}

TEST_F(PartPasses, OrientationReportFollowsItsHeaderWhenFiltered) {
    onlyErrorObjects = true;
    EXPECT_EQ(clean(Polygon{{kSquare, box(2, 2, 8, 8)}}), 0);
    EXPECT_EQ(events, (std::vector<std::string>{kSeparator, header(1, 4),
                                                "Laufrichtungskorrektur bei Part 1: jetzt negativ"}));
}

TEST_F(PartPasses, OverlappingPartsEndCleanWithAPointOfTheCommonArea) {
    struct Case {
        const char* name;
        Ring one, other;
    };
    const Case cases[] = {
        {"crossing squares", kSquare, box(5, 5, 15, 15)},
        {"plus sign, no vertex inside the other", box(0, 4, 20, 6), box(9, 0, 11, 10)},
        {"all vertices inside, edges outside",
         Ring{{0, 0}, {0, 10}, {3, 10}, {3, 3}, {7, 3}, {7, 10}, {10, 10}, {10, 0}}, box(1, 8, 9, 9)},
        {"same area, other vertices", kSquare, Ring{{0, 0}, {0, 5}, {0, 10}, {10, 10}, {10, 0}}},
    };
    for (const Case& c : cases) {
        cleaner().setPolygon(Polygon{{c.one, c.other}});
        events.clear();
        const RuntimeError e = raisedBy([&] { cleaner().Clean(); });
        EXPECT_EQ(e.number(), kOverlapError) << c.name;
        EXPECT_EQ(e.description(), "Die Polygon-Parts 0 und 1 überlagern sich.") << c.name;
        ASSERT_FALSE(events.empty()) << c.name;
        EXPECT_EQ(events.back(), "Polygon-Parts 0,1: überlagern sich.") << c.name;
        const auto where = cleaner().GetIntersectionPoint();
        ASSERT_TRUE(where) << c.name;
        EXPECT_TRUE(gis::containsPoint(Polygon{{c.one}}, *where) && gis::containsPoint(Polygon{{c.other}}, *where))
            << c.name << ": " << where->x << "," << where->y;
    }
}

TEST_F(PartPasses, PartsThatOnlyTouchDoNotOverlap) {
    struct Case {
        const char* name;
        Ring one, other;
        double threshold;
    };
    const Case cases[] = {
        {"in a shared vertex", kSquare, box(10, 10, 20, 20), 0.001},
        {"in a shared vertex, threshold 0", kSquare, box(10, 10, 20, 20), 0.0},
        {"vertex on the other's edge", kSquare, Ring{{10, 5}, {20, 10}, {20, 0}}, 0.001},
    };
    for (const Case& c : cases) {
        cleaner().setIdenticalPointThresholdSize(c.threshold);
        EXPECT_EQ(clean(Polygon{{c.one, c.other}}), 0) << c.name;
        EXPECT_FALSE(cleaner().GetIntersectionPoint()) << c.name;
    }
}

TEST_F(PartPasses, PartsSharingAnEdgeOverlap) {
    EXPECT_EQ(clean(Polygon{{kSquare, box(10, 0, 20, 10)}}), kOverlapError);
    EXPECT_EQ(cleaner().GetIntersectionPoint(), (Point{10, 5}));
}

// The triangle's vertices all lie on the square's outline, yet it shares no
// area with it: it fills the notch and runs along two of its edges.
TEST_F(PartPasses, PartFillingANotchIsNoHoleButSharesEdges) {
    const Ring notched{{0, 0}, {0, 10}, {10, 10}, {10, 0}, {5, 5}};
    const Ring filling{{0, 0}, {5, 5}, {10, 0}};
    EXPECT_EQ(clean(Polygon{{notched, filling}}), kOverlapError);
    const auto where = cleaner().GetIntersectionPoint();
    ASSERT_TRUE(where);
    EXPECT_NEAR(where->x, 7.5, 1e-9);
    EXPECT_NEAR(where->y, 2.5, 1e-9);
}

TEST_F(PartPasses, SliverAtTheToleranceStaysAndBelowItGoesAfterTheOrientation) {
    const Ring sliver = box(20, 0, 21, 0.01);
    const double area = gis::ringArea(sliver);
    cleaner().SplitterAreaTolerance = area;
    EXPECT_EQ(clean(Polygon{{kSquare, sliver}}), 0);
    EXPECT_EQ(cleaner().polygon().parts.size(), 2u);

    const double negative = gis::ringArea(reversed(sliver));
    ASSERT_LT(negative, 0.0);
    cleaner().SplitterAreaTolerance = std::nextafter(-negative, 1.0);
    EXPECT_EQ(clean(Polygon{{reversed(kSquare), reversed(sliver)}}), 0);
    EXPECT_EQ(findings(), (std::vector<std::string>{"Laufrichtungskorrektur bei Part 0: jetzt positiv",
                                                    "Polygon-Part 1 wurde eliminiert (Fläche: -0.01m²)"}));
    EXPECT_EQ(cleaner().polygon(), Polygon{{kSquare}});
}

TEST_F(PartPasses, SeveralSliversAreNamedByTheirFirstIndex) {
    const Ring tiny0 = box(20, 0, 20.05, 0.05);
    const Ring tiny2 = box(30, 0, 30.05, 0.05);
    EXPECT_EQ(clean(Polygon{{tiny0, kSquare, tiny2}}), 0);
    const auto text = [](int part, const Ring& r) {
        return "Polygon-Part " + std::to_string(part) + " wurde eliminiert (Fläche: " +
               gis::formatNumber(gis::ringArea(r), '.') + "m²)";
    };
    EXPECT_EQ(findings(), (std::vector<std::string>{text(0, tiny0), text(2, tiny2)}));
    EXPECT_EQ(cleaner().polygon(), Polygon{{kSquare}});

    cleaner().SplitterAreaTolerance = 0.0;
    EXPECT_EQ(clean(Polygon{{tiny0, kSquare, tiny2}}), 0);
    EXPECT_EQ(cleaner().polygon().parts.size(), 3u);
}

TEST_F(PartPasses, BowTieCrossesItselfAndLaterPartsAreNotExamined) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Polygon p{{Ring{{0, 0}, {10, 10}, {10, 0}, {0, 10}}, Ring{{nan, 0}, {1, 1}, {2, 0}}}};
    cleaner().setPolygon(p);
    const RuntimeError e = raisedBy([&] { cleaner().Clean(); });
    EXPECT_EQ(e.number(), kCrossingError);
    EXPECT_EQ(e.description(), "Polygon-Part 0 schneidet sich selbst");
    EXPECT_EQ(findings(), (std::vector<std::string>{"Polygon-Part 0: schneidet sich selbst",
                                                    "Polygon-Part 0: Schnittpunkt X: 5, Y: 5"}));
    EXPECT_EQ(cleaner().GetIntersectionPoint(), (Point{5, 5}));
    EXPECT_FALSE(cleaner().IsLinearSelfIntersection());
    EXPECT_EQ(cleaner().CorruptedPart(), -1);
}

// With threshold 0 no pass removes the spike; the crossing search finds its
// edges lying on each other.
TEST_F(PartPasses, EdgesRunningBackOverEachOtherAreALinearSelfIntersection) {
    cleaner().setIdenticalPointThresholdSize(0.0);
    EXPECT_EQ(clean(Polygon{{Ring{{0, 0}, {0, 10}, {10, 10}, {10, 5}, {20, 5}, {15, 5}, {10, 4}, {10, 0}}}}),
              kCrossingError);
    EXPECT_TRUE(cleaner().IsLinearSelfIntersection());
    EXPECT_EQ(cleaner().GetIntersectionPoint(), (Point{17.5, 5}));
    EXPECT_EQ(findings().back(), "Polygon-Part 0: Schnittpunkt X: 17.5, Y: 5");
}

TEST_F(PartPasses, PartWithoutComputableAreaIsNamed) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const Ring& broken : {Ring{{0, 0}, {nan, 5}, {5, 5}, {5, 0}}, Ring{{0, 0}, {0, inf}, {5, 5}, {5, 0}},
                               Ring{{0, 0}, {0, 1e308}, {1e308, 1e308}, {1e308, 0}}}) {
        cleaner().setPolygon(Polygon{{kSquare, broken}});
        const RuntimeError e = raisedBy([&] { cleaner().Clean(); });
        EXPECT_EQ(e.number(), kAreaError);
        EXPECT_EQ(e.description(), "Fläche des Polygon-Parts 1 kann nicht festgestellt werden.");
        EXPECT_EQ(cleaner().CorruptedPart(), 1);
    }
}

}  // namespace
}  // namespace plyvet::cleaner_test
