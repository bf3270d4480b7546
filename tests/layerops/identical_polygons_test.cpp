#include "layerops/identical_polygons.h"

#include "layer_fixture.h"
#include "pipeline/gis/geos_ops.h"

#include <algorithm>
#include <random>
#include <set>

namespace plyvet::layerops {
namespace {

namespace fs = std::filesystem;
using test::LayerTest;
namespace sg = samplegen;

gis::Polygon square(double x, double y, double size) { return sg::rectanglePolygon(x, y, x + size, y + size); }

class IdenticalPolygonsTest : public LayerTest {
protected:
    std::string tolerance = "0.1";

    bool runOne(const fs::path& shp) {
        IdenticalPolygons command(ui, settings, options, programLog(), tolerance);
        const bool ok = command.DeleteIdenticalPols(shp.string());
        last = command.results().back();
        return ok;
    }
    std::vector<std::string> checkLog(const fs::path& shp) { return logLines(shp, "_i.log"); }
    fs::path output(const std::string& name = "flur_xi") const { return out / (name + ".shp"); }
    LayerFileResult last;
};

TEST_F(IdenticalPolygonsTest, LaterRecordOfAPairIsKept) {
    std::vector<std::optional<gis::Polygon>> polygons;
    for (int i = 0; i < 10; ++i) polygons.push_back(square(20.0 * i, 0, 10));
    polygons[9] = square(80, 0, 10);  // FeatureId 10 duplicates FeatureId 5
    polygons[4] = square(80, 0, 10);
    const fs::path shp = source(layerOf(polygons));

    ASSERT_TRUE(runOne(shp));
    const auto lines = checkLog(shp);
    const std::string shown = src.string() + "/flur_x.shp";
    EXPECT_TRUE(contains(lines, "Shapefile " + shown + " :"));
    EXPECT_TRUE(contains(lines, "ID -falls vorhanden- in Log-Datei: nein"));
    EXPECT_TRUE(contains(lines, "Exportiertes Shapefile " + shown + ": Überprüfung auf identische Polygone"));
    EXPECT_TRUE(contains(lines, "Polygon mit der FID 9 ist identisch mit FID 4 ( Fläche: 100 m², Mittelpunkt X = 85 , "
                                "Y = 5 )"));
    EXPECT_TRUE(contains(lines, "1 identische(s) Polygon(e) (Shapefile " + shown + ")."));
    EXPECT_EQ(lines.back(), "Shapefile wurde erfolgreich nach " + out.string() + "/flur_xi.shp exportiert.");

    EXPECT_EQ(column(output()), (std::vector<std::string>{"1", "2", "3", "4", "6", "7", "8", "9", "10"}));
    EXPECT_EQ(column(output(), 1)[4], "Nr 6");
    const gis::ShapefileReader reader(output());
    EXPECT_EQ(*reader.polygon(8), square(80, 0, 10));
    EXPECT_EQ(last.found, 1);
    EXPECT_EQ(last.dropped, 1);
    EXPECT_EQ(last.output, output());
    // No temporary files are left next to the output.
    for (const auto& e : fs::directory_iterator(out)) EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos);
}

TEST_F(IdenticalPolygonsTest, WhatCountsAsIdentical) {
    const gis::Polygon a = square(0, 0, 10);  // clockwise from (0,0): (0,0) (0,10) (10,10) (10,0)
    struct Case {
        const char* what;
        gis::Polygon other;
        bool identical;
    };
    const Case cases[] = {
        {"same ring", a, true},
        {"other start vertex", gis::Polygon{{{{10, 10}, {10, 0}, {0, 0}, {0, 10}}}}, true},
        {"counter-clockwise", gis::Polygon{{{{0, 0}, {10, 0}, {10, 10}, {0, 10}}}}, true},
        {"extra vertex on an edge", gis::Polygon{{{{0, 0}, {0, 5}, {0, 10}, {10, 10}, {10, 0}}}}, true},
        {"shifted by 0.001", square(0.001, 0, 10), false},
        {"one corner moved by 0.01", gis::Polygon{{{{0, 0}, {0, 10.01}, {10, 10}, {10, 0}}}}, false},
        {"larger, covering it", square(-1, -1, 12), false},
        {"same outline with a hole", sg::squareWithHole(0, 0, 10, 2), false},
    };
    settings.overwriteExistingShapeFiles = true;  // every case writes the same output
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path shp = source(layerOf({a, square(50, 50, 5), c.other}));
        ASSERT_TRUE(runOne(shp));
        const auto lines = checkLog(shp);
        if (c.identical) {
            EXPECT_EQ(matching(lines, "ist identisch mit").size(), 1u);
            EXPECT_TRUE(contains(lines, "Polygon mit der FID 2 ist identisch mit FID 0 ( Fläche: 100 m², "
                                        "Mittelpunkt X = 5 , Y = 5 )"));
            EXPECT_EQ(column(output()), (std::vector<std::string>{"2", "3"}));
        } else {
            EXPECT_TRUE(matching(lines, "identisch mit").empty());
            EXPECT_TRUE(contains(lines, "Keine identischen Polygone (Shapefile " + shp.string() + ")."));
            EXPECT_FALSE(fs::exists(output()));
        }
    }
}

TEST_F(IdenticalPolygonsTest, OnlyTheLastOfThreeSurvives) {
    const fs::path shp = source(layerOf({square(0, 0, 10), square(0, 0, 10), square(30, 0, 10), square(0, 0, 10)}));
    ASSERT_TRUE(runOne(shp));
    EXPECT_EQ(matching(checkLog(shp), "ist identisch mit"),
              (std::vector<std::string>{
                  "Polygon mit der FID 1 ist identisch mit FID 0 ( Fläche: 100 m², Mittelpunkt X = 5 , Y = 5 )",
                  "Polygon mit der FID 3 ist identisch mit FID 1 ( Fläche: 100 m², Mittelpunkt X = 5 , Y = 5 )"}));
    EXPECT_EQ(column(output()), (std::vector<std::string>{"3", "4"}));
    EXPECT_EQ(last.found, 2);
}

TEST_F(IdenticalPolygonsTest, IdFieldValuesNameThePair) {
    sg::Layer layer = layerOf({square(0, 0, 10), square(0, 0, 10)},
                              {sg::textField("NAME", 20), sg::integerField("OBNR", 9)});
    layer.records[0].values[1] = "4711";
    layer.records[1].values[1] = "4712";
    const fs::path shp = source(layer);
    options.useId = true;
    ASSERT_TRUE(runOne(shp));
    const auto lines = checkLog(shp);
    EXPECT_TRUE(contains(lines, "ID -falls vorhanden- in Log-Datei: ja"));
    EXPECT_EQ(matching(lines, "ist identisch"),
              (std::vector<std::string>{"Polygon mit der OBNR 4712 ist identisch mit OBNR 4711 ( Fläche: 100 m², "
                                        "Mittelpunkt X = 5 , Y = 5 )"}));
}

TEST_F(IdenticalPolygonsTest, PairsAtOrBelowTheToleranceAreDroppedWithALineOfTheirOwn) {
    tolerance = "";  // the empty field means 0.1
    // 0.3 x 0.3 = 0.09 m² is below 0.1; 0.4 x 0.3 = 0.12 m² above.
    const auto small = sg::rectanglePolygon(0, 0, 0.3, 0.3);
    const auto larger = sg::rectanglePolygon(5, 5, 5.4, 5.3);
    {
        const fs::path shp = source(layerOf({small, small, square(20, 0, 1)}), "klein_x");
        ASSERT_TRUE(runOne(shp));
        const auto lines = checkLog(shp);
        EXPECT_TRUE(contains(lines, "Polygon mit der FID 0 wurde nicht exportiert, da identisch mit FID 1 ( Fläche: "
                                    "0.09 m², nicht größer als die Überlappungstoleranz )"));
        EXPECT_TRUE(matching(lines, "ist identisch mit").empty());
        EXPECT_TRUE(contains(lines, "Keine identischen Polygone (Shapefile " + shp.string() + ")."));
        EXPECT_FALSE(fs::exists(output("klein_xi")));
        EXPECT_EQ(last.found, 0);
    }
    {
        const fs::path shp = source(layerOf({small, larger, small, larger}), "beide_x");
        ASSERT_TRUE(runOne(shp));
        const auto lines = checkLog(shp);
        EXPECT_EQ(matching(lines, "identisch mit").size(), 2u);
        EXPECT_TRUE(contains(lines, "Polygon mit der FID 3 ist identisch mit FID 1 ( Fläche: 0.12 m², Mittelpunkt "
                                    "X = 5.2 , Y = 5.15 )"));
        EXPECT_TRUE(contains(lines, "1 identische(s) Polygon(e) (Shapefile " + shp.string() + ")."));
        EXPECT_EQ(column(output("beide_xi")), (std::vector<std::string>{"3", "4"}));
    }
}

TEST_F(IdenticalPolygonsTest, RecordWithoutGeometryIsNeitherWrittenNorCompared) {
    const fs::path shp = source(layerOf({square(0, 0, 10), std::nullopt, square(0, 0, 10)}));
    ASSERT_TRUE(runOne(shp));
    const auto lines = checkLog(shp);
    EXPECT_TRUE(contains(lines, "Polygon mit der FID 1 ( Shape weist Nullwert auf )"));
    EXPECT_TRUE(contains(lines, "Polygon mit der FID 1 wurde deshalb nicht exportiert."));
    EXPECT_EQ(column(output()), (std::vector<std::string>{"3"}));
}

TEST_F(IdenticalPolygonsTest, ToleranceThatIsNoNumberStopsTheFile) {
    tolerance = "abc";
    const fs::path shp = source(layerOf({square(0, 0, 10), square(0, 0, 10)}));
    EXPECT_FALSE(runOne(shp));
    EXPECT_EQ(ui.messageTexts(), (std::vector<std::string>{
                                     "Error 13 (Typen unverträglich) in procedure DeleteIdenticalPols of Formular "
                                     "frmDummy"}));
    EXPECT_FALSE(fs::exists(output()));
}

TEST_F(IdenticalPolygonsTest, ListWalkAsksAboutUncorrectedFilesAndRemovesFinishedOnes) {
    const fs::path corrected = source(layerOf({square(0, 0, 10), square(0, 0, 10)}), "a_x");
    const fs::path raw = source(layerOf({square(0, 0, 10), square(0, 0, 10)}), "b");
    std::vector<std::string> list = {corrected.string(), raw.string()};

    ui.answers = {Answer::No};
    {
        IdenticalPolygons command(ui, settings, options, programLog(), tolerance);
        EXPECT_FALSE(command.run(list));
        EXPECT_TRUE(command.results().empty());
    }
    ASSERT_EQ(ui.asked.size(), 1u);
    EXPECT_EQ(ui.asked[0].message.text, "Shapefile " + raw.string() +
                                            " endet nicht mit 'x' und wurde vermutlich noch nicht korrigiert. "
                                            "\r\nWollen Sie trotzdem den Vorgang fortsetzen?");
    EXPECT_EQ(ui.asked[0].message.title, "Hinweis");
    EXPECT_EQ(ui.asked[0].message.buttons, Buttons::YesNo);
    EXPECT_EQ(list.size(), 2u);

    ui.answers = {Answer::Yes};
    IdenticalPolygons command(ui, settings, options, programLog(), tolerance);
    EXPECT_TRUE(command.run(list));
    EXPECT_TRUE(list.empty());
    ASSERT_EQ(command.results().size(), 2u);
    EXPECT_EQ(command.results()[0].source, raw.string());  // from the last entry to the first
    EXPECT_TRUE(fs::exists(out / "bi.shp"));
    EXPECT_TRUE(fs::exists(out / "a_xi.shp"));
    EXPECT_EQ(ui.statuses.back(), "Korrektur Shapefile(s) erfolgreich beendet.");

    std::vector<std::string> empty;
    EXPECT_TRUE(command.run(empty));
    EXPECT_EQ(ui.statuses.back(), "Liste enthält keine Pfade.");
}

// The index search against the plain comparison of every pair.
TEST_F(IdenticalPolygonsTest, AgreesWithThePairwiseComparison) {
    std::mt19937 random(7);
    std::vector<std::optional<gis::Polygon>> polygons;
    for (int i = 0; i < 150; ++i) {
        // Few distinct places, so duplicates, overlaps and touching squares are common.
        const double x = static_cast<double>(random() % 6) * 5.0;
        const double y = static_cast<double>(random() % 6) * 5.0;
        const double size = (random() % 3 == 0) ? 7.5 : 5.0;
        polygons.push_back(square(x, y, size));
    }
    const fs::path shp = source(layerOf(polygons));
    ASSERT_TRUE(runOne(shp));

    std::vector<std::string> expected;
    for (std::size_t r = 0; r < polygons.size(); ++r) {
        bool duplicate = false;
        for (std::size_t k = r + 1; k < polygons.size() && !duplicate; ++k) {
            duplicate = gis::relates(*polygons[k], *polygons[r], gis::Relation::Identical) &&
                        gis::intersection(*polygons[r], *polygons[k]).has_value();
        }
        if (!duplicate) expected.push_back(std::to_string(r + 1));
    }
    ASSERT_LT(expected.size(), polygons.size() / 2);  // the layer does have many duplicates
    EXPECT_EQ(column(output()), expected);
    EXPECT_EQ(last.found, static_cast<int>(polygons.size() - expected.size()));
}

}  // namespace
}  // namespace plyvet::layerops
