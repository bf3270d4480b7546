// Clean() as a whole: the pass sequence, the repetition rule, the header
// lines under the log-filter option, and hostile input.

#include "cleaner_fixture.h"

#include <cmath>
#include <limits>
#include <random>
#include <set>

namespace plyvet::cleaner_test {
namespace {

using CleanRun = PolygonCleanerTest;

const std::string kLineTangencyFailed =
    "Ermittlung und Korrektur von Selbst-Tangierungen auf einer Linie ist fehlgeschlagen.";

// A bar along y = 0 with `teeth` teeth hanging down onto it from y = 10. The
// line-tangency pass splits off one tooth per run, right to left.
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

TEST_F(CleanRun, PolygonWithoutFaultsReportsOnlyItsHeaders) {
    EXPECT_EQ(clean(Polygon{{box(0, 0, 10, 10)}}), 0);
    EXPECT_EQ(events, (std::vector<std::string>{kSeparator, header(0, 4)}));
    onlyErrorObjects = true;
    EXPECT_EQ(clean(Polygon{{box(0, 0, 10, 10)}}), 0);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(cleaner().polygon(), Polygon{{box(0, 0, 10, 10)}});
}

TEST_F(CleanRun, FullLogNamesEveryPartFilteredLogOnlyTheFaultyOne) {
    const Ring doubled{{50, 50}, {50, 60}, {50, 60}, {60, 60}, {60, 50}};
    const std::vector<std::string> findings{
        "Polygon-Part 1: direkt aufeinanderfolgende identische Stützpunkte",
        "Polygon-Part 1: Duplikat (Punktnummer 1) wurde nicht exportiert X: 50, Y: 60",
    };
    std::vector<std::string> full{kSeparator, header(0, 4), kSeparator, header(1, 5)};
    full.insert(full.end(), findings.begin(), findings.end());
    std::vector<std::string> filtered{kSeparator, header(1, 5)};
    filtered.insert(filtered.end(), findings.begin(), findings.end());

    EXPECT_EQ(clean(Polygon{{box(0, 0, 10, 10), doubled}}), 0);
    EXPECT_EQ(events, full);
    onlyErrorObjects = true;
    EXPECT_EQ(clean(Polygon{{box(0, 0, 10, 10), doubled}}), 0);
    EXPECT_EQ(events, filtered);
}

// The option is read at each report, not once per Clean().
TEST_F(CleanRun, LogFilterIsReadAtEachReport) {
    cleaner().ActionTaken = [this](const std::string& text) {
        events.push_back(text);
        if (text.find("direkt aufeinanderfolgende") != std::string::npos) onlyErrorObjects = true;
    };
    const Ring first{{0, 0}, {0, 10}, {0, 10}, {10, 10}, {10, 0}};
    const Ring second{{50, 50}, {50, 60}, {50, 60}, {60, 60}, {60, 50}};
    EXPECT_EQ(clean(Polygon{{first, second}}), 0);
    EXPECT_EQ(events, (std::vector<std::string>{
                          kSeparator, header(0, 5), kSeparator, header(1, 5),
                          "Polygon-Part 0: direkt aufeinanderfolgende identische Stützpunkte",
                          "Polygon-Part 0: Duplikat (Punktnummer 1) wurde nicht exportiert X: 0, Y: 10",
                          kSeparator, header(1, 5),
                          "Polygon-Part 1: direkt aufeinanderfolgende identische Stützpunkte",
                          "Polygon-Part 1: Duplikat (Punktnummer 1) wurde nicht exportiert X: 50, Y: 60",
                      }));
}

TEST_F(CleanRun, PointsOnLineAreDeletedOnlyWhenEnabled) {
    const Polygon extra{{Ring{{0, 0}, {0, 10}, {10, 10}, {10, 4}, {10, 0}}}};
    EXPECT_EQ(clean(extra), 0);
    EXPECT_EQ(cleaner().polygon(), extra);
    cleaner().DeletePointsOnLineEnabled = true;
    EXPECT_EQ(clean(extra), 0);
    EXPECT_EQ(cleaner().polygon(), Polygon{{box(0, 0, 10, 10)}});
}

// Runs that change something: teeth; one more run finds nothing to do,
// except that a seventh run is the last. The failure text follows the sixth run.
TEST_F(CleanRun, PassThatDoesNotSettleReportsItsFailureOnceAfterTheSixthRun) {
    struct Case {
        int teeth;
        std::size_t splits;
        std::size_t failures;
        std::int32_t error;
    };
    const Case cases[] = {
        {4, 4, 0, 0},
        {5, 5, 1, 0},  // the sixth run found nothing, the text comes all the same
        {6, 6, 1, 0},
        {7, 7, 1, 0},  // the seventh run still splits
        {9, 7, 1, kCrossingError},  // two teeth left over touch the bar
    };
    const std::string split = "Polygon-Part 0: tangiert sich selbst auf einer Linie";
    for (const Case& c : cases) {
        EXPECT_EQ(clean(Polygon{{comb(c.teeth)}}), c.error) << c.teeth;
        EXPECT_EQ(countOf(split), c.splits) << c.teeth;
        EXPECT_EQ(countOf(kLineTangencyFailed), c.failures) << c.teeth;
        if (c.failures == 1 && c.splits > 6) {
            // After the sixth split's reports, before the seventh's.
            const auto failure = std::find(events.begin(), events.end(), kLineTangencyFailed);
            EXPECT_EQ(std::count(events.begin(), failure, split), 6) << c.teeth;
        }
    }
    EXPECT_EQ(clean(Polygon{{comb(7)}}), 0);
    EXPECT_EQ(cleaner().polygon().parts.size(), 8u);
}

TEST_F(CleanRun, TestPolygonLosesItsClosingPointAndTouchesItselfOnTheClosingEdge) {
    EXPECT_EQ(clean(clsPolygonCleaner::CreateTestPolygon()), kCrossingError);
    EXPECT_EQ(findings(), (std::vector<std::string>{
                              "Polygon-Part 0: direkt aufeinanderfolgende identische Stützpunkte",
                              "Polygon-Part 0: Duplikat (Punktnummer 5) wurde nicht exportiert X: 1, Y: 3",
                              "Polygon-Part 0: schneidet sich selbst",
                              "Polygon-Part 0: Schnittpunkt X: 3, Y: 3",
                          }));
    EXPECT_EQ(cleaner().GetIntersectionPoint(), (Point{3, 3}));
}

TEST_F(CleanRun, NewPolygonForgetsTheFindingsOfTheLastOne) {
    EXPECT_EQ(clean(Polygon{{Ring{{0, 0}, {10, 10}, {10, 0}, {0, 10}}}}), kCrossingError);
    ASSERT_TRUE(cleaner().GetIntersectionPoint());
    EXPECT_EQ(clean(Polygon{{box(0, 0, 10, 10), Ring{{0, 0}, {1, 1}}}}), kTooFewError);
    EXPECT_FALSE(cleaner().GetIntersectionPoint());
    EXPECT_EQ(cleaner().CorruptedPart(), 1);
}

// Nothing a shapefile can hold makes Clean() crash or loop: it ends, or it
// raises one of its own errors (or the geometry library's) with sound indices.
TEST_F(CleanRun, HostileInputEndsOrRaisesOneOfTheKnownErrors) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<Polygon> inputs{
        Polygon{},
        Polygon{{Ring{}}},
        Polygon{{Ring{{1, 1}}}},
        Polygon{{Ring{{1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}}}},
        Polygon{{Ring{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}}},
        Polygon{{Ring{{nan, nan}, {nan, nan}, {nan, nan}, {nan, nan}, {nan, nan}}}},
        Polygon{{Ring{{inf, 0}, {-inf, 0}, {0, inf}, {0, -inf}, {inf, inf}}}},
        Polygon{{Ring{{1e308, 1e308}, {-1e308, 1e308}, {-1e308, -1e308}, {1e308, -1e308}, {0, 0}}}},
        Polygon{{Ring{{0, 0}, {1e-300, 0}, {1e-300, 1e-300}, {0, 1e-300}, {0, 0}}}},
    };
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int> grid(0, 4);
    std::uniform_int_distribution<int> size(3, 12);
    std::uniform_int_distribution<int> partCount(1, 3);
    const double specials[] = {nan, inf, -inf, 1e308, 0.0005};
    for (int k = 0; k < 400; ++k) {
        Polygon p;
        for (int i = partCount(random); i > 0; --i) {
            Ring ring;
            for (int v = k % 20 == 0 ? k % 3 : size(random); v > 0; --v) {
                ring.push_back({static_cast<double>(grid(random)), static_cast<double>(grid(random))});
            }
            if (!ring.empty() && k % 25 == 0) ring.front().x = specials[(k / 25) % 5];
            p.parts.push_back(std::move(ring));
        }
        inputs.push_back(std::move(p));
    }
    const std::set<std::int32_t> known{0, kAreaError, kCrossingError, kOverlapError, kTooFewError, err::kGisFailure};
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        const std::size_t parts = inputs[k].parts.size();
        std::int32_t number = 0;
        try {
            number = clean(inputs[k]);
        } catch (const std::exception& other) {
            ADD_FAILURE() << "input " << k << ": " << other.what();
            continue;
        }
        EXPECT_TRUE(known.count(number)) << "input " << k << ": " << number;
        if (number == kAreaError || number == kTooFewError) {
            EXPECT_GE(cleaner().CorruptedPart(), 0) << k;
            EXPECT_LT(static_cast<std::size_t>(cleaner().CorruptedPart()), cleaner().polygon().parts.size()) << k;
        }
        if (number == 0) {
            for (const Ring& ring : cleaner().polygon().parts) EXPECT_GE(ring.size(), 3u) << "input " << k;
        }
        EXPECT_LE(cleaner().polygon().parts.size(), std::max<std::size_t>(parts, 1) * 16) << k;
    }
}

}  // namespace
}  // namespace plyvet::cleaner_test
