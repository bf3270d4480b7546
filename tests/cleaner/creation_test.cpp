// Creation against missing, outdated and current helper libraries; the
// parameters; and the public helpers that Clean() does not use.

#include "cleaner_fixture.h"

#include <cmath>
#include <filesystem>
#include <limits>
#include <numbers>

namespace plyvet::cleaner_test {
namespace {

using geolib::test::binFolder;
using geolib::test::TempFolder;

class CleanerCreation : public geolib::test::HelperLibrary {
protected:
    // A folder with `file` from the bin folder under the real library's name.
    static void installAsLibrary(const TempFolder& folder, const char* file) {
        std::filesystem::copy_file(binFolder() / file, folder.path() / geolib::libraryFileName());
        geolib::setLibraryFolder(folder.path());
    }
};

TEST_F(CleanerCreation, DefaultsOfACurrentLibrary) {
    const clsPolygonCleaner c;
    EXPECT_EQ(c.SplitterAreaTolerance, 0.01);
    EXPECT_EQ(c.granularity(), 3);
    EXPECT_EQ(c.identicalPointThresholdSize(), 0.001);
    EXPECT_FALSE(c.DeletePointsOnLineEnabled);
    EXPECT_EQ(c.CorruptedPart(), -1);
    EXPECT_FALSE(c.GetIntersectionPoint());
    EXPECT_FALSE(c.IsLinearSelfIntersection());
}

TEST_F(CleanerCreation, MissingLibraryRaisesTheBindingsErrorUnderTheCleanersName) {
    const TempFolder empty;
    geolib::setLibraryFolder(empty.path());
    geolib::setLibraryFileName("libPlyvetNowhere.so");
    const RuntimeError e = raisedBy([] { clsPolygonCleaner c; });
    EXPECT_EQ(e.number(), 53);
    EXPECT_EQ(e.source(), "Plyvet.PolygonCleaner");
    EXPECT_EQ(e.description(), "Datei nicht gefunden: libPlyvetNowhere.so");
}

// A library that loads but has no version export (the C math library).
TEST_F(CleanerCreation, MissingVersionExportRaises453) {
    const TempFolder empty;
    geolib::setLibraryFolder(empty.path());
    geolib::setLibraryFileName("libm.so.6");
    const RuntimeError e = raisedBy([] { clsPolygonCleaner c; });
    EXPECT_EQ(e.number(), 453);
    EXPECT_EQ(e.source(), "Plyvet.PolygonCleaner");
    EXPECT_EQ(e.description(), "DLL-Einsprungpunkt GVRS in libm.so.6 nicht gefunden");
}

TEST_F(CleanerCreation, OutdatedLibraryQuotesItsVersionText) {
    const TempFolder folder;
    installAsLibrary(folder, PLYVET_STUB_FILE_NAME);  // version 0x0100FFFF
    const RuntimeError e = raisedBy([] { clsPolygonCleaner c; });
    EXPECT_EQ(e.number(), static_cast<std::int32_t>(0x80040005u));
    EXPECT_EQ(e.source(), "PolygonCleaner");
    EXPECT_EQ(e.description(), "Veraltete Version von Plyvet.dll (Version 255.255.0.1)");
}

TEST_F(CleanerCreation, OldestAcceptedVersionIsAccepted) {
    const TempFolder folder;
    installAsLibrary(folder, PLYVET_BOUNDARY_STUB_FILE_NAME);  // version 0x01010000
    EXPECT_EQ(raisedBy([] { clsPolygonCleaner c; }).number(), 0);
}

TEST_F(CleanerCreation, NegativeParametersRaise380AndKeepTheOldValue) {
    clsPolygonCleaner c;
    c.setGranularity(5);
    c.setIdenticalPointThresholdSize(0.5);
    for (const auto& call : std::vector<std::function<void()>>{
             [&] { c.setGranularity(-1); },
             [&] { c.setIdenticalPointThresholdSize(-0.001); },
             [&] { c.setIdenticalPointThresholdSize(std::numeric_limits<double>::quiet_NaN()); },
         }) {
        const RuntimeError e = raisedBy(call);
        EXPECT_EQ(e.number(), 380);
        EXPECT_EQ(e.source(), "PolygonCleaner");
    }
    EXPECT_EQ(c.granularity(), 5);
    EXPECT_EQ(c.identicalPointThresholdSize(), 0.5);
    c.setGranularity(0);
    c.setIdenticalPointThresholdSize(0.0);
    EXPECT_EQ(c.granularity(), 0);
    EXPECT_EQ(c.identicalPointThresholdSize(), 0.0);
}

TEST(CleanerHelpers, FctRoundHalvesAwayFromZeroAfter15Digits) {
    struct Case {
        double value;
        std::int16_t decimals;
        double expected;
    };
    const Case cases[] = {
        {2.5, 0, 3.0},
        {-2.5, 0, -3.0},
        {3.5, 0, 4.0},
        {2.4, 0, 2.0},
        {-2.4, 0, -2.0},
        {0.0, 2, 0.0},
        {2.4999999999999996, 1, 2.5},  // the sum 25.4999999999999... counts as 25.5
        {1.005, 2, 1.01},              // 100.49999999999999 + 0.5 counts as 101
        {1234.0, -2, 1200.0},
        {1e300, 10, 1e300},            // too large to take decimals: unchanged
        {std::numeric_limits<double>::quiet_NaN(), 2, 0.0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(clsPolygonCleaner::fctRound(c.value, c.decimals), c.expected)
            << c.value << " to " << c.decimals;
    }
}

TEST_F(CleanerCreation, FctRoundOfTextReadsNumbersWithTheLocaleSeparator) {
    clsPolygonCleaner c;
    c.DecimalSeparator = '.';
    EXPECT_EQ(c.fctRound(" 2.5 ", 0), 3.0);
    EXPECT_EQ(c.fctRound("-1.25", 1), -1.3);
    for (const char* notNumeric : {"abc", "", "2.5x", "nan", "inf"}) {
        EXPECT_EQ(c.fctRound(notNumeric, 0), 0.0) << notNumeric;
    }
    c.DecimalSeparator = ',';
    EXPECT_EQ(c.fctRound("2,5", 0), 3.0);
    EXPECT_EQ(c.fctRound("2.5", 0), 0.0);
}

TEST(CleanerHelpers, VectorFunctionsInSinglePrecision) {
    constexpr float pi = std::numbers::pi_v<float>;
    // B at the origin, A on the x axis.
    EXPECT_FLOAT_EQ(clsPolygonCleaner::CrossProductLength(1, 0, 0, 0, 0, 1), 1.0f);
    EXPECT_FLOAT_EQ(clsPolygonCleaner::CrossProductLength(1, 0, 0, 0, 0, -1), -1.0f);
    EXPECT_FLOAT_EQ(clsPolygonCleaner::GetAngle(1, 0, 0, 0, 0, 1), pi / 2);
    EXPECT_FLOAT_EQ(clsPolygonCleaner::GetAngle(1, 0, 0, 0, -1, 0), pi);  // cross 0, dot -1
    EXPECT_FLOAT_EQ(clsPolygonCleaner::GetAngle(1, 0, 0, 0, 1, -1), -pi / 4);
    struct Case {
        float y, x, expected;
    };
    const Case cases[] = {
        {1, 1, pi / 4}, {1, -1, 3 * pi / 4}, {-1, -1, -3 * pi / 4}, {-1, 1, -pi / 4},
        {1, 0.00005f, pi / 2}, {-1, 0, -pi / 2}, {0, -1, pi},
    };
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(clsPolygonCleaner::ATan2(c.y, c.x), c.expected) << c.y << "," << c.x;
    }
}

TEST(CleanerHelpers, TestPolygonTouchesItselfAtThreeThree) {
    const Polygon p = clsPolygonCleaner::CreateTestPolygon();
    ASSERT_EQ(p.parts.size(), 1u);
    EXPECT_EQ(p.parts[0], (Ring{{1, 3}, {1, 1}, {3, 3}, {5, 1}, {5, 3}, {1, 3}}));
}

}  // namespace
}  // namespace plyvet::cleaner_test
