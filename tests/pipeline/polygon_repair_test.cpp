#include "pipeline/polygon_repair.h"

#include "cleaner/polygon_cleaner.h"
#include "pipeline/gis/runtime_error.h"

#include <gtest/gtest.h>

#include <random>

namespace plyvet {
namespace {

struct RecordingSink : LineSink {
    std::vector<std::string> lines;
    void writeLine(std::string_view l) override { lines.emplace_back(l); }
};

struct Outcome {
    Verdict verdict;
    gis::Polygon polygon;
    std::vector<std::string> lines;          // the driver's object-line suffixes and plain lines, in order
    std::vector<std::string> cleanerLines;   // the self-intersection cleaner's own lines
};

Outcome repairOnce(gis::Polygon polygon, OnUnsolvable onUnsolvable = OnUnsolvable::SkipShape) {
    RecordingSink sink;
    std::vector<std::string> lines;
    CleanerParameters parameters;
    parameters.splitterTolerance = 0.01;
    PolygonRepair repair(parameters, onUnsolvable, sink,
                         {[&](std::string_view s) { lines.emplace_back(s); },
                          [&](std::string_view s) { lines.emplace_back(s); },
                          [&](const std::string& s) { lines.push_back(" ( " + s + " )"); }, [] { return true; }});
    const Verdict v = repair.repair(polygon, "7", "FID");
    return {v, std::move(polygon), std::move(lines), std::move(sink.lines)};
}

// True when a fresh cleaner still finds a part crossing itself.
bool stillCrosses(const gis::Polygon& polygon) {
    clsPolygonCleaner probe;
    probe.ActionTaken = [](const std::string&) {};
    probe.OnlyErrorObjectsInLogFile = [] { return true; };
    probe.SplitterAreaTolerance = 0.01;
    probe.setPolygon(polygon);
    try {
        probe.Clean();
    } catch (const RuntimeError& e) {
        return e.number() == kObjectErrorBase + 2;
    }
    return false;
}

TEST(PolygonRepair, RandomRingsEndAndNothingWrittenStillCrosses) {
    std::mt19937 rng(20261206);
    std::uniform_int_distribution<int> coord(0, 6);
    std::uniform_int_distribution<int> count(4, 11);
    int written = 0, notRepaired = 0;
    for (int i = 0; i < 1500; ++i) {
        gis::Ring ring;
        const int n = count(rng);
        for (int k = 0; k < n; ++k) ring.push_back({static_cast<double>(coord(rng)), static_cast<double>(coord(rng))});
        const Outcome o = repairOnce({{ring}});
        if (o.verdict == Verdict::Write) {
            ++written;
            EXPECT_FALSE(stillCrosses(o.polygon)) << "ring " << i;
        } else {
            ASSERT_EQ(o.verdict, Verdict::Skip);
            // A skipped polygon always says so.
            ASSERT_FALSE(o.lines.empty());
            const std::string& last = o.lines.back();
            EXPECT_TRUE(last == " wurde deshalb nicht exportiert." ||
                        last == " ( Betroffener Part wurde nicht exportiert )" ||
                        last == " ( wurde wegen linienhafter Überlagerung von 2 Parts nicht exportiert )")
                << "ring " << i << ": " << last;
            for (const auto& l : o.lines) {
                if (l.find("nicht repariert") != std::string::npos || l.find("nicht beseitigt") != std::string::npos) {
                    ++notRepaired;
                    break;
                }
            }
        }
    }
    EXPECT_GT(written, 300);  // a good share of random rings is repairable
    RecordProperty("written", written);
    RecordProperty("notRepaired", notRepaired);
}

TEST(PolygonRepair, SymmetricBowTieBecomesTwoTriangles) {
    const Outcome o = repairOnce({{{{0, 0}, {0, 10}, {10, 0}, {10, 10}}}});
    ASSERT_EQ(o.verdict, Verdict::Write);
    ASSERT_EQ(o.polygon.parts.size(), 2u);
    EXPECT_DOUBLE_EQ(gis::area(o.polygon), 50.0);
    for (const auto& ring : o.polygon.parts) EXPECT_DOUBLE_EQ(gis::ringArea(ring), 25.0);
}

TEST(PolygonRepair, FigureOfThreeLoopsIsCutIntoThree) {
    // A ring passing (5,5) three times: three loops, each clockwise.
    const Outcome o = repairOnce({{{{5, 5}, {0, 10}, {5, 10}, {5, 5}, {10, 10}, {10, 5}, {5, 5}, {10, 0}, {5, 0}}}});
    ASSERT_EQ(o.verdict, Verdict::Write);
    EXPECT_EQ(o.polygon.parts.size(), 3u);
    EXPECT_FALSE(stillCrosses(o.polygon));
}

TEST(PolygonRepair, StopChoiceEndsTheFileWithALoneLine) {
    // NaN coordinates: the area of the part cannot be computed.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Outcome o = repairOnce({{{{0, 0}, {0, nan}, {10, 10}, {10, 0}}}}, OnUnsolvable::StopFile);
    EXPECT_EQ(o.verdict, Verdict::Stop);
    ASSERT_FALSE(o.lines.empty());
}

TEST(PolygonRepair, ParameterTexts) {
    struct Case {
        const char* granularity;
        const char* threshold;
        const char* tolerance;
        bool deleteSliver;
        bool ok;
        double expectedTolerance;
    };
    const Case cases[] = {
        {"3", "0,001", "0,01", true, true, 0.01},
        {"", "", "", true, true, 0.01},      // empty texts keep the defaults
        {"3", "0,001", "0,5", false, true, 0.0},  // sliver removal off
        {"-1", "0,001", "0,01", true, false, 0},
        {"3", "-0,001", "0,01", true, false, 0},
        {"3", "0.001", "0,01", true, false, 0},  // a point where the locale writes a comma
        {"3", "0,001", "abc", true, false, 0},
    };
    for (const auto& c : cases) {
        RunOptions o;
        o.granularity = c.granularity;
        o.identicalPointThreshold = c.threshold;
        o.splitterTolerance = c.tolerance;
        o.deleteSplitterArea = c.deleteSliver;
        o.decimalSeparator = ',';
        std::string error;
        const auto p = readCleanerParameters(o, error);
        EXPECT_EQ(p.has_value(), c.ok) << c.granularity << " " << c.threshold << " " << c.tolerance;
        if (p) {
            EXPECT_DOUBLE_EQ(p->splitterTolerance, c.expectedTolerance);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
}

}  // namespace
}  // namespace plyvet
