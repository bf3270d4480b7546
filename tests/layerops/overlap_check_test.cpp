#include "layerops/overlap_check.h"

#include "geolib/binding.h"
#include "layer_fixture.h"
#include "pipeline/gis/geos_ops.h"

#include <random>

namespace plyvet::layerops {
namespace {

namespace fs = std::filesystem;
using test::LayerTest;
namespace sg = samplegen;

class OverlapCheckTest : public LayerTest {
protected:
    std::string tolerance = "0.1";

    bool runOne(const fs::path& shp) {
        OverlapCheck command(ui, settings, options, programLog(), tolerance);
        const bool ok = command.ChkOverlappingPols(shp.string());
        last = command.results().back();
        return ok;
    }
    std::vector<std::string> checkLog(const fs::path& shp) { return logLines(shp, "_ü.log"); }
    static std::vector<std::string> overlapLines(const std::vector<std::string>& lines) {
        return matching(lines, " überlappt ");
    }
    LayerFileResult last;
};

TEST_F(OverlapCheckTest, ReportsAreaShareAndCentreOncePerPair) {
    const fs::path shp = source(layerOf({sg::rectanglePolygon(0, 0, 10, 10), sg::rectanglePolygon(8, 0, 18, 10),
                                         sg::rectanglePolygon(100, 100, 110, 105)}));
    ASSERT_TRUE(runOne(shp));
    const auto lines = checkLog(shp);
    EXPECT_TRUE(contains(lines, "Shapefile " + shp.string() + " :"));
    EXPECT_TRUE(contains(lines, "Überprüfung auf sich überlappende Polygone"));
    EXPECT_TRUE(contains(lines, "Überlappungstoleranz: 0.1"));
    EXPECT_TRUE(contains(lines, "ID -falls vorhanden- in Log-Datei: nein"));
    EXPECT_EQ(overlapLines(lines),
              (std::vector<std::string>{"FID 1 überlappt FID 0 mit 20 m² ( 20 % , Überlappungs-Mittelpunkt X = 9 , "
                                        "Y = 5 )"}));
    EXPECT_EQ(lines.back(), "1 Überlappung(en) (Shapefile " + shp.string() + ").");
    EXPECT_EQ(last.found, 1);
    // A report only: nothing is written anywhere else.
    EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(OverlapCheckTest, ShareIsOfTheEarlierRecord) {
    // 2 x 5 = 10 m² of the earlier 50 m² polygon (20 %), of the later 400 m².
    const fs::path shp =
        source(layerOf({sg::rectanglePolygon(0, 0, 10, 5), sg::rectanglePolygon(8, -5, 28, 15)}));
    ASSERT_TRUE(runOne(shp));
    EXPECT_EQ(overlapLines(checkLog(shp)),
              (std::vector<std::string>{"FID 1 überlappt FID 0 mit 10 m² ( 20 % , Überlappungs-Mittelpunkt X = 9 , "
                                        "Y = 2.5 )"}));
}

TEST_F(OverlapCheckTest, TouchingPolygonsDoNotOverlap) {
    const fs::path shp = source(layerOf({sg::rectanglePolygon(0, 0, 10, 10),
                                         sg::rectanglePolygon(10, 0, 20, 10),     // common edge
                                         sg::rectanglePolygon(20, 10, 30, 20),    // common corner
                                         sg::rectanglePolygon(0, 10, 5, 20)}));   // common half edge
    ASSERT_TRUE(runOne(shp));
    const auto lines = checkLog(shp);
    EXPECT_TRUE(overlapLines(lines).empty());
    EXPECT_EQ(lines.back(), "Keine sich überlappenden Polygone gefunden (Shapefile " + shp.string() + ").");
}

TEST_F(OverlapCheckTest, AreaIsRoundedToTheGranularityBeforeTheComparison) {
    // Strips of height 10 over the right edge of a 10 x 10 square.
    struct Case {
        double width;
        std::string granularity;
        std::string tolerance;
        bool counted;
    };
    const Case cases[] = {
        {0.01004, "3", "0.1", false},  // 0.1004 rounds to 0.1: not above
        {0.01006, "3", "0.1", true},   // 0.1006 rounds to 0.101
        {0.01006, "2", "0.1", false},  // 0.1006 rounds to 0.1
        {0.01006, "3", "", true},      // the empty field is 0.1
        {0.5, "3", "5", false},        // 5 is not above 5
        {0.5, "3", "4.99", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " " + c.granularity + " " + c.tolerance);
        options.granularity = c.granularity;
        tolerance = c.tolerance;
        const fs::path shp =
            source(layerOf({sg::rectanglePolygon(0, 0, 10, 10), sg::rectanglePolygon(10 - c.width, 0, 12, 10)}));
        ASSERT_TRUE(runOne(shp));
        EXPECT_EQ(overlapLines(checkLog(shp)).size(), c.counted ? 1u : 0u);
    }
    options.granularity = "3";
    tolerance = "0.1";
    const fs::path shp =
        source(layerOf({sg::rectanglePolygon(0, 0, 10, 10), sg::rectanglePolygon(10 - 0.01006, 0, 12, 10)}));
    ASSERT_TRUE(runOne(shp));
    EXPECT_EQ(overlapLines(checkLog(shp)),
              (std::vector<std::string>{"FID 1 überlappt FID 0 mit 0.1006 m² ( 0.1006 % , Überlappungs-Mittelpunkt "
                                        "X = 9.99497 , Y = 5 )"}));
}

TEST_F(OverlapCheckTest, IdValuesAreShownAsStored) {
    sg::Layer layer = layerOf({sg::rectanglePolygon(0, 0, 10, 10), sg::rectanglePolygon(5, 5, 15, 15),
                               sg::rectanglePolygon(0, 5, 10, 8)});
    layer.records[0].values[0] = "101";
    layer.records[1].values[0] = "205";
    layer.records[2].values[0] = "7";
    const fs::path shp = source(layer);
    options.useId = true;
    ASSERT_TRUE(runOne(shp));
    const auto lines = checkLog(shp);
    EXPECT_TRUE(contains(lines, "ID -falls vorhanden- in Log-Datei: ja"));
    EXPECT_EQ(overlapLines(lines),
              (std::vector<std::string>{
                  "ID 205 überlappt ID 101 mit 25 m² ( 25 % , Überlappungs-Mittelpunkt X = 7.5 , Y = 7.5 )",
                  "ID 7 überlappt ID 101 mit 30 m² ( 30 % , Überlappungs-Mittelpunkt X = 5 , Y = 6.5 )",
                  "ID 7 überlappt ID 205 mit 15 m² ( 15 % , Überlappungs-Mittelpunkt X = 7.5 , Y = 6.5 )"}));
    EXPECT_EQ(lines.back(), "3 Überlappung(en) (Shapefile " + shp.string() + ").");
}

TEST_F(OverlapCheckTest, PolygonWithoutSignedAreaGetsNoShare) {
    // A clockwise and an equal counter-clockwise ring apart: signed area 0, yet
    // both enclose area, and the first overlaps the later polygon by 50 m².
    const gis::Polygon zero{{sg::rectangle(0, 0, 10, 10), sg::rectangle(50, 50, 60, 60, false)}};
    const fs::path shp = source(layerOf({zero, sg::rectanglePolygon(5, 0, 15, 10)}));
    ASSERT_TRUE(runOne(shp));
    EXPECT_EQ(overlapLines(checkLog(shp)),
              (std::vector<std::string>{"FID 1 überlappt FID 0 mit 50 m² ( Anteil nicht bestimmbar , "
                                        "Überlappungs-Mittelpunkt X = 7.5 , Y = 5 )"}));
}

TEST_F(OverlapCheckTest, NeitherListNorSourceChange) {
    const fs::path a = source(layerOf({sg::rectanglePolygon(0, 0, 10, 10)}), "a_x");
    const fs::path b = source(layerOf({sg::rectanglePolygon(0, 0, 10, 10), sg::rectanglePolygon(1, 1, 2, 2)}), "b_x");
    const std::vector<std::string> list = {a.string(), b.string()};
    OverlapCheck command(ui, settings, options, programLog(), tolerance);
    EXPECT_TRUE(command.run(list));
    ASSERT_EQ(command.results().size(), 2u);
    EXPECT_EQ(command.results()[0].source, b.string());
    EXPECT_EQ(command.results()[0].found, 1);
    EXPECT_EQ(command.results()[1].found, 0);
    EXPECT_EQ(ui.statuses.back(), "Korrektur Shapefile(s) erfolgreich beendet.");
    EXPECT_TRUE(ui.messageTexts().empty());
}

// The index search against every pair compared directly.
TEST_F(OverlapCheckTest, AgreesWithThePairwiseComparison) {
    std::mt19937 random(11);
    std::vector<std::optional<gis::Polygon>> polygons;
    for (int i = 0; i < 200; ++i) {
        const double x = static_cast<double>(random() % 400) / 4.0;
        const double y = static_cast<double>(random() % 400) / 4.0;
        const double w = 1.0 + static_cast<double>(random() % 40) / 4.0;
        const double h = 1.0 + static_cast<double>(random() % 40) / 4.0;
        polygons.push_back(sg::rectanglePolygon(x, y, x + w, y + h));
    }
    const fs::path shp = source(layerOf(polygons));
    ASSERT_TRUE(runOne(shp));
    std::vector<std::string> expected;
    for (std::size_t r = 0; r < polygons.size(); ++r) {
        for (std::size_t k = r + 1; k < polygons.size(); ++k) {
            const auto common = gis::intersection(*polygons[r], *polygons[k]);
            if (common && geolib::roud(gis::area(*common), 3) > 0.1) {
                expected.push_back("FID " + std::to_string(k) + " überlappt FID " + std::to_string(r) + " mit");
            }
        }
    }
    std::vector<std::string> found;
    for (const auto& line : overlapLines(checkLog(shp))) found.push_back(line.substr(0, line.find(" mit ") + 4));
    std::sort(expected.begin(), expected.end());
    std::sort(found.begin(), found.end());
    ASSERT_GT(expected.size(), 50u);
    EXPECT_EQ(found, expected);
}

}  // namespace
}  // namespace plyvet::layerops
