// Clean() as a whole: the pass sequence, the repetition rule, the header
// lines under the log-filter option, and hostile input.

#include "cleaner_fixture.h"

#include <limits>
#include <random>
#include <set>

namespace plyvet::cleaner_test {
namespace {

using CleanRun = PolygonCleanerTest;

// A bar along y = 0 with teeth hanging down onto it from y = 10. The
// line-tangency pass splits off one tooth per run.
Ring comb(int teeth) {
    const double width = 10.0 * (teeth + 1);
    Ring ring{{0, 0}, {width, 0}, {width, 10}};
    for (int j = 1; j <= teeth; ++j) {
        const double x = width - 10.0 * j;
        ring.insert(ring.end(), {{x + 1, 10}, {x, 0}, {x - 1, 10}});
    }
    ring.push_back({0, 10});
    return ring;
}

TEST_F(CleanRun, FullLogNamesEveryPartFilteredLogOnlyTheFaultyOne) {
    const Polygon faultless{{box(0, 0, 10, 10)}};
    const Polygon doubled{{box(0, 0, 10, 10), Ring{{50, 50}, {50, 60}, {50, 60}, {60, 60}, {60, 50}}}};
    const Texts found{"Polygon-Part 1: direkt aufeinanderfolgende identische Stützpunkte",
                      "Polygon-Part 1: Duplikat (Punktnummer 1) wurde nicht exportiert X: 50, Y: 60"};
    EXPECT_EQ(clean(faultless), 0);
    EXPECT_EQ(events, (Texts{kSeparator, header(0, 4)}));
    EXPECT_EQ(clean(doubled), 0);
    EXPECT_EQ(events, (Texts{kSeparator, header(0, 4), kSeparator, header(1, 5), found[0], found[1]}));
    onlyErrorObjects = true;
    EXPECT_EQ(clean(faultless), 0);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(clean(doubled), 0);
    EXPECT_EQ(events, (Texts{kSeparator, header(1, 5), found[0], found[1]}));
}

// Only faulty objects logged: each finding about a part follows that part's header.
TEST_F(CleanRun, FilteredLogPutsTheHeaderBeforeEachReport) {
    onlyErrorObjects = true;
    const Ring far = box(50, 50, 60, 60);
    const std::pair<Polygon, int> cases[] = {
        {Polygon{{far, Ring{{0, 0}, {0, 10}, {0, 10}, {10, 10}, {10, 0}}}}, 5},                 // identical points
        {Polygon{{far, Ring{{0, 0}, {0, 10}, {5, 10}, {5, 20}, {5, 12}, {10, 10}, {10, 0}}}}, 7},  // spike
        {Polygon{{far, Ring{{0, 0}, {0, 10}, {10, 10}, {10, 20}, {20, 20}, {20, 10}, {10, 10}, {10, 0}}}}, 8},
        {Polygon{{far, Ring{{0, 0}, {20, 0}, {20, 10}, {11, 10}, {10, 0}, {9, 10}, {0, 10}}}}, 7},  // on a line
        {Polygon{{far, Ring{{0, 0}, {10, 10}, {10, 0}, {0, 10}}}}, 4},                           // crossing
        {Polygon{{far, reversed(box(0, 0, 10, 10))}}, 4},                                      // orientation
    };
    for (const auto& [polygon, count] : cases) {
        clean(polygon);
        ASSERT_GE(events.size(), 3u) << count;
        EXPECT_EQ(Texts(events.begin(), events.begin() + 2), (Texts{kSeparator, header(1, count)}));
        EXPECT_TRUE(events[2].starts_with("Polygon-Part 1") || events[2].starts_with("Laufrichtungskorrektur bei Part 1"))
            << events[2];
    }
}

TEST_F(CleanRun, LogFilterIsReadAtEachReport) {
    cleaner().ActionTaken = [this](const std::string& text) {
        events.push_back(text);
        if (text.find("direkt aufeinanderfolgende") != std::string::npos) onlyErrorObjects = true;
    };
    EXPECT_EQ(clean(Polygon{{Ring{{0, 0}, {0, 10}, {0, 10}, {10, 10}, {10, 0}},
                             Ring{{50, 50}, {50, 60}, {50, 60}, {60, 60}, {60, 50}}}}),
              0);
    EXPECT_EQ(events, (Texts{kSeparator, header(0, 5), kSeparator, header(1, 5),
                             "Polygon-Part 0: direkt aufeinanderfolgende identische Stützpunkte",
                             "Polygon-Part 0: Duplikat (Punktnummer 1) wurde nicht exportiert X: 0, Y: 10",
                             kSeparator, header(1, 5),
                             "Polygon-Part 1: direkt aufeinanderfolgende identische Stützpunkte",
                             "Polygon-Part 1: Duplikat (Punktnummer 1) wurde nicht exportiert X: 50, Y: 60"}));
}

TEST_F(CleanRun, PointsOnLineAreDeletedOnlyWhenEnabled) {
    const Polygon extra{{Ring{{0, 0}, {0, 10}, {10, 10}, {10, 4}, {10, 0}}}};
    EXPECT_EQ(clean(extra), 0);
    EXPECT_EQ(cleaner().polygon(), extra);
    cleaner().DeletePointsOnLineEnabled = true;
    EXPECT_EQ(clean(extra), 0);
    EXPECT_EQ(cleaner().polygon(), Polygon{{box(0, 0, 10, 10)}});
}

// The failure text follows the sixth run whatever it reported; a seventh run is the last.
TEST_F(CleanRun, PassThatDoesNotSettleReportsItsFailureOnceAfterTheSixthRun) {
    const std::string split = "Polygon-Part 0: tangiert sich selbst auf einer Linie";
    const std::string failed = "Ermittlung und Korrektur von Selbst-Tangierungen auf einer Linie ist fehlgeschlagen.";
    struct Case {
        int teeth;
        std::size_t splits, failures;
        std::int32_t error;
    };
    for (const Case& c : {Case{4, 4, 0, 0}, Case{5, 5, 1, 0}, Case{7, 7, 1, 0}, Case{9, 7, 1, kCrossingError}}) {
        EXPECT_EQ(clean(Polygon{{comb(c.teeth)}}), c.error) << c.teeth;
        EXPECT_EQ(countOf(split), c.splits) << c.teeth;
        EXPECT_EQ(countOf(failed), c.failures) << c.teeth;
        if (c.splits == 7) {
            EXPECT_EQ(std::count(events.begin(), std::find(events.begin(), events.end(), failed), split), 6);
        }
    }
    EXPECT_EQ(clean(Polygon{{comb(7)}}), 0);
    EXPECT_EQ(cleaner().polygon().parts.size(), 8u);
}

// The touching lies on the closing edge, which the line-tangency pass leaves alone.
TEST_F(CleanRun, TestPolygonLosesItsClosingPointAndCrossesItselfOnTheClosingEdge) {
    EXPECT_EQ(clean(clsPolygonCleaner::CreateTestPolygon()), kCrossingError);
    EXPECT_EQ(findings(), (Texts{"Polygon-Part 0: direkt aufeinanderfolgende identische Stützpunkte",
                                 "Polygon-Part 0: Duplikat (Punktnummer 5) wurde nicht exportiert X: 1, Y: 3",
                                 "Polygon-Part 0: schneidet sich selbst", "Polygon-Part 0: Schnittpunkt X: 3, Y: 3"}));
    EXPECT_EQ(cleaner().GetIntersectionPoint(), (Point{3, 3}));
    cleaner().setPolygon(Polygon{});
    EXPECT_FALSE(cleaner().GetIntersectionPoint());
}

// Nothing a shapefile can hold makes Clean() crash or loop: it ends, or it
// raises one of its own errors (or the geometry library's) with sound indices.
TEST_F(CleanRun, HostileInputEndsOrRaisesOneOfTheKnownErrors) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<Polygon> inputs{
        Polygon{},
        Polygon{{Ring{{nan, nan}, {nan, nan}, {nan, nan}, {nan, nan}, {nan, nan}}}},
        Polygon{{Ring{{inf, 0}, {-inf, 0}, {0, inf}, {0, -inf}, {inf, inf}}}},
        Polygon{{Ring{{0, 0}, {1e-300, 0}, {1e-300, 1e-300}, {0, 1e-300}, {0, 0}}}},
    };
    // Small rings on a 5 x 5 grid: coinciding vertices, collinear runs, crossings.
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int> grid(0, 4), size(3, 12), partCount(1, 3);
    const double oddValues[] = {nan, inf, -inf, 1e308, 0.0005};
    for (int k = 0; k < 400; ++k) {
        Polygon p;
        for (int i = partCount(random); i > 0; --i) {
            Ring ring;
            for (int v = k % 20 == 0 ? k % 3 : size(random); v > 0; --v) {
                ring.push_back({static_cast<double>(grid(random)), static_cast<double>(grid(random))});
            }
            if (!ring.empty() && k % 25 == 0) ring.front().x = oddValues[(k / 25) % 5];
            p.parts.push_back(std::move(ring));
        }
        inputs.push_back(std::move(p));
    }
    const std::set<std::int32_t> known{0, kAreaError, kCrossingError, kOverlapError, kTooFewError, err::kGisFailure};
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        std::int32_t number = 0;
        try {
            number = clean(inputs[k]);
        } catch (const std::exception& other) {
            ADD_FAILURE() << "input " << k << ": " << other.what();
            continue;
        }
        EXPECT_TRUE(known.count(number)) << "input " << k << ": " << number;
        const auto& parts = cleaner().polygon().parts;
        if (number == kAreaError || number == kTooFewError) {
            EXPECT_TRUE(cleaner().CorruptedPart() >= 0 && std::size_t(cleaner().CorruptedPart()) < parts.size()) << k;
        }
        if (number == 0) {
            for (const Ring& ring : parts) EXPECT_GE(ring.size(), 3u) << "input " << k;
        }
    }
}

}  // namespace
}  // namespace plyvet::cleaner_test
