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
const Ring kSquareTurned{{10, 10}, {10, 0}, {0, 0}, {0, 10}};
const Ring kFar = box(50, 50, 60, 60);
const Ring kFarTurned{{60, 60}, {60, 50}, {50, 50}, {50, 60}};
const double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string removed(int part) { return "Polygon-Part " + std::to_string(part) + ": wurde eliminiert, da mehrfach vorhanden"; }

TEST_F(PartPasses, IdenticalPartsGoOnceEachAndByTheirOwnIndex) {
    struct Case {
        Polygon in, out;
        Texts findings;
    };
    const Case cases[] = {
        {Polygon{{kSquare, kSquareTurned}}, Polygon{{kSquare}}, {removed(1)}},
        {Polygon{{kSquare, kSquareTurned, kSquare}}, Polygon{{kSquare}}, {removed(1), removed(2)}},
        // Part 3 is noted before part 2; each removal must still hit its duplicate.
        {Polygon{{kSquare, kFar, kFarTurned, kSquareTurned}}, Polygon{{kSquare, kFar}}, {removed(3), removed(2)}},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(pass(&clsPolygonCleaner::EliminateIdenticalParts, c.in));
        EXPECT_EQ(findings(), c.findings);
        EXPECT_EQ(cleaner().polygon(), c.out);
    }
    // The full log names every part first.
    pass(&clsPolygonCleaner::EliminateIdenticalParts, Polygon{{kSquare, kSquareTurned}});
    EXPECT_EQ(events, (Texts{kSeparator, header(0, 4), kSeparator, header(1, 4), removed(1)}));
}

// Shared by rounded distance, however far apart the bounds are unrounded.
TEST_F(PartPasses, PartsSharingSomeVerticesStay) {
    struct Case {
        std::int16_t granularity;
        double gap;
        bool shared;
    };
    for (const Case& c : {Case{3, 0.0014, false}, Case{0, 0.4, true}}) {
        cleaner().setGranularity(c.granularity);
        const Polygon p{{kSquare, box(10 + c.gap, 0, 20, 10)}};
        EXPECT_FALSE(pass(&clsPolygonCleaner::EliminateIdenticalParts, p));
        EXPECT_EQ(findings(), c.shared ? Texts{"Polygon-Parts 0,1: identische Punkte (Anzahl: 2) - kein Fehler"} : Texts{})
            << c.gap;
        EXPECT_EQ(cleaner().polygon(), p);
    }
}

// A hole well inside its outline shares nothing; one whose corners come to
// the outline's corners within the threshold once rounded (at a coarse
// granularity, or touching them) shares those, in either order of the parts.
TEST_F(PartPasses, HolesShareVerticesOnlyWhereTheyComeThatClose) {
    struct Case {
        std::int16_t granularity;
        Ring hole;
        int shared;
    };
    // Four of the hole's five corners lie 0.42 from the outline's corners:
    // 0 once rounded to whole units, 0.42 at three places.
    const Ring nearCorners{{0.3, 0.3}, {0.3, 9.7}, {9.7, 9.7}, {9.7, 0.3}, {5, 0.3}};
    const Case cases[] = {
        {3, box(3, 3, 7, 7), 0},
        {3, box(0.01, 0.01, 9.99, 9.99), 0},
        {0, nearCorners, 4},
        {3, nearCorners, 0},
        {0, box(0.4, 0.4, 9.6, 9.6), 0},  // 0.57 apart: 1 once rounded
        {3, Ring{{0, 0}, {0, 5}, {5, 5}, {5, 0}}, 1},
        {0, box(0.3, 0.3, 5, 5), 1},
    };
    for (const Case& c : cases) {
        cleaner().setGranularity(c.granularity);
        // With the hole first, a count equal to the outline's 4 vertices
        // names no sharing: only the outline-first order is asked then.
        for (const bool holeFirst : {false, true}) {
            if (holeFirst && c.shared == 4) continue;
            const Polygon p = holeFirst ? Polygon{{c.hole, kSquare}} : Polygon{{kSquare, c.hole}};
            EXPECT_FALSE(pass(&clsPolygonCleaner::EliminateIdenticalParts, p));
            const Texts want = c.shared == 0 ? Texts{}
                                             : Texts{"Polygon-Parts 0,1: identische Punkte (Anzahl: " +
                                                     std::to_string(c.shared) + ") - kein Fehler"};
            EXPECT_EQ(findings(), want) << "granularity " << c.granularity << " hole first " << holeFirst;
        }
    }
}

TEST_F(PartPasses, UnusablePartsEndCleanAndAreNamed) {
    struct Case {
        Polygon polygon;
        bool filtered;
        std::int32_t number;
        int part;
        std::string description;
        Texts events;
    };
    const Case cases[] = {
        {Polygon{{kSquare, Ring{{0, 0}, {1, 1}}}}, false, kTooFewError, 1, "Polygon-Part 1 besteht aus 2 Punkten.",
         {kSeparator, header(0, 4), kSeparator, header(1, 2)}},
        {Polygon{{Ring{}, kSquare}}, true, kTooFewError, 0, "Polygon-Part 0 besteht aus 0 Punkten.",
         {kSeparator, header(0, 0)}},
        {Polygon{{kSquare, Ring{{20, 0}, {kNaN, 5}, {25, 5}, {25, 0}}}}, true, kAreaError, 1,
         "Fläche des Polygon-Parts 1 kann nicht festgestellt werden.", {}},
    };
    for (const Case& c : cases) {
        onlyErrorObjects = c.filtered;
        const RuntimeError e = cleanError(c.polygon);
        EXPECT_EQ(e.number(), c.number);
        EXPECT_EQ(e.source(), "PolygonCleaner");
        EXPECT_EQ(e.description(), c.description);
        EXPECT_EQ(cleaner().CorruptedPart(), c.part);
        EXPECT_EQ(events, c.events);
        cleaner().setPolygon(c.polygon);
        EXPECT_EQ(cleaner().CorruptedPart(), -1);
    }
}

TEST_F(PartPasses, OrientationFollowsTheNestingDepth) {
    const Ring outer = box(0, 0, 30, 30), hole = box(5, 5, 25, 25), island = box(10, 10, 20, 20);
    const std::string positive0 = "Laufrichtungskorrektur bei Part 0: jetzt positiv";
    struct Case {
        Polygon polygon;
        std::vector<int> signs;
        Texts findings;
    };
    const Case cases[] = {
        {Polygon{{kSquare, box(2, 2, 8, 8)}}, {1, -1}, {"Laufrichtungskorrektur bei Part 1: jetzt negativ"}},
        {Polygon{{reversed(kSquare)}}, {1}, {positive0}},
        {Polygon{{outer, hole, island}}, {1, -1, 1}, {"Laufrichtungskorrektur bei Part 1: jetzt negativ"}},
        {Polygon{{reversed(outer), reversed(hole), reversed(island)}}, {1, -1, 1},
         {positive0, "Laufrichtungskorrektur bei Part 2: jetzt positiv"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(clean(c.polygon), 0);
        EXPECT_EQ(findings(), c.findings);
        const Polygon& result = cleaner().polygon();
        ASSERT_EQ(result.parts.size(), c.signs.size());
        for (std::size_t i = 0; i < c.signs.size(); ++i) {
            EXPECT_EQ(gis::ringArea(result.parts[i]) > 0 ? 1 : -1, c.signs[i]) << i;
        }
    }
}

TEST_F(PartPasses, OverlappingPartsEndCleanWithAPointOfTheCommonArea) {
    const std::pair<Ring, Ring> cases[] = {
        {kSquare, box(5, 5, 15, 15)},
        {box(0, 4, 20, 6), box(9, 0, 11, 10)},  // a plus sign: no vertex inside the other
        {Ring{{0, 0}, {0, 10}, {3, 10}, {3, 3}, {7, 3}, {7, 10}, {10, 10}, {10, 0}}, box(1, 8, 9, 9)},  // a bridge
        {kSquare, Ring{{0, 0}, {0, 5}, {0, 10}, {10, 10}, {10, 0}}},  // the same area
    };
    for (const auto& [one, other] : cases) {
        const RuntimeError e = cleanError(Polygon{{one, other}});
        EXPECT_EQ(e.number(), kOverlapError);
        EXPECT_EQ(e.description(), "Die Polygon-Parts 0 und 1 überlagern sich.");
        EXPECT_EQ(events.back(), "Polygon-Parts 0,1: überlagern sich.");
        const auto where = cleaner().GetIntersectionPoint();
        ASSERT_TRUE(where);
        EXPECT_TRUE(gis::containsPoint(Polygon{{one}}, *where) && gis::containsPoint(Polygon{{other}}, *where));
    }
}

TEST_F(PartPasses, PartsThatOnlyTouchDoNotOverlapButSharedEdgesDo) {
    struct Case {
        Ring other;
        double threshold;
        std::int32_t number;
        Point where;
    };
    const Case cases[] = {
        {box(10, 10, 20, 20), 0.001, 0, {}},
        {box(10, 10, 20, 20), 0.0, 0, {}},  // exactly one vertex is still a touching
        {Ring{{10, 5}, {20, 10}, {20, 0}}, 0.001, 0, {}},
        {box(10, 0, 20, 10), 0.001, kOverlapError, {10, 5}},
    };
    for (const Case& c : cases) {
        cleaner().setIdenticalPointThresholdSize(c.threshold);
        EXPECT_EQ(clean(Polygon{{kSquare, c.other}}), c.number);
        EXPECT_EQ(cleaner().GetIntersectionPoint(), c.number ? std::optional<Point>(c.where) : std::nullopt);
    }
    // All vertices of the triangle lie on the square's outline, yet it sits
    // in the square's notch: no hole, both parts stay outer rings.
    const Polygon notched{{Ring{{0, 0}, {0, 10}, {10, 10}, {10, 0}, {8, 0}, {7, 5}, {3, 5}, {2, 0}},
                           Ring{{2.5, 2.5}, {5, 5}, {7.5, 2.5}}}};
    EXPECT_EQ(clean(notched), 0);
    EXPECT_EQ(cleaner().polygon(), notched);
    EXPECT_TRUE(findings().empty());
}

TEST_F(PartPasses, SliverAtTheToleranceStaysAndBelowItGoesAfterTheOrientation) {
    const Ring sliver = reversed(box(20, 0, 21, 0.01));
    const Ring tiny = box(30, 0, 30.05, 0.05);
    const double area = gis::ringArea(sliver);
    cleaner().SplitterAreaTolerance = -area;
    EXPECT_EQ(clean(Polygon{{kSquare, sliver}}), 0);
    EXPECT_EQ(cleaner().polygon().parts.size(), 2u);

    cleaner().SplitterAreaTolerance = std::nextafter(-area, 1.0);
    EXPECT_EQ(clean(Polygon{{sliver, reversed(kSquare), tiny}}), 0);
    EXPECT_EQ(findings(), (Texts{"Laufrichtungskorrektur bei Part 1: jetzt positiv",
                                 "Polygon-Part 0 wurde eliminiert (Fläche: -0.01m²)",
                                 "Polygon-Part 2 wurde eliminiert (Fläche: " +
                                     gis::formatNumber(gis::ringArea(tiny), '.') + "m²)"}));
    EXPECT_EQ(cleaner().polygon(), Polygon{{kSquare}});

    cleaner().SplitterAreaTolerance = 0.0;
    EXPECT_EQ(clean(Polygon{{kSquare, tiny}}), 0);
    EXPECT_EQ(cleaner().polygon().parts.size(), 2u);
}

TEST_F(PartPasses, BowTieCrossesItselfAndLaterPartsAreNotExamined) {
    const RuntimeError e = cleanError(Polygon{{Ring{{0, 0}, {10, 10}, {10, 0}, {0, 10}}, Ring{{kNaN, 0}, {1, 1}, {2, 0}}}});
    EXPECT_EQ(e.number(), kCrossingError);
    EXPECT_EQ(e.description(), "Polygon-Part 0 schneidet sich selbst");
    EXPECT_EQ(findings(), (Texts{"Polygon-Part 0: schneidet sich selbst", "Polygon-Part 0: Schnittpunkt X: 5, Y: 5"}));
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

}  // namespace
}  // namespace plyvet::cleaner_test
