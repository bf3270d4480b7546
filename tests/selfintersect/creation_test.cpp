// Creation against the helper library, the parameter writes and the header
// rule of the log.

#include "cleaner_fixture.h"

#include "pipeline/gis/runtime_error.h"

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>

namespace plyvet::selfintersect::test {
namespace {

using geolib::test::binFolder;
using geolib::test::TempFolder;

// The RuntimeError `call` raised; number 0 when it raised none.
RuntimeError raisedBy(const std::function<void()>& call) {
    try {
        call();
    } catch (const RuntimeError& error) {
        return error;
    }
    return RuntimeError(0, "", "");
}

class Creation : public geolib::test::HelperLibrary {
protected:
    RuntimeError create() {
        return raisedBy([this] { clsCleanSelfintersecting cleaner(sink_, [] { return false; }); });
    }
    RecordingSink sink_;
};

TEST_F(Creation, CurrentLibraryPassesWithDefaults) {
    ASSERT_EQ(geolib::gvrs(), 0x01010004);
    EXPECT_EQ(create().number(), 0);
    clsCleanSelfintersecting cleaner(sink_, [] { return false; });
    EXPECT_EQ(cleaner.SplitterAreaTolerance, 0.01);
    EXPECT_TRUE(cleaner.polygon().parts.empty());
    EXPECT_TRUE(sink_.lines.empty());
}

TEST_F(Creation, MissingLibraryKeepsItsErrorUnderTheCleanersSource) {
    const TempFolder empty;
    geolib::setLibraryFolder(empty.path());
    geolib::setLibraryFileName("libPlyvetNowhere.so");
    const RuntimeError error = create();
    EXPECT_EQ(error.number(), 53);
    EXPECT_EQ(error.source(), "Plyvet.CleanSelfIntersection");
    EXPECT_EQ(error.description(), "Datei nicht gefunden: libPlyvetNowhere.so");
}

// A library that loads but has none of the exports (the maths library).
TEST_F(Creation, MissingVersionExportKeepsItsErrorUnderTheCleanersSource) {
    const TempFolder empty;
    geolib::setLibraryFolder(empty.path());
    geolib::setLibraryFileName("libm.so.6");
    const RuntimeError error = create();
    EXPECT_EQ(error.number(), 453);
    EXPECT_EQ(error.source(), "Plyvet.CleanSelfIntersection");
    EXPECT_EQ(error.description(), "DLL-Einsprungpunkt GVRS in libm.so.6 nicht gefunden");
}

TEST_F(Creation, OutdatedLibraryIsRefused) {
    geolib::setLibraryFileName(PLYVET_STUB_FILE_NAME);  // version 0x0100FFFF, "255.255.0.1"
    const RuntimeError error = create();
    EXPECT_EQ(error.number(), static_cast<std::int32_t>(0x80040005u));
    EXPECT_EQ(error.source(), "CleanSelfIntersection");
    EXPECT_EQ(error.description(), "Veraltete Version von Plyvet.dll (Version 255.255.0.1)");
}

// ---------------------------------------------------------------------------
// Parameter writes.

class Parameters : public CleanerTest {};

TEST_F(Parameters, NegativeOrNaNValuesRaise380) {
    const std::vector<std::pair<const char*, std::function<void()>>> writes = {
        {"granularity -1", [this] { cleaner().setGranularity(-1); }},
        {"granularity min", [this] { cleaner().setGranularity(std::numeric_limits<std::int16_t>::min()); }},
        {"threshold -0.5", [this] { cleaner().setIdenticalPointThresholdSize(-0.5); }},
        {"threshold -inf", [this] { cleaner().setIdenticalPointThresholdSize(-INFINITY); }},
        {"threshold NaN", [this] { cleaner().setIdenticalPointThresholdSize(std::nan("")); }},
    };
    for (const auto& [name, write] : writes) {
        const RuntimeError error = raisedBy(write);
        EXPECT_EQ(error.number(), 380) << name;
        EXPECT_EQ(error.source(), "CleanSelfIntersection") << name;
        EXPECT_EQ(error.description(), "Unzulässiger Eigenschaftswert") << name;
    }
}

// The granularity shows in the rounded coordinates of a dropped duplicate.
TEST_F(Parameters, GranularityRoundsTheReportedCoordinates) {
    const gis::Polygon dup = polygon({{{0, 0}, {0, 10}, {1.23456, 10}, {1.23456, 10.00001}, {10, 0}}});
    struct Case {
        std::int16_t write;
        bool raises;
        const char* x;
        const char* y;
    };
    const Case cases[] = {
        {-1, true, "1.235", "10"},  // refused: 3 stays
        {1, false, "1.2", "10"},
        {0, false, "1", "10"},
        {5, false, "1.23456", "10.00001"},
    };
    for (const Case& c : cases) {
        cleaner().setIdenticalPointThresholdSize(0.001);
        EXPECT_EQ(raisedBy([&] { cleaner().setGranularity(c.write); }).number(), c.raises ? 380 : 0);
        const Outcome out = run(dup);
        ASSERT_EQ(out.lines.size(), 2u) << c.write;
        EXPECT_EQ(out.lines[1], partLine(0, std::string("Duplikat wurde nicht exportiert X: ") + c.x +
                                                ", Y: " + c.y))
            << c.write;
    }
}

// Consecutive points 0.005 apart: duplicates below a threshold of 0.01, and
// not at all with 0; a refused write keeps the value before it.
TEST_F(Parameters, ThresholdDecidesWhatIsADuplicate) {
    const gis::Polygon ring = polygon({{{0, 0}, {0, 10}, {10, 10}, {10, 5.005}, {10, 5}, {10, 0}}});
    const gis::Polygon withoutDuplicate = polygon({{{0, 0}, {0, 10}, {10, 10}, {10, 5.005}, {10, 0}}});

    cleaner().setIdenticalPointThresholdSize(0.01);
    EXPECT_EQ(run(ring).polygon, withoutDuplicate);

    EXPECT_EQ(raisedBy([this] { cleaner().setIdenticalPointThresholdSize(-1); }).number(), 380);
    EXPECT_EQ(run(ring).polygon, withoutDuplicate);

    cleaner().setIdenticalPointThresholdSize(0);
    const Outcome out = run(ring);
    EXPECT_EQ(out.polygon, ring);
    EXPECT_EQ(out.lines, std::vector<std::string>{returned(gis::area(ring))});
}

// ---------------------------------------------------------------------------
// Header rule: the two header lines precede each duplicate and each repeated
// vertex only while "only faulty objects" is set; the overlap report always
// has its point-count line and never the rule.

struct HeaderCase {
    const char* name;
    gis::Polygon input;
    std::vector<std::string> withoutHeaders;
    std::vector<std::string> headers;  // inserted before the first line
};

std::vector<HeaderCase> headerCases() {
    const gis::Point v{5, 5};
    return {
        {"Duplicate",
         polygon({{{0, 0}, {0, 10}, {10, 10}}, {{0, 0}, {0, 10}, {10, 10}, {10, 10.0004}, {10, 0}}}),
         {partLine(1, "direkt aufeinanderfolgende identische Stützpunkte"),
          partLine(1, "Duplikat wurde nicht exportiert X: 10, Y: 10")},
         {line(" ( ---------- )"), partLine(1, "5 Stützpunkt(e)")}},
        {"RepeatedVertex",
         polygon({{v, {0, 10}, {10, 10}, v, {10, 0}, {0, 0}}}),
         {partLine(0, "nicht direkt aufeinanderfolgende identische Stützpunkte"),
          partLine(0, "Punktkoordinaten X: 5, Y: 5"), candidate(0, 25), kept(0, 25), candidate(0, 25),
          kept(0, 25), returned(50)},
         {line(" ( ---------- )"), partLine(0, "6 Stützpunkt(e)")}},
        {"Overlap",
         polygon({{{0, 0}, {0, 10}, {10, 10}, {10, 0}, {10, -5}, {10, -2}}}),
         {partLine(0, "6 Stützpunkt(e)"),
          kPrefix + " ( Polygon-Part 0: linienhafte Selbstüberlagerung innerhalb eines Parts)",
          partLine(0, "Geraden-Mittelpunkt X 10, Y -5"), returned(110)},
         {}},
    };
}

// One cleaner for all runs: the option is read when reporting, not at creation.
TEST_F(Parameters, HeaderLinesOnlyWithOnlyErrorObjects) {
    for (const HeaderCase& c : headerCases()) {
        onlyErrorObjects_ = false;
        EXPECT_EQ(run(c.input).lines, c.withoutHeaders) << c.name;

        onlyErrorObjects_ = true;
        std::vector<std::string> expected = c.headers;
        expected.insert(expected.end(), c.withoutHeaders.begin(), c.withoutHeaders.end());
        EXPECT_EQ(run(c.input).lines, expected) << c.name;
    }
}

}  // namespace
}  // namespace plyvet::selfintersect::test
