// Creation against missing, outdated and current helper libraries; the
// parameters; the public helpers that Clean() does not use.

#include "cleaner_fixture.h"

#include <filesystem>
#include <limits>
#include <numbers>

namespace plyvet::cleaner_test {
namespace {

using geolib::test::TempFolder;

class CleanerCreation : public geolib::test::HelperLibrary {
protected:
    // Creation against `file` of the bin folder installed as the helper library.
    static RuntimeError createWith(const char* file) {
        const TempFolder folder;
        std::filesystem::copy_file(geolib::test::binFolder() / file, folder.path() / geolib::libraryFileName());
        geolib::setLibraryFolder(folder.path());
        return raisedBy([] { clsPolygonCleaner c; });
    }
};

// The binding's error under the cleaner's name: no library, or one without GVRS.
TEST_F(CleanerCreation, MissingLibraryOrExport) {
    const TempFolder empty;
    geolib::setLibraryFolder(empty.path());
    struct Case {
        const char* file;
        std::int32_t number;
        const char* description;
    };
    for (const Case& c : {Case{"libPlyvetNowhere.so", 53, "Datei nicht gefunden: libPlyvetNowhere.so"},
                          Case{"libm.so.6", 453, "DLL-Einsprungpunkt GVRS in libm.so.6 nicht gefunden"}}) {
        geolib::setLibraryFileName(c.file);
        const RuntimeError e = raisedBy([] { clsPolygonCleaner k; });
        EXPECT_EQ(e.number(), c.number);
        EXPECT_EQ(e.source(), "Plyvet.PolygonCleaner");
        EXPECT_EQ(e.description(), c.description);
    }
}

TEST_F(CleanerCreation, OutdatedLibraryQuotesItsVersionText) {
    const RuntimeError e = createWith(PLYVET_STUB_FILE_NAME);  // 0x0100FFFF
    EXPECT_EQ(e.number(), static_cast<std::int32_t>(0x80040005u));
    EXPECT_EQ(e.source(), "PolygonCleaner");
    EXPECT_EQ(e.description(), "Veraltete Version von Plyvet.dll (Version 255.255.0.1)");
    EXPECT_EQ(createWith(PLYVET_BOUNDARY_STUB_FILE_NAME).number(), 0);  // 0x01010000 is accepted
}

TEST_F(CleanerCreation, DefaultsAndNegativeParametersRaise380AndKeepTheOldValue) {
    clsPolygonCleaner c;
    EXPECT_EQ(c.SplitterAreaTolerance, 0.01);
    EXPECT_EQ(c.granularity(), 3);
    EXPECT_EQ(c.identicalPointThresholdSize(), 0.001);
    EXPECT_FALSE(c.DeletePointsOnLineEnabled);
    c.setGranularity(5);
    c.setIdenticalPointThresholdSize(0.5);
    for (const auto& call : std::vector<std::function<void()>>{
             [&] { c.setGranularity(-1); }, [&] { c.setIdenticalPointThresholdSize(-0.001); },
             [&] { c.setIdenticalPointThresholdSize(std::numeric_limits<double>::quiet_NaN()); }}) {
        const RuntimeError e = raisedBy(call);
        EXPECT_EQ(e.number(), 380);
        EXPECT_EQ(e.source(), "PolygonCleaner");
    }
    EXPECT_EQ(c.granularity(), 5);
    EXPECT_EQ(c.identicalPointThresholdSize(), 0.5);
    c.setGranularity(0);
    c.setIdenticalPointThresholdSize(0.0);
    EXPECT_EQ(c.identicalPointThresholdSize(), 0.0);
}

TEST_F(CleanerCreation, FctRoundHalvesAwayFromZeroAfter15Digits) {
    struct Case {
        double value;
        std::int16_t decimals;
        double expected;
    };
    const Case cases[] = {
        {2.5, 0, 3.0}, {-2.5, 0, -3.0}, {2.4, 0, 2.0}, {1234.0, -2, 1200.0},
        {2.4999999999999996, 1, 2.5},  // the sum 25.4999999999999... counts as 25.5
        {1.005, 2, 1.01},              // 100.49999999999999 + 0.5 counts as 101
        {1e300, 10, 1e300},            // no room for decimals: unchanged
        {std::numeric_limits<double>::quiet_NaN(), 2, 0.0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(clsPolygonCleaner::fctRound(c.value, c.decimals), c.expected) << c.value;
    }
    clsPolygonCleaner k;
    k.DecimalSeparator = ',';
    EXPECT_EQ(k.fctRound(" 2,5 ", 0), 3.0);
    for (const char* notNumeric : {"abc", "", "2.5", "nan"}) EXPECT_EQ(k.fctRound(notNumeric, 0), 0.0) << notNumeric;
}

TEST(CleanerHelpers, VectorFunctionsInSinglePrecision) {
    constexpr float pi = std::numbers::pi_v<float>;
    EXPECT_FLOAT_EQ(clsPolygonCleaner::CrossProductLength(1, 0, 0, 0, 0, -1), -1.0f);
    EXPECT_FLOAT_EQ(clsPolygonCleaner::GetAngle(1, 0, 0, 0, 0, 1), pi / 2);
    EXPECT_FLOAT_EQ(clsPolygonCleaner::GetAngle(1, 0, 0, 0, 1, -1), -pi / 4);
    EXPECT_FLOAT_EQ(clsPolygonCleaner::ATan2(-1, -1), -3 * pi / 4);
    EXPECT_FLOAT_EQ(clsPolygonCleaner::ATan2(1, 0.00005f), pi / 2);
    EXPECT_FLOAT_EQ(clsPolygonCleaner::ATan2(0, -1), pi);
}

}  // namespace
}  // namespace plyvet::cleaner_test
