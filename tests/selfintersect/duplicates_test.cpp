// The first pass: vertices that repeat their predecessor are dropped and the
// call ends there; and parts the cleaner cannot measure.

#include "cleaner_fixture.h"

#include "pipeline/gis/runtime_error.h"

#include <cmath>
#include <limits>

namespace plyvet::selfintersect::test {
namespace {

class Duplicates : public CleanerTest {};

struct DuplicateCase {
    const char* name;
    gis::Polygon input;
    gis::Polygon expected;
    std::vector<std::string> lines;
};

TEST_F(Duplicates, DroppedWithTheirLinesAndNothingElseHappens) {
    const DuplicateCase cases[] = {
        // Vertex 4 repeats vertex 3 within the threshold; the bow tie in
        // part 0 is left for the next call.
        {"ConsecutiveVertices",
         polygon({{{0, 0}, {10, 10}, {10, 0}, {0, 10}},
                  {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {10.0004, 0.0002}, {5, -1}}}),
         polygon({{{0, 0}, {10, 10}, {10, 0}, {0, 10}}, {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {5, -1}}}),
         {partLine(1, "direkt aufeinanderfolgende identische Stützpunkte"),
          partLine(1, "Duplikat wurde nicht exportiert X: 10, Y: 0")}},
        {"TwoPointPart",
         polygon({{{3, 3}, {3.0003, 3}}}),
         polygon({{{3, 3}}}),
         {partLine(0, "weniger als 3 Stützpunkte"), partLine(0, "Punkt wird nicht exportiert X: 3, Y: 3")}},
        // Each vertex is compared with its predecessor in the source ring, so
        // a creeping run of points all goes.
        {"RunOfCreepingPoints",
         polygon({{{0, 0}, {0, 10}, {0.0004, 10}, {0.0008, 10}, {10, 10}}}),
         polygon({{{0, 0}, {0, 10}, {10, 10}}}),
         {partLine(0, "direkt aufeinanderfolgende identische Stützpunkte"),
          partLine(0, "Duplikat wurde nicht exportiert X: 0, Y: 10"),
          partLine(0, "direkt aufeinanderfolgende identische Stützpunkte"),
          partLine(0, "Duplikat wurde nicht exportiert X: 0.001, Y: 10")}},
    };
    for (const DuplicateCase& c : cases) {
        const Outcome out = run(c.input);
        EXPECT_EQ(out.lines, c.lines) << c.name;
        EXPECT_EQ(out.polygon, c.expected) << c.name;
    }
}

// A part whose area is not a number raises 0x80040001 naming the part; the
// polygon stays as it was, although earlier parts were already looked at.
TEST_F(Duplicates, PartWithoutComputableAreaRaisesAndKeepsThePolygon) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<gis::Ring> unmeasurable = {
        {{0, 0}, {nan, 5}, {10, 10}},
        {{0, 0}, {inf, 5}, {10, 10}, {10, 0}},
        {{-inf, 0}, {inf, 5}, {10, 10}},
        {{1e300, 1e300}, {-1e300, 1e300}, {-1e300, -1e300}},  // the area overflows
    };
    const gis::Ring bowTie = {{0, 0}, {10, 10}, {10, 0}, {0, 10}};
    for (const gis::Ring& bad : unmeasurable) {
        const gis::Polygon input = polygon({bowTie, bad});
        cleaner().setPolygon(input);
        sink_.lines.clear();
        try {
            cleaner().GetCrossingPoint("7", "FID");
            ADD_FAILURE() << "no error for " << bad[1].x;
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.number(), static_cast<std::int32_t>(0x80040001u));
            EXPECT_EQ(error.description(), "Fläche des Polygon-Parts 1 kann nicht festgestellt werden");
        }
        // Part 0 was cut and logged before part 1 stopped the call.
        EXPECT_EQ(sink_.lines.size(), 4u);
        const gis::Polygon& after = cleaner().polygon();
        ASSERT_EQ(after.parts.size(), 2u);
        EXPECT_EQ(after.parts[0], bowTie);
        EXPECT_EQ(after.parts[1].size(), bad.size());
    }
}

// Empty parts and parts of one or two points pass without a crash: the empty
// and the one-point part stay, the two-point part folds on itself and loses
// its end point (an overlap of its two edges).
TEST_F(Duplicates, DegenerateParts) {
    const Outcome out = run(polygon({{}, {{1, 1}}, {{0, 0}, {5, 5}}}));
    EXPECT_EQ(out.polygon, polygon({{}, {{1, 1}}, {{0, 0}}}));
    EXPECT_EQ(out.lines, (std::vector<std::string>{
                             partLine(2, "2 Stützpunkt(e)"),
                             kPrefix + " ( Polygon-Part 2: linienhafte Selbstüberlagerung innerhalb eines Parts)",
                             partLine(2, "Geraden-Mittelpunkt X 5, Y 5"), returned(0)}));

    // An empty polygon: nothing to do, nothing to say.
    const Outcome none = run(gis::Polygon{});
    EXPECT_TRUE(none.polygon.parts.empty());
    EXPECT_TRUE(none.lines.empty());
}

// The helper library's errors reach the caller unchanged; nothing is logged
// and the polygon stays.
TEST_F(Duplicates, MissingRoundingExportPassesItsError) {
    const geolib::test::TempFolder folder;
    std::filesystem::copy_file(geolib::test::binFolder() / PLYVET_STUB_FILE_NAME,
                               folder.path() / geolib::libraryFileName());
    geolib::setLibraryFolder(folder.path());  // after creation: the stub lacks ROUD and GISC
    const gis::Polygon input = polygon({{{0, 0}, {10, 10}, {10, 0}, {0, 10}}});
    cleaner().setPolygon(input);
    try {
        cleaner().GetCrossingPoint("7", "FID");
        ADD_FAILURE() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), 453);
        EXPECT_EQ(error.source(), "Plyvet");
        EXPECT_EQ(error.description(), "DLL-Einsprungpunkt ROUD in libPlyvet.so nicht gefunden");
    }
    EXPECT_TRUE(sink_.lines.empty());
    EXPECT_EQ(cleaner().polygon(), input);
}

}  // namespace
}  // namespace plyvet::selfintersect::test
